// One import through the plug-in, as a host runs it: create the plug-in object, hand it the host
// (optionally behind a call log), answer its open-file dialog with the scene file, run Import, and
// release the plug-in object.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/cli/plugin_library.h"
#include "host/scene/scene_host.h"
#include "tessavo/user_interface.h"

namespace kzv::cli {

struct MessageBoxShown {
    std::string text;
    tessavo::MessageIcon icon = tessavo::MessageIcon::None;
    std::string title;
};

struct SessionSettings {
    // The dialog's answer: the scene file as an absolute path.
    std::filesystem::path scene_file;
    std::int32_t lcid = 1033;
    bool allow_outside_textures = false;
    // Receives the call log's lines; empty: no call log.
    std::function<void(std::string_view line)> log_sink;
    // Told about the host's messages, error reports, warnings and progress as they happen.
    host::HostObserver observer;
    std::function<void(const MessageBoxShown&)> on_message_box;
};

enum class SessionOutcome {
    not_started,  // the plug-in object could not be created or refused the host
    failed,       // the import failed (reported to the host, or Import itself failed)
    completed,    // the plug-in showed its completion message and reported no error
};

struct SessionResult {
    SessionOutcome outcome = SessionOutcome::not_started;
    std::string failure;                 // why it did not start, or why Import failed
    tessavo::Ref<host::SceneHost> host;  // the scene the plug-in built (null if not started)
    std::vector<MessageBoxShown> message_boxes;
};

// Runs the whole session on a thread of its own, so that the plug-in's component-wide state (one
// copy per thread) starts fresh and is gone, with the references it holds, when this returns.
SessionResult run_import_session(const PluginLibrary& library, const SessionSettings& settings);

// The outcome of a session that ran: completed only when Import succeeded, no error reached the
// host, and the last message box was the plug-in's information box.
SessionOutcome judge_outcome(bool import_ok, std::size_t error_reports,
                             const std::vector<MessageBoxShown>& message_boxes);

}  // namespace kzv::cli
