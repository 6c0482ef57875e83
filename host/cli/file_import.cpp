#include "host/cli/file_import.h"

#include <chrono>
#include <filesystem>

#include "host/cli/import_session.h"
#include "host/gltf/gltf_writer.h"
#include "host/memory/free_heap.h"
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
        terminal.error_report(report.number, report.description, report.source);
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

// A call-log line with its C1 controls (U+0080..U+009F) and DEL written as \u escapes, which JSON
// allows for any character: some terminals obey them when the log is shown. They can only be
// inside the line's strings, so the line means the same.
std::string escape_c1(std::string_view line) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        const auto next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out.append("\\u00").append(1, kHex[next >> 4]).append(1, kHex[next & 0xF]);
            ++i;
        } else if (byte == 0x7F) {
            out.append("\\u007f");
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

SessionSettings session_settings(const ImportJob& job, const CliOptions& options, FileTerminal& terminal,
                                 std::ofstream* log) {
    SessionSettings settings;
    if (log && log->is_open())
        settings.log_sink = [log](std::string_view line) { *log << escape_c1(line) << '\n'; };
    // The dialog answers a full path, as a platform's open-file dialog does.
    settings.scene_file = fs::absolute(job.input).lexically_normal();
    settings.lcid = options.lcid;
    settings.allow_outside_textures = options.allow_outside_textures;
    settings.observer = terminal_observer(terminal);
    settings.on_message_box = [&terminal](const MessageBoxShown& box) { show_message_box(terminal, box); };
    return settings;
}

// Closes the host log; false if not every line reached the file.
bool close_log(std::ofstream* log) {
    if (!log || !log->is_open()) return true;
    log->close();
    return !log->fail();
}

// A completed import whose host log or summary could not be written is a failed run: its output is
// not written, so that an existing one stays as it was.
int refuse_output(FileTerminal& terminal, ImportRecord& record, const std::string& why) {
    terminal.error("kzv-import: " + why + "; nothing written");
    record.error_description = why + "; nothing written";
    return kExitFailed;
}

constexpr char kLogFailed[] = "the host log could not be written completely";

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
void check_winding(host::Scene& scene, const CliOptions& options, FileTerminal& terminal,
                   ImportRecord& record) {
    const std::string warning =
        options.flip_winding ? host::flipped_notice(scene, host::flip_polygons_against_normals(scene))
                             : host::inside_out_warning(scene, host::find_polygons_against_normals(scene));
    if (warning.empty()) return;
    terminal.info("warning: " + warning);
    record.warnings.push_back(warning);
}

// After the session: the verdict, and on completion the summary and the output.
int finish(const SessionResult& result, const ImportJob& job, const CliOptions& options, bool log_written,
           FileTerminal& terminal, ImportRecord& record) {
    if (result.outcome == SessionOutcome::not_started) {
        terminal.error("kzv-import: the plug-in could not be started: " + result.failure);
        record.error_description = "the plug-in could not be started: " + result.failure;
        return kExitUsage;
    }
    note_scene(*result.host, record);
    if (!result.failure.empty()) terminal.error("kzv-import: " + result.failure);
    if (result.outcome != SessionOutcome::completed) {
        if (!log_written) terminal.error(std::string("kzv-import: ") + kLogFailed);
        terminal.error("kzv-import: import failed; nothing written");
        note_failure(result, record);
        return kExitFailed;
    }
    if (!log_written) return refuse_output(terminal, record, kLogFailed);
    host::Scene scene = result.host->take_scene();
    check_winding(scene, options, terminal, record);
    if (options.summary && !terminal.print(host::describe_scene(scene)))
        return refuse_output(terminal, record, "the summary could not be written completely");
    if (!write_output(scene, job, options, terminal, record)) return kExitFailed;
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
    // The records were many small blocks; give their pages back before the writer needs memory.
    host::give_back_free_heap();
    terminal.plugin_progress({});  // the plug-in hides its progress display; make sure the bar is gone
    const int status = finish(result, job, options, close_log(log), terminal, noted);
    noted.imported = status == kExitCompleted;
    if (noted.imported) noted.output = job.output.string();
    noted.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return status;
}

}  // namespace kzv::cli
