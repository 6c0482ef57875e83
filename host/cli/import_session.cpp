#include "host/cli/import_session.h"

#include <exception>
#include <thread>

#include "tessavo/call_log.h"
#include "tessavo/framework_objects.h"

namespace kzv::cli {
namespace {

// The user's side of the session: the open-file dialog answers the scene file, message boxes are
// recorded and passed on for display.
class AnsweringUserInterface final : public tessavo::RefCounted<tessavo::IUserInterface> {
  public:
    AnsweringUserInterface(std::string answer, std::function<void(const MessageBoxShown&)> shown)
        : answer_(std::move(answer)), shown_(std::move(shown)) {}

    tessavo::Status OpenFileDialog(const std::string&, std::string& path) noexcept override {
        try {
            path = answer_;
            return {};
        } catch (...) {
            path.clear();
            return tessavo::FailureNoThrow(tessavo::kErrOutOfMemory, "Out of memory", "kzv-import");
        }
    }

    tessavo::Status MessageBox(const std::string& text, tessavo::MessageIcon icon,
                               const std::string& title) noexcept override {
        try {
            boxes_.push_back({text, icon, title});
        } catch (...) {
            return tessavo::FailureNoThrow(tessavo::kErrOutOfMemory, "Out of memory", "kzv-import");
        }
        try {
            if (shown_) shown_(boxes_.back());
        } catch (...) {
            // A failing display must not fail the plug-in's call.
        }
        return {};
    }

    const std::vector<MessageBoxShown>& boxes() const noexcept { return boxes_; }

  private:
    std::string answer_;
    std::function<void(const MessageBoxShown&)> shown_;
    std::vector<MessageBoxShown> boxes_;
};

std::string status_text(std::string_view call, const tessavo::Status& status) {
    return std::string(call) + " failed with " + std::to_string(status.number) + ": " + status.description +
           (status.source.empty() ? "" : " (" + status.source + ")");
}

// What the plug-in talks to: the scene host and the dialogs, behind a call log if one is wanted.
struct HostSide {
    tessavo::Ref<host::SceneHost> scene_host;
    tessavo::Ref<AnsweringUserInterface> dialogs;
    tessavo::Ref<tessavo::IHostApplication> application;
    tessavo::Ref<tessavo::IUserInterface> user_interface;
};

HostSide make_host_side(const SessionSettings& settings) {
    host::HostOptions options;
    options.lcid = settings.lcid;
    options.scene_folder = settings.scene_file.parent_path();
    options.allow_outside_textures = settings.allow_outside_textures;
    HostSide side;
    side.scene_host = host::SceneHost::create(options, settings.observer);
    side.dialogs =
        tessavo::MakeRef<AnsweringUserInterface>(settings.scene_file.string(), settings.on_message_box);
    side.application = side.scene_host;
    side.user_interface = side.dialogs;
    if (settings.log_sink) {
        auto log = tessavo::CallLog::Create(side.scene_host, side.dialogs, settings.log_sink);
        side.application = log;
        side.user_interface = log;
    }
    return side;
}

void run_session(const PluginLibrary& library, const SessionSettings& settings, SessionResult& result) {
    tessavo::Ref<tessavo::IPlug> plug = library.create_plug(kImportPluginClassId, result.failure);
    if (!plug) return;
    const HostSide side = make_host_side(settings);
    result.host = side.scene_host;
    tessavo::ScopedUserInterface scope(side.user_interface.get());

    tessavo::IHostApplication* host_argument = side.application.get();
    if (const tessavo::Status status = plug->SetHost(host_argument); !status.ok()) {
        result.failure = status_text("SetHost", status);
        return;
    }
    std::int32_t import_result = 0;
    const tessavo::Status status = plug->Import(import_result);
    if (!status.ok()) result.failure = status_text("Import", status);
    result.message_boxes = side.dialogs->boxes();
    result.outcome = judge_outcome(status.ok(), result.host->error_reports().size(), result.message_boxes);
}

}  // namespace

SessionOutcome judge_outcome(bool import_ok, std::size_t error_reports,
                             const std::vector<MessageBoxShown>& message_boxes) {
    const bool completion_shown =
        !message_boxes.empty() && message_boxes.back().icon == tessavo::MessageIcon::Information;
    return import_ok && error_reports == 0 && completion_shown ? SessionOutcome::completed
                                                               : SessionOutcome::failed;
}

SessionResult run_import_session(const PluginLibrary& library, const SessionSettings& settings) {
    SessionResult result;
    std::thread thread([&] {
        try {
            run_session(library, settings, result);
        } catch (const std::exception& e) {
            result.outcome = SessionOutcome::failed;
            result.failure = std::string("unexpected failure: ") + e.what();
        } catch (...) {
            result.outcome = SessionOutcome::failed;
            result.failure = "unexpected failure";
        }
    });
    thread.join();
    return result;
}

}  // namespace kzv::cli
