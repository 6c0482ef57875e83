#include "tessavo/framework_objects.h"

#include <new>

#include "tessavo/server.h"

namespace tessavo {
namespace {

Status NotAttached() noexcept {
    return FailureNoThrow(
        kErrNotAttached,
        "The host scene interface is not attached to a host application (call AttachHost first)",
        kFrameworkSource);
}

// The host scene interface object: forwards every operation to the attached host application.
class HostSceneInterface final : public RefCounted<IHostSceneInterface> {
  public:
    Status AttachHost(IHostApplication*& host) noexcept override {
        if (!host)
            return FailureNoThrow(kErrInvalidArgument, "AttachHost needs a host application",
                                  kFrameworkSource);
        Ref<IHostApplication> candidate(host);
        host_.reset();
        Status status = candidate->Attached();
        if (status.ok()) host_ = std::move(candidate);
        return status;
    }

    Status GetHostLCID(std::int32_t& lcid) noexcept override {
        return host_ ? host_->GetHostLCID(lcid) : NotAttached();
    }
    Status ReportMessage(const std::string& text, std::int32_t& kind) noexcept override {
        return host_ ? host_->ReportMessage(text, kind) : NotAttached();
    }
    Status ReportError(std::int32_t number, const std::string& description,
                       const std::string& source) noexcept override {
        return host_ ? host_->ReportError(number, description, source) : NotAttached();
    }
    Status ShowProgress(VBool show) noexcept override {
        return host_ ? host_->ShowProgress(show) : NotAttached();
    }
    Status SetProgressMax(std::int32_t count) noexcept override {
        return host_ ? host_->SetProgressMax(count) : NotAttached();
    }
    Status SetProgressValue(std::int32_t count) noexcept override {
        return host_ ? host_->SetProgressValue(count) : NotAttached();
    }
    Status LoadBitmap(const std::string& path, VBool flag, Handle& bitmap) noexcept override {
        return host_ ? host_->LoadBitmap(path, flag, bitmap) : NotAttached();
    }
    Status CreateCamera(const std::string& name, Handle& camera) noexcept override {
        return host_ ? host_->CreateCamera(name, camera) : NotAttached();
    }
    Status SetCameraPosition(Handle camera, double x, double y, double z) noexcept override {
        return host_ ? host_->SetCameraPosition(camera, x, y, z) : NotAttached();
    }
    Status SetCameraAxes(Handle camera, const std::array<double, 3>& axis1,
                         const std::array<double, 3>& axis2,
                         const std::array<double, 3>& axis3) noexcept override {
        return host_ ? host_->SetCameraAxes(camera, axis1, axis2, axis3) : NotAttached();
    }
    Status SetCameraFov(Handle camera, double degrees) noexcept override {
        return host_ ? host_->SetCameraFov(camera, degrees) : NotAttached();
    }
    Status SetCameraRange(Handle camera, double distance) noexcept override {
        return host_ ? host_->SetCameraRange(camera, distance) : NotAttached();
    }
    Status SetCameraMode(Handle camera, std::int32_t mode) noexcept override {
        return host_ ? host_->SetCameraMode(camera, mode) : NotAttached();
    }
    Status CreateLight(const std::string& name, const std::array<double, 3>& position,
                       Handle& light) noexcept override {
        return host_ ? host_->CreateLight(name, position, light) : NotAttached();
    }
    Status SetLightColor(Handle light, const std::array<std::uint8_t, 3>& rgb) noexcept override {
        return host_ ? host_->SetLightColor(light, rgb) : NotAttached();
    }
    Status SetLightIntensity(Handle light, double intensity) noexcept override {
        return host_ ? host_->SetLightIntensity(light, intensity) : NotAttached();
    }
    Status SetLightIntensity2(Handle light, double intensity) noexcept override {
        return host_ ? host_->SetLightIntensity2(light, intensity) : NotAttached();
    }
    Status SetLightRange(Handle light, double distance) noexcept override {
        return host_ ? host_->SetLightRange(light, distance) : NotAttached();
    }
    Status CreateTrack(const std::string& name, VBool cyclic, const std::vector<double>& points,
                       std::int32_t count, Handle& track) noexcept override {
        return host_ ? host_->CreateTrack(name, cyclic, points, count, track) : NotAttached();
    }
    Status AddCameraToWorld(Handle camera) noexcept override {
        return host_ ? host_->AddCameraToWorld(camera) : NotAttached();
    }
    Status AddLightToWorld(Handle light) noexcept override {
        return host_ ? host_->AddLightToWorld(light) : NotAttached();
    }
    Status AddTrackToWorld(Handle track) noexcept override {
        return host_ ? host_->AddTrackToWorld(track) : NotAttached();
    }
    Status CreateGroup(const std::string& name, Handle& group) noexcept override {
        return host_ ? host_->CreateGroup(name, group) : NotAttached();
    }
    Status SetGroupParent(Handle group, Handle parent) noexcept override {
        return host_ ? host_->SetGroupParent(group, parent) : NotAttached();
    }
    Status SetGroupMatrix(Handle group, const std::array<double, 16>& matrix) noexcept override {
        return host_ ? host_->SetGroupMatrix(group, matrix) : NotAttached();
    }
    Status AddGroupToWorld(Handle group, std::int32_t flag) noexcept override {
        return host_ ? host_->AddGroupToWorld(group, flag) : NotAttached();
    }
    Status CreatePolygon(Handle& polygon) noexcept override {
        return host_ ? host_->CreatePolygon(polygon) : NotAttached();
    }
    Status AddPolygonVertex(Handle polygon, const std::array<double, 6>& data,
                            Handle& vertex) noexcept override {
        return host_ ? host_->AddPolygonVertex(polygon, data, vertex) : NotAttached();
    }
    Status SetVertexNormal(Handle vertex, const std::array<double, 3>& normal) noexcept override {
        return host_ ? host_->SetVertexNormal(vertex, normal) : NotAttached();
    }
    Status SetPolygonVertexColor(Handle vertex, Handle polygon,
                                 const std::array<std::uint8_t, 3>& rgb) noexcept override {
        return host_ ? host_->SetPolygonVertexColor(vertex, polygon, rgb) : NotAttached();
    }
    Status SetPolygonVertexUV2(Handle vertex, Handle polygon,
                               const std::array<double, 2>& uv) noexcept override {
        return host_ ? host_->SetPolygonVertexUV2(vertex, polygon, uv) : NotAttached();
    }
    Status SetPolygonColor(Handle polygon, std::int32_t red, std::int32_t green,
                           std::int32_t blue) noexcept override {
        return host_ ? host_->SetPolygonColor(polygon, red, green, blue) : NotAttached();
    }
    Status SetPolygonBitmap(Handle polygon, Handle bitmap) noexcept override {
        return host_ ? host_->SetPolygonBitmap(polygon, bitmap) : NotAttached();
    }
    Status SetPolygonBitmap2(Handle polygon, Handle bitmap) noexcept override {
        return host_ ? host_->SetPolygonBitmap2(polygon, bitmap) : NotAttached();
    }
    Status ClosePolygon(Handle polygon) noexcept override {
        return host_ ? host_->ClosePolygon(polygon) : NotAttached();
    }
    Status AddPolygonToGroup(Handle polygon, Handle group) noexcept override {
        return host_ ? host_->AddPolygonToGroup(polygon, group) : NotAttached();
    }

  private:
    Ref<IHostApplication> host_;
};

// Created and held by plug-ins; the framework gives it no work.
class Auxiliary final : public RefCounted<IAuxiliary> {};

template <class T, class... Interfaces>
Status CreateAndOffer(std::string_view interface_id, void*& object) noexcept {
    T* created = new (std::nothrow) T();
    if (!created) return FailureNoThrow(kErrOutOfMemory, "Out of memory", kFrameworkSource);
    Ref<T> owner = Ref<T>::adopt(created);
    return OfferInterface<Interfaces...>(*created, interface_id, object);
}

}  // namespace

Status CreateObject(std::string_view class_id, std::string_view interface_id, void*& object) noexcept {
    object = nullptr;
    if (IdsEqual(class_id, IHostSceneInterface::kClassId)) {
        return CreateAndOffer<HostSceneInterface, IHostSceneInterface>(interface_id, object);
    }
    if (IdsEqual(class_id, IAuxiliary::kClassId))
        return CreateAndOffer<Auxiliary, IAuxiliary>(interface_id, object);
    return FailureNoThrow(kErrClassNotAvailable, "The framework has no class with this class id",
                          kFrameworkSource);
}

}  // namespace tessavo
