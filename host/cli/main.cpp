// kzv-import [options] FILE.KZV: imports a scene file through the import plug-in, loaded from its
// library, and writes the scene as glTF 2.0. See README.md for the options and exit statuses.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "host/cli/import_session.h"
#include "host/cli/options.h"
#include "host/cli/plugin_library.h"
#include "host/gltf/gltf_writer.h"
#include "host/scene/summary.h"
#include "host/terminal/terminal_output.h"

namespace {

namespace fs = std::filesystem;
using kzv::cli::CliOptions;
using kzv::host::TerminalOutput;

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

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

kzv::host::HostObserver terminal_observer(TerminalOutput& terminal) {
    kzv::host::HostObserver observer;
    observer.on_message = [&terminal](const kzv::host::PluginMessage& message) {
        if (message.kind == tessavo::kMessageError) {
            terminal.error("error: " + message.text);
        } else {
            terminal.info("notice: " + message.text);
        }
    };
    observer.on_warning = [&terminal](const std::string& text) { terminal.info("warning: " + text); };
    observer.on_error = [&terminal](const kzv::host::ErrorReport& report) {
        terminal.error(kzv::host::format_error_report(report.number, report.description, report.source));
    };
    observer.on_progress = [&terminal](const kzv::host::ProgressState& state) { terminal.progress(state); };
    return observer;
}

void show_message_box(TerminalOutput& terminal, const kzv::cli::MessageBoxShown& box) {
    const std::string line = box.title.empty() ? box.text : box.title + ": " + box.text;
    if (box.icon == tessavo::MessageIcon::Information) {
        terminal.info(line);
    } else {
        terminal.error(line);
    }
}

// Writes the imported scene; the output appears only when it was written completely.
bool write_output(const kzv::host::Scene& scene, const CliOptions& options, TerminalOutput& terminal) {
    kzv::host::GltfOptions gltf;
    gltf.convert_axes = !options.keep_axes;
    const kzv::host::WriteOutcome written = kzv::host::write_gltf(scene, options.output, gltf);
    for (const std::string& warning : written.warnings) terminal.info("warning: " + warning);
    if (!written.ok) {
        terminal.error("kzv-import: nothing written: " + written.error);
        return false;
    }
    terminal.info("wrote " + options.output.string());
    return true;
}

kzv::cli::SessionSettings session_settings(const CliOptions& options, TerminalOutput& terminal,
                                           std::ofstream& log) {
    kzv::cli::SessionSettings settings;
    if (log.is_open()) settings.log_sink = [&log](std::string_view line) { log << line << '\n'; };
    // The dialog answers a full path, as a platform's open-file dialog does.
    settings.scene_file = fs::absolute(options.input).lexically_normal();
    settings.lcid = options.lcid;
    settings.allow_outside_textures = options.allow_outside_textures;
    settings.observer = terminal_observer(terminal);
    settings.on_message_box = [&terminal](const kzv::cli::MessageBoxShown& box) {
        show_message_box(terminal, box);
    };
    return settings;
}

// Closes the host log; false (with an error line) if not every line reached the file.
bool close_log(std::ofstream& log, TerminalOutput& terminal) {
    if (!log.is_open()) return true;
    log.close();
    if (!log.fail()) return true;
    terminal.error("kzv-import: the host log could not be written completely");
    return false;
}

// After the session: the verdict, and on completion the output and the summary.
int finish(const kzv::cli::SessionResult& result, const CliOptions& options, TerminalOutput& terminal) {
    if (result.outcome == kzv::cli::SessionOutcome::not_started) {
        terminal.error("kzv-import: the plug-in could not be started: " + result.failure);
        return kExitUsage;
    }
    if (!result.failure.empty()) terminal.error("kzv-import: " + result.failure);
    if (result.outcome != kzv::cli::SessionOutcome::completed) {
        terminal.error("kzv-import: import failed; nothing written");
        return kExitFailed;
    }
    if (!write_output(result.host->scene(), options, terminal)) return kExitFailed;
    if (options.summary)
        std::cout << kzv::host::printable(kzv::host::describe_scene(result.host->scene()), true);
    return kExitCompleted;
}

int run(const CliOptions& options) {
    TerminalOutput terminal(std::cerr, ::isatty(STDERR_FILENO) == 1, options.quiet);
    const fs::path plugin_path = options.plugin.empty() ? default_plugin_path() : options.plugin;
    kzv::cli::PluginLibrary library(plugin_path);
    if (!library.loaded()) {
        terminal.error("kzv-import: cannot load the plug-in " + plugin_path.string() + ": " +
                       library.error());
        return kExitUsage;
    }
    std::ofstream log;
    if (!options.host_log.empty()) {
        log.open(options.host_log, std::ios::binary | std::ios::trunc);
        if (!log) {
            terminal.error("kzv-import: cannot write the host log " + options.host_log.string());
            return kExitUsage;
        }
    }
    const kzv::cli::SessionResult result =
        kzv::cli::run_import_session(library, session_settings(options, terminal, log));
    terminal.progress({});  // the plug-in hides its progress display; make sure the bar is gone
    const bool log_written = close_log(log, terminal);
    const int status = finish(result, options, terminal);
    return status == kExitCompleted && !log_written ? kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
    const kzv::cli::ParsedCommandLine parsed = kzv::cli::parse_command_line(argc, argv, std::cout, std::cerr);
    switch (parsed.status) {
        case kzv::cli::ParseStatus::exit_ok:
            return kExitCompleted;
        case kzv::cli::ParseStatus::usage_error:
            return kExitUsage;
        case kzv::cli::ParseStatus::run:
            break;
    }
    try {
        return run(parsed.options);
    } catch (const std::exception& e) {
        std::cerr << "kzv-import: " << e.what() << '\n';
        return kExitFailed;
    }
}
