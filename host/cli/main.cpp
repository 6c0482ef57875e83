// kzv-import [options] FILE.KZV|FOLDER...: imports scene files through the import plug-in, loaded
// from its library, and writes each scene as glTF 2.0, several files at once with -j. See README.md
// for the options and exit statuses.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

#include "host/cli/batch_report.h"
#include "host/cli/file_import.h"
#include "host/cli/options.h"
#include "host/cli/parallel.h"
#include "host/cli/plugin_library.h"
#include "host/cli/shared_terminal.h"
#include "host/memory/memory_budget.h"
#include "host/output/output_files.h"
#include "host/terminal/terminal_output.h"

namespace {

namespace fs = std::filesystem;
using kzv::cli::CliOptions;
using kzv::cli::FileTerminal;
using kzv::cli::SharedTerminal;

// The plug-in installed with the program: the library folder as seen from the program's folder
// (KZV_PLUGIN_FROM_BIN, set by the build from the install layout), else ../lib as in the build tree.
fs::path default_plugin_path() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    const fs::path bin = error ? fs::current_path(error) : program.parent_path();
    const fs::path installed = bin / KZV_PLUGIN_FROM_BIN;
    if (fs::exists(installed, error)) return installed;
    return bin / "../lib/libImp_KZV.so";
}

int import_single(const kzv::cli::PluginLibrary& library, const CliOptions& options, SharedTerminal& terminal,
                  kzv::cli::ReportWriter* report) {
    FileTerminal file_terminal(terminal, "", true);
    std::ofstream log;
    if (!options.host_log.empty()) {
        log.open(options.host_log, std::ios::binary | std::ios::trunc);
        if (!log) {
            file_terminal.error("kzv-import: cannot write the host log " + options.host_log.string());
            return kzv::cli::kExitUsage;
        }
    }
    kzv::cli::ImportRecord record;
    const int status =
        kzv::cli::import_file(library, options.jobs.front(), options, file_terminal, &log, &record);
    if (report) report->add(0, kzv::cli::report_line(record));
    return status;
}

// One file of a batch; a failure of any kind stays with its file.
int import_batch_file(const kzv::cli::PluginLibrary& library, const kzv::cli::ImportJob& job,
                      const CliOptions& options, SharedTerminal& terminal, kzv::cli::ImportRecord& record) {
    FileTerminal file_terminal(terminal, job.input.string() + ": ", false);
    try {
        return kzv::cli::import_file(library, job, options, file_terminal, nullptr, &record);
    } catch (const std::exception& e) {
        file_terminal.error(std::string("kzv-import: ") + e.what());
        record.error_description = e.what();
    } catch (...) {
        file_terminal.error("kzv-import: unexpected failure");
        record.error_description = "unexpected failure";
    }
    record.imported = false;
    return kzv::cli::kExitFailed;
}

// Imports every job on options.threads threads; the bar counts the files done. Returns the worst
// status of the files.
int import_batch(const kzv::cli::PluginLibrary& library, const CliOptions& options, SharedTerminal& terminal,
                 kzv::cli::ReportWriter* report) {
    const auto total = static_cast<std::int32_t>(options.jobs.size());
    std::vector<int> statuses(options.jobs.size(), kzv::cli::kExitFailed);
    std::mutex count_mutex;
    std::int32_t done = 0;
    terminal.progress({true, total, 0});
    kzv::cli::for_each_parallel(options.jobs.size(), options.threads, [&](std::size_t i) {
        kzv::cli::ImportRecord record;
        record.input = options.jobs[i].input.string();
        statuses[i] = import_batch_file(library, options.jobs[i], options, terminal, record);
        if (report) report->add(i, kzv::cli::report_line(record));
        const std::lock_guard lock(count_mutex);  // so that the bar never counts backwards
        terminal.progress({true, total, ++done});
    });
    terminal.progress({});
    const auto imported = std::count(statuses.begin(), statuses.end(), kzv::cli::kExitCompleted);
    const std::string counts = std::to_string(imported) + " imported, " +
                               std::to_string(statuses.size() - static_cast<std::size_t>(imported)) +
                               " failed";
    if (imported == total) {
        terminal.info("", counts);
    } else {
        terminal.error("", counts);
    }
    return *std::max_element(statuses.begin(), statuses.end());
}

// Temporary files that stopped runs left in the output folders go before anything is imported.
void remove_stale_temporaries(const CliOptions& options) {
    std::set<fs::path> folders;
    for (const kzv::cli::ImportJob& job : options.jobs) folders.insert(job.output.parent_path());
    for (const fs::path& folder : folders) kzv::host::remove_stale_temporaries(folder);
}

int run(const CliOptions& options) {
    kzv::host::memory_budget::set_limit(options.memory_limit);
    SharedTerminal terminal(std::cerr, ::isatty(STDERR_FILENO) == 1, options.quiet, std::cout);
    const fs::path plugin_path = options.plugin.empty() ? default_plugin_path() : options.plugin;
    const kzv::cli::PluginLibrary library(plugin_path);
    if (!library.loaded()) {
        terminal.error(
            "", "kzv-import: cannot load the plug-in " + plugin_path.string() + ": " + library.error());
        return kzv::cli::kExitUsage;
    }
    if (!options.output_dir.empty()) {
        std::error_code error;
        fs::create_directories(options.output_dir, error);
        if (error || !fs::is_directory(options.output_dir, error)) {
            terminal.error("", "kzv-import: cannot create the output folder " + options.output_dir.string());
            return kzv::cli::kExitUsage;
        }
    }
    remove_stale_temporaries(options);
    std::ofstream report_file;
    std::optional<kzv::cli::ReportWriter> report;
    if (!options.report.empty()) {
        report_file.open(options.report, std::ios::binary | std::ios::trunc);
        if (!report_file) {
            terminal.error("", "kzv-import: cannot write the report " + options.report.string());
            return kzv::cli::kExitUsage;
        }
        report.emplace(report_file, options.jobs.size());
    }
    kzv::cli::ReportWriter* writer = report ? &*report : nullptr;
    const int status = options.batch ? import_batch(library, options, terminal, writer)
                                     : import_single(library, options, terminal, writer);
    if (report) report_file.close();
    if (report && !report_file) {
        terminal.error("",
                       "kzv-import: the report could not be written completely: " + options.report.string());
        return std::max(status, kzv::cli::kExitFailed);
    }
    return status;
}

// Descriptors 0, 1 and 2 open (on /dev/null where one is closed) before anything else is opened,
// so that no output file or log gets a number that messages are written to.
void open_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) ::close(opened);  // cannot happen: the lowest free number
    }
}

}  // namespace

int main(int argc, char** argv) {
    open_standard_descriptors();
    // Messages are not the job: a closed pipe on stderr or stdout makes writes to it fail (and the
    // stream stop) instead of ending the program before its outputs are written.
    ::signal(SIGPIPE, SIG_IGN);
    const kzv::cli::ParsedCommandLine parsed = kzv::cli::parse_command_line(argc, argv, std::cout, std::cerr);
    switch (parsed.status) {
        case kzv::cli::ParseStatus::exit_ok:
            return kzv::cli::kExitCompleted;
        case kzv::cli::ParseStatus::usage_error:
            return kzv::cli::kExitUsage;
        case kzv::cli::ParseStatus::run:
            break;
    }
    try {
        return run(parsed.options);
    } catch (const std::exception& e) {
        std::cerr << "kzv-import: " << kzv::host::printable(e.what()) << '\n';
        return kzv::cli::kExitFailed;
    }
}
