#include "host/host_scene.h"

#include "shell/component_state.h"

namespace imp_kzv {

using tessavo::Handle;

void CheckHostStatus(const tessavo::Status& status) {
    if (!status.ok()) throw PluginError(ErrorValue{status.number, status.description, status.source});
}

tessavo::Ref<tessavo::IHostSceneInterface> HostScene::Scene() const {
    tessavo::Ref<tessavo::IHostSceneInterface> scene = Component().host_scene;
    if (!scene) {
        raise(Err::ObjectNotSet, {}, caller_source_);
    }
    return scene;
}

HostScene::Hold::Hold(HostScene& scene) : scene_(scene) {
    if (scene_.holder_state_ != nullptr) return;
    ComponentState& state = Component();
    scene_.held_ = state.host_scene;
    scene_.holder_state_ = &state;
    scene_.holder_thread_ = std::this_thread::get_id();
    owner_ = true;
}

HostScene::Hold::~Hold() {
    if (!owner_) return;
    scene_.held_.reset();
    scene_.holder_state_ = nullptr;
}

template <class Call>
void HostScene::Forward(Call&& call) {
    // The holding thread's component state is known: no look-up of the thread's state per call.
    ComponentState& state = holder_state_ != nullptr && holder_thread_ == std::this_thread::get_id()
                                ? *holder_state_
                                : Component();
    // The held object stays alive even if the component's slot is replaced during the call; any other
    // object gets a counted reference for the call, as without a hold.
    tessavo::IHostSceneInterface* current = state.host_scene.get();
    if (current != nullptr && current == held_.get()) {
        CheckHostStatus(call(*current));
        return;
    }
    const tessavo::Ref<tessavo::IHostSceneInterface> scene = Scene();
    CheckHostStatus(call(*scene));
}

void HostScene::AttachHost(tessavo::IHostApplication*& host) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AttachHost(host); });
}

std::int32_t HostScene::GetHostLCID() {
    std::int32_t lcid = 0;
    Forward([&](tessavo::IHostSceneInterface& s) { return s.GetHostLCID(lcid); });
    return lcid;
}

void HostScene::ReportMessage(const std::string& text, std::int32_t& kind) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.ReportMessage(text, kind); });
}

void HostScene::ReportError(std::int32_t number, const std::string& description, const std::string& source) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.ReportError(number, description, source); });
}

void HostScene::ShowProgress(tessavo::VBool show) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.ShowProgress(show); });
}
void HostScene::SetProgressMax(std::int32_t count) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetProgressMax(count); });
}
void HostScene::SetProgressValue(std::int32_t count) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetProgressValue(count); });
}

Handle HostScene::LoadBitmap(const std::string& path, tessavo::VBool flag) {
    Handle bitmap = 0;
    Forward([&](tessavo::IHostSceneInterface& s) { return s.LoadBitmap(path, flag, bitmap); });
    return bitmap;
}

Handle HostScene::CreateCamera(const std::string& name) {
    Handle camera = 0;
    Forward([&](tessavo::IHostSceneInterface& s) { return s.CreateCamera(name, camera); });
    return camera;
}

void HostScene::SetCameraPosition(Handle camera, double x, double y, double z) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetCameraPosition(camera, x, y, z); });
}

void HostScene::SetCameraAxes(Handle camera, const std::array<double, 3>& axis1,
                              const std::array<double, 3>& axis2, const std::array<double, 3>& axis3) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetCameraAxes(camera, axis1, axis2, axis3); });
}

void HostScene::SetCameraFov(Handle camera, double degrees) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetCameraFov(camera, degrees); });
}

void HostScene::SetCameraRange(Handle camera, double distance) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetCameraRange(camera, distance); });
}

void HostScene::SetCameraMode(Handle camera, std::int32_t mode) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetCameraMode(camera, mode); });
}

Handle HostScene::CreateLight(const std::string& name, const std::array<double, 3>& position) {
    Handle light = 0;
    Forward([&](tessavo::IHostSceneInterface& s) { return s.CreateLight(name, position, light); });
    return light;
}

void HostScene::SetLightColor(Handle light, const std::array<std::uint8_t, 3>& rgb) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetLightColor(light, rgb); });
}

void HostScene::SetLightIntensity(Handle light, double intensity) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetLightIntensity(light, intensity); });
}

void HostScene::SetLightIntensity2(Handle light, double intensity) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetLightIntensity2(light, intensity); });
}

void HostScene::SetLightRange(Handle light, double distance) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetLightRange(light, distance); });
}

Handle HostScene::CreateTrack(const std::string& name, tessavo::VBool cyclic,
                              const std::vector<double>& points, std::int32_t count) {
    Handle track = 0;
    Forward(
        [&](tessavo::IHostSceneInterface& s) { return s.CreateTrack(name, cyclic, points, count, track); });
    return track;
}

void HostScene::AddCameraToWorld(Handle camera) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AddCameraToWorld(camera); });
}
void HostScene::AddLightToWorld(Handle light) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AddLightToWorld(light); });
}
void HostScene::AddTrackToWorld(Handle track) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AddTrackToWorld(track); });
}

Handle HostScene::CreateGroup(const std::string& name) {
    Handle group = 0;
    Forward([&](tessavo::IHostSceneInterface& s) { return s.CreateGroup(name, group); });
    return group;
}

void HostScene::SetGroupParent(Handle group, Handle parent) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetGroupParent(group, parent); });
}

void HostScene::SetGroupMatrix(Handle group, const std::array<double, 16>& matrix) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetGroupMatrix(group, matrix); });
}

void HostScene::AddGroupToWorld(Handle group, std::int32_t flag) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AddGroupToWorld(group, flag); });
}

Handle HostScene::CreatePolygon() {
    Handle polygon = 0;
    Forward([&](tessavo::IHostSceneInterface& s) { return s.CreatePolygon(polygon); });
    return polygon;
}

Handle HostScene::AddPolygonVertex(Handle polygon, const std::array<double, 6>& data) {
    Handle vertex = 0;
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AddPolygonVertex(polygon, data, vertex); });
    return vertex;
}

void HostScene::SetVertexNormal(Handle vertex, const std::array<double, 3>& normal) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetVertexNormal(vertex, normal); });
}

void HostScene::SetPolygonVertexColor(Handle vertex, Handle polygon, const std::array<std::uint8_t, 3>& rgb) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetPolygonVertexColor(vertex, polygon, rgb); });
}

void HostScene::SetPolygonVertexUV2(Handle vertex, Handle polygon, const std::array<double, 2>& uv) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetPolygonVertexUV2(vertex, polygon, uv); });
}

void HostScene::SetPolygonColor(Handle polygon, std::int32_t red, std::int32_t green, std::int32_t blue) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetPolygonColor(polygon, red, green, blue); });
}

void HostScene::SetPolygonBitmap(Handle polygon, Handle bitmap) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetPolygonBitmap(polygon, bitmap); });
}

void HostScene::SetPolygonBitmap2(Handle polygon, Handle bitmap) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.SetPolygonBitmap2(polygon, bitmap); });
}

void HostScene::ClosePolygon(Handle polygon) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.ClosePolygon(polygon); });
}

void HostScene::AddPolygonToGroup(Handle polygon, Handle group) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AddPolygonToGroup(polygon, group); });
}

}  // namespace imp_kzv
