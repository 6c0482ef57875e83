// The host scene interface: everything a plug-in asks of the host's scene, progress display,
// messages, error report and locale.
//
// Conventions, as for every framework contract:
// - Every operation is noexcept and returns a Status; results come back through out-parameters.
// - Handles are 32-bit host-issued integers; group handle 0 means "no parent".
// - Reals are doubles, booleans the 16-bit automation form (true -1, false 0), arrays are
//   zero-based and passed by reference.
// - Texts are UTF-8. The framework, the plug-in and the host are built against the same C++
//   standard library, so std::string and std::vector may cross the boundary.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tessavo/object.h"

namespace tessavo {

using Handle = std::int32_t;
using VBool = std::int16_t;
inline constexpr VBool kTrue = -1;
inline constexpr VBool kFalse = 0;

// Outcome of a contract call: number 0 is success; otherwise an error with the failing side's
// number, description and source.
struct [[nodiscard]] Status {
    std::int32_t number = 0;
    std::string description;
    std::string source;

    bool ok() const noexcept { return number == 0; }
    static Status success() noexcept { return {}; }
    static Status failure(std::int32_t number, std::string description, std::string source) {
        return Status{number, std::move(description), std::move(source)};
    }
};

// Builds a failure status without ever throwing: if the texts cannot be allocated, the status keeps
// only its number. For noexcept code paths that report an error.
inline Status FailureNoThrow(std::int32_t number, std::string_view description,
                             std::string_view source) noexcept {
    Status status;
    status.number = number;
    try {
        status.description = description;
        status.source = source;
    } catch (...) {
        status.description.clear();
        status.source.clear();
    }
    return status;
}

// Message kinds of ReportMessage.
inline constexpr std::int32_t kMessageError = 1;
inline constexpr std::int32_t kMessageNotice = 4;

// The scene operations, in the order of the contract. AttachHost is not here: it belongs to the
// framework's host scene interface object, which binds these operations to a host application.
class IHostScene {
  public:
    virtual Status GetHostLCID(std::int32_t& lcid) noexcept = 0;
    virtual Status ReportMessage(const std::string& text, std::int32_t& kind) noexcept = 0;
    virtual Status ReportError(std::int32_t number, const std::string& description,
                               const std::string& source) noexcept = 0;
    virtual Status ShowProgress(VBool show) noexcept = 0;
    virtual Status SetProgressMax(std::int32_t count) noexcept = 0;
    virtual Status SetProgressValue(std::int32_t count) noexcept = 0;
    virtual Status LoadBitmap(const std::string& path, VBool flag, Handle& bitmap) noexcept = 0;

    virtual Status CreateCamera(const std::string& name, Handle& camera) noexcept = 0;
    virtual Status SetCameraPosition(Handle camera, double x, double y, double z) noexcept = 0;
    virtual Status SetCameraAxes(Handle camera, const std::array<double, 3>& axis1,
                                 const std::array<double, 3>& axis2,
                                 const std::array<double, 3>& axis3) noexcept = 0;
    virtual Status SetCameraFov(Handle camera, double degrees) noexcept = 0;
    virtual Status SetCameraRange(Handle camera, double distance) noexcept = 0;
    virtual Status SetCameraMode(Handle camera, std::int32_t mode) noexcept = 0;

    virtual Status CreateLight(const std::string& name, const std::array<double, 3>& position,
                               Handle& light) noexcept = 0;
    virtual Status SetLightColor(Handle light, const std::array<std::uint8_t, 3>& rgb) noexcept = 0;
    virtual Status SetLightIntensity(Handle light, double intensity) noexcept = 0;
    virtual Status SetLightIntensity2(Handle light, double intensity) noexcept = 0;
    virtual Status SetLightRange(Handle light, double distance) noexcept = 0;

    // points holds 3 * count coordinates x0, y0, z0, x1, ...
    virtual Status CreateTrack(const std::string& name, VBool cyclic, const std::vector<double>& points,
                               std::int32_t count, Handle& track) noexcept = 0;

    virtual Status AddCameraToWorld(Handle camera) noexcept = 0;
    virtual Status AddLightToWorld(Handle light) noexcept = 0;
    virtual Status AddTrackToWorld(Handle track) noexcept = 0;

    virtual Status CreateGroup(const std::string& name, Handle& group) noexcept = 0;
    virtual Status SetGroupParent(Handle group, Handle parent) noexcept = 0;
    // 4x4 affine matrix row by row, translation in elements 12..14 (row vectors).
    virtual Status SetGroupMatrix(Handle group, const std::array<double, 16>& matrix) noexcept = 0;
    virtual Status AddGroupToWorld(Handle group, std::int32_t flag) noexcept = 0;

    virtual Status CreatePolygon(Handle& polygon) noexcept = 0;
    // data: x, y, z, u, v, 100.0
    virtual Status AddPolygonVertex(Handle polygon, const std::array<double, 6>& data,
                                    Handle& vertex) noexcept = 0;
    virtual Status SetVertexNormal(Handle vertex, const std::array<double, 3>& normal) noexcept = 0;
    virtual Status SetPolygonVertexColor(Handle vertex, Handle polygon,
                                         const std::array<std::uint8_t, 3>& rgb) noexcept = 0;
    virtual Status SetPolygonVertexUV2(Handle vertex, Handle polygon,
                                       const std::array<double, 2>& uv) noexcept = 0;
    // Components on the 0..255 scale, not clamped: a diffuse of 1.2 arrives as 306.
    virtual Status SetPolygonColor(Handle polygon, std::int32_t red, std::int32_t green,
                                   std::int32_t blue) noexcept = 0;
    virtual Status SetPolygonBitmap(Handle polygon, Handle bitmap) noexcept = 0;
    virtual Status SetPolygonBitmap2(Handle polygon, Handle bitmap) noexcept = 0;
    virtual Status ClosePolygon(Handle polygon) noexcept = 0;
    virtual Status AddPolygonToGroup(Handle polygon, Handle group) noexcept = 0;

  protected:
    ~IHostScene() = default;
};

// Implemented by a host: its application object, which really performs the scene operations.
// The framework's host scene interface object forwards every call to it once attached.
class IHostApplication : public IObject, public IHostScene {
  public:
    // Told once per AttachHost, before any other call arrives through that attachment.
    virtual Status Attached() noexcept = 0;

  protected:
    ~IHostApplication() = default;
};

}  // namespace tessavo
