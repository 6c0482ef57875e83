#include "host/cli/file_import.h"

#include <chrono>
#include <filesystem>

#include "host/cli/import_session.h"
#include "host/gltf/gltf_writer.h"
#include "host/scene/summary.h"
#include "host/scene/winding.h"

namespace kzv::cli {
namespace {

namespace fs = std::filesystem;

host::HostObserver terminal_observer(FileTerminal& terminal) {
    host::HostObserver observer;
    observer.on_message = [&terminal](const host::PluginMessage& message) {
        if (message.kind == tessavo::kMessageError) {
            terminal.error("error: " + message.text);
        } else {
            terminal.info("notice: " + message.text);
        }
    };
    observer.on_warning = [&terminal](const std::string& text) { terminal.info("warning: " + text); };
    observer.on_error = [&terminal](const host::ErrorReport& report) {
        terminal.error(host::format_error_report(report.number, report.description, report.source));
    };
    observer.on_progress = [&terminal](const host::ProgressState& state) { terminal.plugin_progress(state); };
    return observer;
}

void show_message_box(FileTerminal& terminal, const MessageBoxShown& box) {
    const std::string line = box.title.empty() ? box.text : box.title + ": " + box.text;
    if (box.icon == tessavo::MessageIcon::Information) {
        terminal.info(line);
    } else {
        terminal.error(line);
    }
}

SessionSettings session_settings(const ImportJob& job, const CliOptions& options, FileTerminal& terminal,
                                 std::ofstream* log) {
    SessionSettings settings;
    if (log && log->is_open()) settings.log_sink = [log](std::string_view line) { *log << line << '\n'; };
    // The dialog answers a full path, as a platform's open-file dialog does.
    settings.scene_file = fs::absolute(job.input).lexically_normal();
    settings.lcid = options.lcid;
    settings.allow_outside_textures = options.allow_outside_textures;
    settings.observer = terminal_observer(terminal);
    settings.on_message_box = [&terminal](const MessageBoxShown& box) { show_message_box(terminal, box); };
    return settings;
}

// Closes the host log; false (with an error line) if not every line reached the file.
bool close_log(std::ofstream* log, FileTerminal& terminal) {
    if (!log || !log->is_open()) return true;
    log->close();
    if (!log->fail()) return true;
    terminal.error("kzv-import: the host log could not be written completely");
    return false;
}

// Writes the imported scene; the output appears only when it was written completely.
bool write_output(const host::Scene& scene, const ImportJob& job, const CliOptions& options,
                  FileTerminal& terminal, ImportRecord& record) {
    host::GltfOptions gltf;
    gltf.convert_axes = !options.keep_axes;
    gltf.linear_colors = !options.display_colours;
    gltf.double_sided = options.double_sided;
    const host::WriteOutcome written = host::write_gltf(scene, job.output, gltf);
    for (const std::string& warning : written.warnings) terminal.info("warning: " + warning);
    record.warnings.insert(record.warnings.end(), written.warnings.begin(), written.warnings.end());
    if (!written.ok) {
        terminal.error("kzv-import: nothing written: " + written.error);
        record.error_description = "nothing written: " + written.error;
        return false;
    }
    terminal.info("wrote " + job.output.string());
    return true;
}

// The scene's counts and the host's warnings, for the report.
void note_scene(const host::SceneHost& host, ImportRecord& record) {
    record.counts = host::count_scene(host.scene());
    record.warnings.insert(record.warnings.end(), host.warnings().begin(), host.warnings().end());
}

// Why the import failed: the plug-in's first error report, else the host's reason.
void note_failure(const SessionResult& result, ImportRecord& record) {
    if (const auto& reports = result.host->error_reports(); !reports.empty()) {
        record.error_number = reports.front().number;
        record.error_description = reports.front().description;
    } else {
        record.error_description = result.failure.empty() ? "import failed" : result.failure;
    }
}

// Polygons facing against their vertex normals: a warning for mesh nodes that mostly do, or with
// --flip-winding their corner order reversed, and a warning that says so.
void check_winding(host::SceneHost& host, const CliOptions& options, FileTerminal& terminal,
                   ImportRecord& record) {
    const std::string warning =
        options.flip_winding
            ? host::flipped_notice(host.scene(),
                                   host::flip_polygons_against_normals(host.scene_for_repairs()))
            : host::inside_out_warning(host.scene(), host::find_polygons_against_normals(host.scene()));
    if (warning.empty()) return;
    terminal.info("warning: " + warning);
    record.warnings.push_back(warning);
}

// After the session: the verdict, and on completion the output and the summary.
int finish(const SessionResult& result, const ImportJob& job, const CliOptions& options,
           FileTerminal& terminal, ImportRecord& record) {
    if (result.outcome == SessionOutcome::not_started) {
        terminal.error("kzv-import: the plug-in could not be started: " + result.failure);
        record.error_description = "the plug-in could not be started: " + result.failure;
        return kExitUsage;
    }
    note_scene(*result.host, record);
    if (!result.failure.empty()) terminal.error("kzv-import: " + result.failure);
    if (result.outcome != SessionOutcome::completed) {
        terminal.error("kzv-import: import failed; nothing written");
        note_failure(result, record);
        return kExitFailed;
    }
    check_winding(*result.host, options, terminal, record);
    if (!write_output(result.host->scene(), job, options, terminal, record)) return kExitFailed;
    if (options.summary) terminal.print(host::describe_scene(result.host->scene()));
    return kExitCompleted;
}

}  // namespace

int import_file(const PluginLibrary& library, const ImportJob& job, const CliOptions& options,
                FileTerminal& terminal, std::ofstream* log, ImportRecord* record) {
    const auto started = std::chrono::steady_clock::now();
    ImportRecord unused;
    ImportRecord& noted = record ? *record : unused;
    noted.input = job.input.string();
    // The session has released the plug-in object, and with it the records it read, when it returns.
    const SessionResult result = run_import_session(library, session_settings(job, options, terminal, log));
    terminal.plugin_progress({});  // the plug-in hides its progress display; make sure the bar is gone
    const bool log_written = close_log(log, terminal);
    int status = finish(result, job, options, terminal, noted);
    if (status == kExitCompleted && !log_written) {
        noted.error_description = "the host log could not be written completely";
        status = kExitFailed;
    }
    noted.imported = status == kExitCompleted;
    if (noted.imported) noted.output = job.output.string();
    noted.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return status;
}

}  // namespace kzv::cli
