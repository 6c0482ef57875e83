#include "tessavo/call_log.h"

#include "json.h"
#include "tessavo/framework_objects.h"

namespace tessavo {
namespace {

void Append(std::string& out, std::int32_t value) {
    json::AppendInteger(out, value);
}
void Append(std::string& out, std::int16_t value) {
    json::AppendInteger(out, value);
}
void Append(std::string& out, std::uint8_t value) {
    json::AppendInteger(out, value);
}
void Append(std::string& out, double value) {
    json::AppendNumber(out, value);
}
void Append(std::string& out, const std::string& text) {
    json::AppendString(out, text);
}
void Append(std::string& out, MessageIcon icon) {
    json::AppendString(out, MessageIconName(icon));
}

template <class Range>
void AppendList(std::string& out, const Range& values) {
    out += '[';
    bool first = true;
    for (const auto& value : values) {
        if (!first) out += ", ";
        first = false;
        Append(out, value);
    }
    out += ']';
}

template <class T, std::size_t N>
void Append(std::string& out, const std::array<T, N>& values) {
    AppendList(out, values);
}
void Append(std::string& out, const std::vector<double>& values) {
    AppendList(out, values);
}

// The JSON array of a call's arguments. Empty if it cannot be built (the line then shows []).
template <class... Values>
std::string Args(const Values&... values) noexcept {
    try {
        std::string out = "[";
        bool first = true;
        ((out += first ? "" : ", ", first = false, Append(out, values)), ...);
        out += ']';
        return out;
    } catch (...) {
        return std::string();
    }
}

template <class Value>
std::string Json(const Value& value) noexcept {
    try {
        std::string out;
        Append(out, value);
        return out;
    } catch (...) {
        return std::string();
    }
}

Status Missing() noexcept {
    return FailureNoThrow(kErrNotAttached, "The call log has no inner object for this call",
                          kFrameworkSource);
}

}  // namespace

Ref<CallLog> CallLog::Create(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink) {
    return MakeRef<CallLog>(std::move(host), std::move(ui), std::move(sink));
}

CallLog::CallLog(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink)
    : host_(std::move(host)), ui_(std::move(ui)), sink_(std::move(sink)) {}

void CallLog::Write(std::string_view op, std::string_view args, const Status& status,
                    std::string_view ret) noexcept {
    try {
        std::string line = "{\"op\": ";
        json::AppendString(line, op);
        line += ", \"args\": ";
        line += args.empty() ? "[]" : args;
        if (!status.ok()) {
            line += ", \"error\": {\"number\": ";
            json::AppendInteger(line, status.number);
            line += ", \"description\": ";
            json::AppendString(line, status.description);
            line += ", \"source\": ";
            json::AppendString(line, status.source);
            line += '}';
        } else if (!ret.empty()) {
            line += ", \"ret\": ";
            line += ret;
        }
        line += '}';
        std::lock_guard lock(mutex_);
        if (sink_) sink_(line);
    } catch (...) {
        // A log that cannot be written must not change the outcome of the call it records.
    }
}

Status CallLog::Attached() noexcept {
    Status status = host_ ? host_->Attached() : Missing();
    Write("AttachHost", "[]", status);
    return status;
}

Status CallLog::GetHostLCID(std::int32_t& lcid) noexcept {
    Status status = host_ ? host_->GetHostLCID(lcid) : Missing();
    Write("GetHostLCID", "[]", status, Json(lcid));
    return status;
}

Status CallLog::ReportMessage(const std::string& text, std::int32_t& kind) noexcept {
    const std::string args = Args(text, kind);
    Status status = host_ ? host_->ReportMessage(text, kind) : Missing();
    Write("ReportMessage", args, status);
    return status;
}

Status CallLog::ReportError(std::int32_t number, const std::string& description,
                            const std::string& source) noexcept {
    const std::string args = Args(number, description, source);
    Status status = host_ ? host_->ReportError(number, description, source) : Missing();
    Write("ReportError", args, status);
    return status;
}

Status CallLog::ShowProgress(VBool show) noexcept {
    const std::string args = Args(show);
    Status status = host_ ? host_->ShowProgress(show) : Missing();
    Write("ShowProgress", args, status);
    return status;
}

Status CallLog::SetProgressMax(std::int32_t count) noexcept {
    const std::string args = Args(count);
    Status status = host_ ? host_->SetProgressMax(count) : Missing();
    Write("SetProgressMax", args, status);
    return status;
}

Status CallLog::SetProgressValue(std::int32_t count) noexcept {
    const std::string args = Args(count);
    Status status = host_ ? host_->SetProgressValue(count) : Missing();
    Write("SetProgressValue", args, status);
    return status;
}

Status CallLog::LoadBitmap(const std::string& path, VBool flag, Handle& bitmap) noexcept {
    const std::string args = Args(path, flag);
    Status status = host_ ? host_->LoadBitmap(path, flag, bitmap) : Missing();
    Write("LoadBitmap", args, status, Json(bitmap));
    return status;
}

Status CallLog::CreateCamera(const std::string& name, Handle& camera) noexcept {
    const std::string args = Args(name);
    Status status = host_ ? host_->CreateCamera(name, camera) : Missing();
    Write("CreateCamera", args, status, Json(camera));
    return status;
}

Status CallLog::SetCameraPosition(Handle camera, double x, double y, double z) noexcept {
    const std::string args = Args(camera, x, y, z);
    Status status = host_ ? host_->SetCameraPosition(camera, x, y, z) : Missing();
    Write("SetCameraPosition", args, status);
    return status;
}

Status CallLog::SetCameraAxes(Handle camera, const std::array<double, 3>& axis1,
                              const std::array<double, 3>& axis2,
                              const std::array<double, 3>& axis3) noexcept {
    const std::string args = Args(camera, axis1, axis2, axis3);
    Status status = host_ ? host_->SetCameraAxes(camera, axis1, axis2, axis3) : Missing();
    Write("SetCameraAxes", args, status);
    return status;
}

Status CallLog::SetCameraFov(Handle camera, double degrees) noexcept {
    const std::string args = Args(camera, degrees);
    Status status = host_ ? host_->SetCameraFov(camera, degrees) : Missing();
    Write("SetCameraFov", args, status);
    return status;
}

Status CallLog::SetCameraRange(Handle camera, double distance) noexcept {
    const std::string args = Args(camera, distance);
    Status status = host_ ? host_->SetCameraRange(camera, distance) : Missing();
    Write("SetCameraRange", args, status);
    return status;
}

Status CallLog::SetCameraMode(Handle camera, std::int32_t mode) noexcept {
    const std::string args = Args(camera, mode);
    Status status = host_ ? host_->SetCameraMode(camera, mode) : Missing();
    Write("SetCameraMode", args, status);
    return status;
}

Status CallLog::CreateLight(const std::string& name, const std::array<double, 3>& position,
                            Handle& light) noexcept {
    const std::string args = Args(name, position);
    Status status = host_ ? host_->CreateLight(name, position, light) : Missing();
    Write("CreateLight", args, status, Json(light));
    return status;
}

Status CallLog::SetLightColor(Handle light, const std::array<std::uint8_t, 3>& rgb) noexcept {
    const std::string args = Args(light, rgb);
    Status status = host_ ? host_->SetLightColor(light, rgb) : Missing();
    Write("SetLightColor", args, status);
    return status;
}

Status CallLog::SetLightIntensity(Handle light, double intensity) noexcept {
    const std::string args = Args(light, intensity);
    Status status = host_ ? host_->SetLightIntensity(light, intensity) : Missing();
    Write("SetLightIntensity", args, status);
    return status;
}

Status CallLog::SetLightIntensity2(Handle light, double intensity) noexcept {
    const std::string args = Args(light, intensity);
    Status status = host_ ? host_->SetLightIntensity2(light, intensity) : Missing();
    Write("SetLightIntensity2", args, status);
    return status;
}

Status CallLog::SetLightRange(Handle light, double distance) noexcept {
    const std::string args = Args(light, distance);
    Status status = host_ ? host_->SetLightRange(light, distance) : Missing();
    Write("SetLightRange", args, status);
    return status;
}

Status CallLog::CreateTrack(const std::string& name, VBool cyclic, const std::vector<double>& points,
                            std::int32_t count, Handle& track) noexcept {
    const std::string args = Args(name, cyclic, points, count);
    Status status = host_ ? host_->CreateTrack(name, cyclic, points, count, track) : Missing();
    Write("CreateTrack", args, status, Json(track));
    return status;
}

Status CallLog::AddCameraToWorld(Handle camera) noexcept {
    const std::string args = Args(camera);
    Status status = host_ ? host_->AddCameraToWorld(camera) : Missing();
    Write("AddCameraToWorld", args, status);
    return status;
}

Status CallLog::AddLightToWorld(Handle light) noexcept {
    const std::string args = Args(light);
    Status status = host_ ? host_->AddLightToWorld(light) : Missing();
    Write("AddLightToWorld", args, status);
    return status;
}

Status CallLog::AddTrackToWorld(Handle track) noexcept {
    const std::string args = Args(track);
    Status status = host_ ? host_->AddTrackToWorld(track) : Missing();
    Write("AddTrackToWorld", args, status);
    return status;
}

Status CallLog::CreateGroup(const std::string& name, Handle& group) noexcept {
    const std::string args = Args(name);
    Status status = host_ ? host_->CreateGroup(name, group) : Missing();
    Write("CreateGroup", args, status, Json(group));
    return status;
}

Status CallLog::SetGroupParent(Handle group, Handle parent) noexcept {
    const std::string args = Args(group, parent);
    Status status = host_ ? host_->SetGroupParent(group, parent) : Missing();
    Write("SetGroupParent", args, status);
    return status;
}

Status CallLog::SetGroupMatrix(Handle group, const std::array<double, 16>& matrix) noexcept {
    const std::string args = Args(group, matrix);
    Status status = host_ ? host_->SetGroupMatrix(group, matrix) : Missing();
    Write("SetGroupMatrix", args, status);
    return status;
}

Status CallLog::AddGroupToWorld(Handle group, std::int32_t flag) noexcept {
    const std::string args = Args(group, flag);
    Status status = host_ ? host_->AddGroupToWorld(group, flag) : Missing();
    Write("AddGroupToWorld", args, status);
    return status;
}

Status CallLog::CreatePolygon(Handle& polygon) noexcept {
    Status status = host_ ? host_->CreatePolygon(polygon) : Missing();
    Write("CreatePolygon", "[]", status, Json(polygon));
    return status;
}

Status CallLog::AddPolygonVertex(Handle polygon, const std::array<double, 6>& data, Handle& vertex) noexcept {
    const std::string args = Args(polygon, data);
    Status status = host_ ? host_->AddPolygonVertex(polygon, data, vertex) : Missing();
    Write("AddPolygonVertex", args, status, Json(vertex));
    return status;
}

Status CallLog::SetVertexNormal(Handle vertex, const std::array<double, 3>& normal) noexcept {
    const std::string args = Args(vertex, normal);
    Status status = host_ ? host_->SetVertexNormal(vertex, normal) : Missing();
    Write("SetVertexNormal", args, status);
    return status;
}

Status CallLog::SetPolygonVertexColor(Handle vertex, Handle polygon,
                                      const std::array<std::uint8_t, 3>& rgb) noexcept {
    const std::string args = Args(vertex, polygon, rgb);
    Status status = host_ ? host_->SetPolygonVertexColor(vertex, polygon, rgb) : Missing();
    Write("SetPolygonVertexColor", args, status);
    return status;
}

Status CallLog::SetPolygonVertexUV2(Handle vertex, Handle polygon, const std::array<double, 2>& uv) noexcept {
    const std::string args = Args(vertex, polygon, uv);
    Status status = host_ ? host_->SetPolygonVertexUV2(vertex, polygon, uv) : Missing();
    Write("SetPolygonVertexUV2", args, status);
    return status;
}

Status CallLog::SetPolygonColor(Handle polygon, std::int32_t red, std::int32_t green,
                                std::int32_t blue) noexcept {
    const std::string args = Args(polygon, red, green, blue);
    Status status = host_ ? host_->SetPolygonColor(polygon, red, green, blue) : Missing();
    Write("SetPolygonColor", args, status);
    return status;
}

Status CallLog::SetPolygonBitmap(Handle polygon, Handle bitmap) noexcept {
    const std::string args = Args(polygon, bitmap);
    Status status = host_ ? host_->SetPolygonBitmap(polygon, bitmap) : Missing();
    Write("SetPolygonBitmap", args, status);
    return status;
}

Status CallLog::SetPolygonBitmap2(Handle polygon, Handle bitmap) noexcept {
    const std::string args = Args(polygon, bitmap);
    Status status = host_ ? host_->SetPolygonBitmap2(polygon, bitmap) : Missing();
    Write("SetPolygonBitmap2", args, status);
    return status;
}

Status CallLog::ClosePolygon(Handle polygon) noexcept {
    const std::string args = Args(polygon);
    Status status = host_ ? host_->ClosePolygon(polygon) : Missing();
    Write("ClosePolygon", args, status);
    return status;
}

Status CallLog::AddPolygonToGroup(Handle polygon, Handle group) noexcept {
    const std::string args = Args(polygon, group);
    Status status = host_ ? host_->AddPolygonToGroup(polygon, group) : Missing();
    Write("AddPolygonToGroup", args, status);
    return status;
}

Status CallLog::OpenFileDialog(const std::string& filter, std::string& path) noexcept {
    const std::string args = Args(filter);
    Status status = ui_ ? ui_->OpenFileDialog(filter, path) : Missing();
    Write("OpenFileDialog", args, status, Json(path));
    return status;
}

Status CallLog::MessageBox(const std::string& text, MessageIcon icon, const std::string& title) noexcept {
    const std::string args = Args(text, icon, title);
    Status status = ui_ ? ui_->MessageBox(text, icon, title) : Missing();
    Write("MessageBox", args, status);
    return status;
}

}  // namespace tessavo
