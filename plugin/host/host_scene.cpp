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
        throw PluginError(
            ErrorValue{kErrObjectNotSet, "Object variable or With block variable not set", caller_source_});
    }
    return scene;
}

void HostScene::AttachHost(tessavo::IHostApplication*& host) {
    CheckHostStatus(Scene()->AttachHost(host));
}

std::int32_t HostScene::GetHostLCID() {
    std::int32_t lcid = 0;
    CheckHostStatus(Scene()->GetHostLCID(lcid));
    return lcid;
}

void HostScene::ReportMessage(const std::string& text, std::int32_t& kind) {
    CheckHostStatus(Scene()->ReportMessage(text, kind));
}

void HostScene::ReportError(std::int32_t number, const std::string& description, const std::string& source) {
    CheckHostStatus(Scene()->ReportError(number, description, source));
}

void HostScene::ShowProgress(tessavo::VBool show) {
    CheckHostStatus(Scene()->ShowProgress(show));
}
void HostScene::SetProgressMax(std::int32_t count) {
    CheckHostStatus(Scene()->SetProgressMax(count));
}
void HostScene::SetProgressValue(std::int32_t count) {
    CheckHostStatus(Scene()->SetProgressValue(count));
}

Handle HostScene::LoadBitmap(const std::string& path, tessavo::VBool flag) {
    Handle bitmap = 0;
    CheckHostStatus(Scene()->LoadBitmap(path, flag, bitmap));
    return bitmap;
}

Handle HostScene::CreateCamera(const std::string& name) {
    Handle camera = 0;
    CheckHostStatus(Scene()->CreateCamera(name, camera));
    return camera;
}

void HostScene::SetCameraPosition(Handle camera, double x, double y, double z) {
    CheckHostStatus(Scene()->SetCameraPosition(camera, x, y, z));
}

void HostScene::SetCameraAxes(Handle camera, const std::array<double, 3>& axis1,
                              const std::array<double, 3>& axis2, const std::array<double, 3>& axis3) {
    CheckHostStatus(Scene()->SetCameraAxes(camera, axis1, axis2, axis3));
}

void HostScene::SetCameraFov(Handle camera, double degrees) {
    CheckHostStatus(Scene()->SetCameraFov(camera, degrees));
}

void HostScene::SetCameraRange(Handle camera, double distance) {
    CheckHostStatus(Scene()->SetCameraRange(camera, distance));
}

void HostScene::SetCameraMode(Handle camera, std::int32_t mode) {
    CheckHostStatus(Scene()->SetCameraMode(camera, mode));
}

Handle HostScene::CreateLight(const std::string& name, const std::array<double, 3>& position) {
    Handle light = 0;
    CheckHostStatus(Scene()->CreateLight(name, position, light));
    return light;
}

void HostScene::SetLightColor(Handle light, const std::array<std::uint8_t, 3>& rgb) {
    CheckHostStatus(Scene()->SetLightColor(light, rgb));
}

void HostScene::SetLightIntensity(Handle light, double intensity) {
    CheckHostStatus(Scene()->SetLightIntensity(light, intensity));
}

void HostScene::SetLightIntensity2(Handle light, double intensity) {
    CheckHostStatus(Scene()->SetLightIntensity2(light, intensity));
}

void HostScene::SetLightRange(Handle light, double distance) {
    CheckHostStatus(Scene()->SetLightRange(light, distance));
}

Handle HostScene::CreateTrack(const std::string& name, tessavo::VBool cyclic,
                              const std::vector<double>& points, std::int32_t count) {
    Handle track = 0;
    CheckHostStatus(Scene()->CreateTrack(name, cyclic, points, count, track));
    return track;
}

void HostScene::AddCameraToWorld(Handle camera) {
    CheckHostStatus(Scene()->AddCameraToWorld(camera));
}
void HostScene::AddLightToWorld(Handle light) {
    CheckHostStatus(Scene()->AddLightToWorld(light));
}
void HostScene::AddTrackToWorld(Handle track) {
    CheckHostStatus(Scene()->AddTrackToWorld(track));
}

Handle HostScene::CreateGroup(const std::string& name) {
    Handle group = 0;
    CheckHostStatus(Scene()->CreateGroup(name, group));
    return group;
}

void HostScene::SetGroupParent(Handle group, Handle parent) {
    CheckHostStatus(Scene()->SetGroupParent(group, parent));
}

void HostScene::SetGroupMatrix(Handle group, const std::array<double, 16>& matrix) {
    CheckHostStatus(Scene()->SetGroupMatrix(group, matrix));
}

void HostScene::AddGroupToWorld(Handle group, std::int32_t flag) {
    CheckHostStatus(Scene()->AddGroupToWorld(group, flag));
}

Handle HostScene::CreatePolygon() {
    Handle polygon = 0;
    CheckHostStatus(Scene()->CreatePolygon(polygon));
    return polygon;
}

Handle HostScene::AddPolygonVertex(Handle polygon, const std::array<double, 6>& data) {
    Handle vertex = 0;
    CheckHostStatus(Scene()->AddPolygonVertex(polygon, data, vertex));
    return vertex;
}

void HostScene::SetVertexNormal(Handle vertex, const std::array<double, 3>& normal) {
    CheckHostStatus(Scene()->SetVertexNormal(vertex, normal));
}

void HostScene::SetPolygonVertexColor(Handle vertex, Handle polygon, const std::array<std::uint8_t, 3>& rgb) {
    CheckHostStatus(Scene()->SetPolygonVertexColor(vertex, polygon, rgb));
}

void HostScene::SetPolygonVertexUV2(Handle vertex, Handle polygon, const std::array<double, 2>& uv) {
    CheckHostStatus(Scene()->SetPolygonVertexUV2(vertex, polygon, uv));
}

void HostScene::SetPolygonColor(Handle polygon, std::int32_t red, std::int32_t green, std::int32_t blue) {
    CheckHostStatus(Scene()->SetPolygonColor(polygon, red, green, blue));
}

void HostScene::SetPolygonBitmap(Handle polygon, Handle bitmap) {
    CheckHostStatus(Scene()->SetPolygonBitmap(polygon, bitmap));
}

void HostScene::SetPolygonBitmap2(Handle polygon, Handle bitmap) {
    CheckHostStatus(Scene()->SetPolygonBitmap2(polygon, bitmap));
}

void HostScene::ClosePolygon(Handle polygon) {
    CheckHostStatus(Scene()->ClosePolygon(polygon));
}

void HostScene::AddPolygonToGroup(Handle polygon, Handle group) {
    CheckHostStatus(Scene()->AddPolygonToGroup(polygon, group));
}

}  // namespace imp_kzv
