#include "recording_host.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace kzv_test {

using tessavo::Handle;
using tessavo::Status;

struct RecordingHost::State {
    std::int32_t lcid = 1033;
    std::map<std::string, int, std::less<>> calls;                        // calls so far per operation
    std::map<std::pair<std::string, int>, Status, std::less<>> failures;  // (op, n) -> status
    std::map<std::pair<std::string, int>, std::function<void()>, std::less<>> actions;  // (op, n) -> run
    std::map<HandleKind, std::int32_t> issued;                            // handles so far per kind
    std::vector<std::string> lines;
};

namespace {

// Answers every operation; the call log in front of it records the calls.
class AnsweringHost final : public tessavo::RefCounted<tessavo::IHostApplication> {
  public:
    explicit AnsweringHost(std::shared_ptr<RecordingHost::State> state) : state_(std::move(state)) {}

    Status Attached() noexcept override { return Answer("AttachHost"); }
    Status GetHostLCID(std::int32_t& lcid) noexcept override {
        Status status = Answer("GetHostLCID");
        if (status.ok()) lcid = state_->lcid;
        return status;
    }
    Status ReportMessage(const std::string&, std::int32_t&) noexcept override {
        return Answer("ReportMessage");
    }
    Status ReportError(std::int32_t, const std::string&, const std::string&) noexcept override {
        return Answer("ReportError");
    }
    Status ShowProgress(tessavo::VBool) noexcept override { return Answer("ShowProgress"); }
    Status SetProgressMax(std::int32_t) noexcept override { return Answer("SetProgressMax"); }
    Status SetProgressValue(std::int32_t) noexcept override { return Answer("SetProgressValue"); }
    Status LoadBitmap(const std::string&, tessavo::VBool, Handle& bitmap) noexcept override {
        return Issue("LoadBitmap", HandleKind::Bitmap, bitmap);
    }
    Status CreateCamera(const std::string&, Handle& camera) noexcept override {
        return Issue("CreateCamera", HandleKind::Camera, camera);
    }
    Status SetCameraPosition(Handle, double, double, double) noexcept override {
        return Answer("SetCameraPosition");
    }
    Status SetCameraAxes(Handle, const std::array<double, 3>&, const std::array<double, 3>&,
                         const std::array<double, 3>&) noexcept override {
        return Answer("SetCameraAxes");
    }
    Status SetCameraFov(Handle, double) noexcept override { return Answer("SetCameraFov"); }
    Status SetCameraRange(Handle, double) noexcept override { return Answer("SetCameraRange"); }
    Status SetCameraMode(Handle, std::int32_t) noexcept override { return Answer("SetCameraMode"); }
    Status CreateLight(const std::string&, const std::array<double, 3>&, Handle& light) noexcept override {
        return Issue("CreateLight", HandleKind::Light, light);
    }
    Status SetLightColor(Handle, const std::array<std::uint8_t, 3>&) noexcept override {
        return Answer("SetLightColor");
    }
    Status SetLightIntensity(Handle, double) noexcept override { return Answer("SetLightIntensity"); }
    Status SetLightIntensity2(Handle, double) noexcept override { return Answer("SetLightIntensity2"); }
    Status SetLightRange(Handle, double) noexcept override { return Answer("SetLightRange"); }
    Status CreateTrack(const std::string&, tessavo::VBool, const std::vector<double>&, std::int32_t,
                       Handle& track) noexcept override {
        return Issue("CreateTrack", HandleKind::Track, track);
    }
    Status AddCameraToWorld(Handle) noexcept override { return Answer("AddCameraToWorld"); }
    Status AddLightToWorld(Handle) noexcept override { return Answer("AddLightToWorld"); }
    Status AddTrackToWorld(Handle) noexcept override { return Answer("AddTrackToWorld"); }
    Status CreateGroup(const std::string&, Handle& group) noexcept override {
        return Issue("CreateGroup", HandleKind::Group, group);
    }
    Status SetGroupParent(Handle, Handle) noexcept override { return Answer("SetGroupParent"); }
    Status SetGroupMatrix(Handle, const std::array<double, 16>&) noexcept override {
        return Answer("SetGroupMatrix");
    }
    Status AddGroupToWorld(Handle, std::int32_t) noexcept override { return Answer("AddGroupToWorld"); }
    Status CreatePolygon(Handle& polygon) noexcept override {
        return Issue("CreatePolygon", HandleKind::Polygon, polygon);
    }
    Status AddPolygonVertex(Handle, const std::array<double, 6>&, Handle& vertex) noexcept override {
        return Issue("AddPolygonVertex", HandleKind::Vertex, vertex);
    }
    Status SetVertexNormal(Handle, const std::array<double, 3>&) noexcept override {
        return Answer("SetVertexNormal");
    }
    Status SetPolygonVertexColor(Handle, Handle, const std::array<std::uint8_t, 3>&) noexcept override {
        return Answer("SetPolygonVertexColor");
    }
    Status SetPolygonVertexUV2(Handle, Handle, const std::array<double, 2>&) noexcept override {
        return Answer("SetPolygonVertexUV2");
    }
    Status SetPolygonColor(Handle, std::int32_t, std::int32_t, std::int32_t) noexcept override {
        return Answer("SetPolygonColor");
    }
    Status SetPolygonBitmap(Handle, Handle) noexcept override { return Answer("SetPolygonBitmap"); }
    Status SetPolygonBitmap2(Handle, Handle) noexcept override { return Answer("SetPolygonBitmap2"); }
    Status ClosePolygon(Handle) noexcept override { return Answer("ClosePolygon"); }
    Status AddPolygonToGroup(Handle, Handle) noexcept override { return Answer("AddPolygonToGroup"); }

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

    Status Issue(std::string_view op, HandleKind kind, Handle& handle) noexcept {
        Status status = Answer(op);
        if (status.ok()) handle = NthHandle(kind, ++state_->issued[kind]);
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
