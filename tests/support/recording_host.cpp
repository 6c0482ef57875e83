#include "recording_host.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <tuple>

#include "tessavo/host_scene_operations.h"

namespace kzv_test {

using tessavo::Handle;
using tessavo::Status;
using tessavo::VBool;

struct RecordingHost::State {
    std::int32_t lcid = 1033;
    std::map<std::string, int, std::less<>> calls;                        // calls so far per operation
    std::map<std::pair<std::string, int>, Status, std::less<>> failures;  // (op, n) -> status
    std::map<std::pair<std::string, int>, std::function<void()>, std::less<>> actions;  // (op, n) -> run
    std::map<HandleKind, std::int32_t> issued;                            // handles so far per kind
    std::vector<std::string> lines;
};

namespace {

// The kind of handle that an operation with a result issues.
HandleKind KindOf(std::string_view op) {
    if (op == "LoadBitmap") return HandleKind::Bitmap;
    if (op == "CreateCamera") return HandleKind::Camera;
    if (op == "CreateLight") return HandleKind::Light;
    if (op == "CreateTrack") return HandleKind::Track;
    if (op == "CreateGroup") return HandleKind::Group;
    if (op == "CreatePolygon") return HandleKind::Polygon;
    return HandleKind::Vertex;  // AddPolygonVertex
}

// Answers every operation; the call log in front of it records the calls.
class AnsweringHost final : public tessavo::RefCounted<tessavo::IHostApplication> {
  public:
    explicit AnsweringHost(std::shared_ptr<RecordingHost::State> state) : state_(std::move(state)) {}

    Status Attached() noexcept override { return Answer("AttachHost"); }
    // Every scene operation is counted and answered (see Answer); one with a result gets a fresh handle
    // of its kind, or the configured locale identifier.
#define KZV_ANSWER(Name, parameters, arguments)             \
    Status Name parameters noexcept override {              \
        static_cast<void>(std::forward_as_tuple arguments); \
        return Answer(#Name);                               \
    }
#define KZV_ANSWER_RESULT(Name, parameters, arguments, inputs, input_arguments, Result, result) \
    Status Name parameters noexcept override {                                                  \
        static_cast<void>(std::forward_as_tuple input_arguments);                               \
        return Issue(#Name, result);                                                            \
    }
    TESSAVO_HOST_SCENE_OPERATIONS(KZV_ANSWER, KZV_ANSWER_RESULT)
#undef KZV_ANSWER_RESULT
#undef KZV_ANSWER

  private:
    // Counts the call and answers it: the planned failure of this call, or success.
    Status Answer(std::string_view op) noexcept {
        try {
            auto counted = state_->calls.try_emplace(std::string(op), 0).first;
            const int n = ++counted->second;
            if (const auto action = state_->actions.find(std::pair(std::string(op), n));
                action != state_->actions.end()) {
                const std::function<void()> run = std::move(action->second);
                state_->actions.erase(action);
                run();
            }
            const auto failure = state_->failures.find(std::pair(std::string(op), n));
            return failure == state_->failures.end() ? Status{} : failure->second;
        } catch (...) {
            std::abort();  // test code: running out of memory here is not a case worth reporting
        }
    }

    Status Issue(std::string_view op, std::int32_t& result) noexcept {
        Status status = Answer(op);
        if (!status.ok()) return status;
        if (op == "GetHostLCID") {
            result = state_->lcid;
        } else {
            const HandleKind kind = KindOf(op);
            result = NthHandle(kind, ++state_->issued[kind]);
        }
        return status;
    }

    std::shared_ptr<RecordingHost::State> state_;
};

}  // namespace

RecordingHost::RecordingHost(std::int32_t lcid)
    : state_(std::make_shared<State>()), ui_(tessavo::MakeRef<ScriptedUserInterface>()) {
    state_->lcid = lcid;
    auto answering = tessavo::MakeRef<AnsweringHost>(state_);
    log_ = tessavo::CallLog::Create(
        answering, ui_, [state = state_](std::string_view line) { state->lines.emplace_back(line); });
}

void RecordingHost::SetLcid(std::int32_t lcid) {
    state_->lcid = lcid;
}

void RecordingHost::FailCall(std::string op, int n, std::int32_t number, std::string description,
                             std::string source) {
    state_->failures[std::pair(std::move(op), n)] =
        Status::failure(number, std::move(description), std::move(source));
}

void RecordingHost::OnCall(std::string op, int n, std::function<void()> action) {
    state_->actions[std::pair(std::move(op), n)] = std::move(action);
}

const std::vector<std::string>& RecordingHost::lines() const noexcept {
    return state_->lines;
}

std::vector<std::string> RecordingHost::Ops() const {
    std::vector<std::string> ops;
    for (const std::string& line : state_->lines) ops.push_back(OpOfLine(line));
    return ops;
}

std::vector<std::string> RecordingHost::LinesOf(std::string_view op) const {
    std::vector<std::string> found;
    for (const std::string& line : state_->lines) {
        if (OpOfLine(line) == op) found.push_back(line);
    }
    return found;
}

std::size_t RecordingHost::Count(std::string_view op) const {
    return LinesOf(op).size();
}

void RecordingHost::ClearLog() {
    state_->lines.clear();
}

std::string OpOfLine(std::string_view line) {
    constexpr std::string_view kPrefix = "{\"op\": \"";
    if (!line.starts_with(kPrefix)) return {};
    line.remove_prefix(kPrefix.size());
    return std::string(line.substr(0, line.find('"')));
}

}  // namespace kzv_test
