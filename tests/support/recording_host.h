// The recording host: a host application for tests of the plug-in.
//
// It answers every scene operation with success and fresh handles (deterministic, and distinct per
// kind: the n-th group is 5000000 + n, see HandleKind), answers GetHostLCID with a configurable
// identifier, and can be told to fail the n-th call of any operation. Every call the plug-in makes
// towards it and towards its scripted user interface is recorded as a line of the call log
// (tessavo/call_log.h), so a test can compare exact JSON lines in call order.
//
// Give the plug-in application() (SetHost) and install user_interface() for the thread
// (tessavo::ScopedUserInterface). Both stay valid as long as anyone holds a reference, so a plug-in
// that keeps the host beyond the test is harmless.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scripted_user_interface.h"
#include "tessavo/call_log.h"
#include "tessavo/host_scene.h"

namespace kzv_test {

enum class HandleKind : std::int32_t {
    Bitmap = 1,
    Camera = 2,
    Light = 3,
    Track = 4,
    Group = 5,
    Polygon = 6,
    Vertex = 7,
};

// The n-th handle (from 1) the recording host issues for kind.
constexpr tessavo::Handle NthHandle(HandleKind kind, std::int32_t n) {
    return static_cast<std::int32_t>(kind) * 1'000'000 + n;
}

class RecordingHost {
  public:
    explicit RecordingHost(std::int32_t lcid = 1033);
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // The host application object to hand to the plug-in (calls through it are recorded).
    tessavo::IHostApplication* application() const noexcept { return log_.get(); }
    // The user interface to install for the plug-in's thread (calls through it are recorded).
    tessavo::IUserInterface* user_interface() const noexcept { return log_.get(); }
    // Scripts the dialog's answers and shows the message boxes.
    ScriptedUserInterface& ui() const noexcept { return *ui_; }

    void SetLcid(std::int32_t lcid);
    // Makes the n-th call (from 1, counting from the start) of op fail with this status.
    // op is the name in the log, e.g. "CreatePolygon" or "AttachHost".
    void FailCall(std::string op, int n, std::int32_t number, std::string description, std::string source);
    // Runs action inside the n-th call of op, before it is answered: a host callback into the plug-in.
    void OnCall(std::string op, int n, std::function<void()> action);

    // The log lines, in call order.
    const std::vector<std::string>& lines() const noexcept;
    // The operation name of each line, in call order.
    std::vector<std::string> Ops() const;
    // The lines of one operation.
    std::vector<std::string> LinesOf(std::string_view op) const;
    std::size_t Count(std::string_view op) const;
    void ClearLog();

    struct State;  // shared with the answering host object

  private:
    std::shared_ptr<State> state_;
    tessavo::Ref<ScriptedUserInterface> ui_;
    tessavo::Ref<tessavo::CallLog> log_;
};

// The operation name of a call-log line ("" if the line has none).
std::string OpOfLine(std::string_view line);

}  // namespace kzv_test
