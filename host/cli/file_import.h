// One scene file through the plug-in into its glTF file, with the messages of both on the terminal.
#pragma once

#include <fstream>

#include "host/cli/batch_report.h"
#include "host/cli/options.h"
#include "host/cli/plugin_library.h"
#include "host/cli/shared_terminal.h"

namespace kzv::cli {

inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs the import session for job.input, then writes job.output and, if asked, the summary. The
// plug-in object and its records are gone before the output is built. log: the open host log, or
// null; it is closed after the session. Returns kExitCompleted, kExitFailed (the import, the output
// or the log failed) or kExitUsage (the plug-in could not be started). Thread-safe for distinct jobs
// and logs: several may run at once on one library and terminal. record: if not null, receives what
// became of the file (for --report).
int import_file(const PluginLibrary& library, const ImportJob& job, const CliOptions& options,
                FileTerminal& terminal, std::ofstream* log, ImportRecord* record = nullptr);

}  // namespace kzv::cli
