// A call log of everything a plug-in asks of its host and of the user.
//
// CallLog sits between a plug-in and the real host application and user interface: it forwards every
// call to the inner object unchanged and writes one JSON object per call, one line each, in call order:
//   {"op": "CreateGroup", "args": ["Box01"], "ret": 5}
//   {"op": "SetGroupParent", "args": [5, 0]}
//   {"op": "CreatePolygon", "args": [], "error": {"number": 6, "description": "Overflow", "source": "Host"}}
// "ret" appears only for calls whose result the plug-in relies on (handles, the LCID, the dialog's
// path); a failed call carries "error" instead. Arguments keep the order of the host scene operations.
// Integers (handles, counts, kinds, colour bytes) are JSON integers, automation booleans -1 and 0;
// doubles are in shortest round-trip form, NaN and infinities the strings "NaN", "Infinity",
// "-Infinity"; texts are JSON strings (invalid UTF-8 replaced by U+FFFD, NUL as \u0000); icons are
// "information", "exclamation", ... Attached() is logged as "AttachHost".
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "tessavo/host_scene.h"
#include "tessavo/object.h"
#include "tessavo/user_interface.h"

namespace tessavo {

class CallLog final : public RefCounted<IHostApplication, IUserInterface> {
  public:
    // Receives each line, without its line feed. Called with the log's lock held, so lines from
    // several threads never interleave. What it throws is swallowed.
    using Sink = std::function<void(std::string_view line)>;

    // Either inner object may be null: calls towards a missing one fail with kErrNotAttached (and are
    // logged so).
    static Ref<CallLog> Create(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink);

    Status Attached() noexcept override;
    Status GetHostLCID(std::int32_t& lcid) noexcept override;
    Status ReportMessage(const std::string& text, std::int32_t& kind) noexcept override;
    Status ReportError(std::int32_t number, const std::string& description,
                       const std::string& source) noexcept override;
    Status ShowProgress(VBool show) noexcept override;
    Status SetProgressMax(std::int32_t count) noexcept override;
    Status SetProgressValue(std::int32_t count) noexcept override;
    Status LoadBitmap(const std::string& path, VBool flag, Handle& bitmap) noexcept override;
    Status CreateCamera(const std::string& name, Handle& camera) noexcept override;
    Status SetCameraPosition(Handle camera, double x, double y, double z) noexcept override;
    Status SetCameraAxes(Handle camera, const std::array<double, 3>& axis1,
                         const std::array<double, 3>& axis2,
                         const std::array<double, 3>& axis3) noexcept override;
    Status SetCameraFov(Handle camera, double degrees) noexcept override;
    Status SetCameraRange(Handle camera, double distance) noexcept override;
    Status SetCameraMode(Handle camera, std::int32_t mode) noexcept override;
    Status CreateLight(const std::string& name, const std::array<double, 3>& position,
                       Handle& light) noexcept override;
    Status SetLightColor(Handle light, const std::array<std::uint8_t, 3>& rgb) noexcept override;
    Status SetLightIntensity(Handle light, double intensity) noexcept override;
    Status SetLightIntensity2(Handle light, double intensity) noexcept override;
    Status SetLightRange(Handle light, double distance) noexcept override;
    Status CreateTrack(const std::string& name, VBool cyclic, const std::vector<double>& points,
                       std::int32_t count, Handle& track) noexcept override;
    Status AddCameraToWorld(Handle camera) noexcept override;
    Status AddLightToWorld(Handle light) noexcept override;
    Status AddTrackToWorld(Handle track) noexcept override;
    Status CreateGroup(const std::string& name, Handle& group) noexcept override;
    Status SetGroupParent(Handle group, Handle parent) noexcept override;
    Status SetGroupMatrix(Handle group, const std::array<double, 16>& matrix) noexcept override;
    Status AddGroupToWorld(Handle group, std::int32_t flag) noexcept override;
    Status CreatePolygon(Handle& polygon) noexcept override;
    Status AddPolygonVertex(Handle polygon, const std::array<double, 6>& data,
                            Handle& vertex) noexcept override;
    Status SetVertexNormal(Handle vertex, const std::array<double, 3>& normal) noexcept override;
    Status SetPolygonVertexColor(Handle vertex, Handle polygon,
                                 const std::array<std::uint8_t, 3>& rgb) noexcept override;
    Status SetPolygonVertexUV2(Handle vertex, Handle polygon,
                               const std::array<double, 2>& uv) noexcept override;
    Status SetPolygonColor(Handle polygon, std::int32_t red, std::int32_t green,
                           std::int32_t blue) noexcept override;
    Status SetPolygonBitmap(Handle polygon, Handle bitmap) noexcept override;
    Status SetPolygonBitmap2(Handle polygon, Handle bitmap) noexcept override;
    Status ClosePolygon(Handle polygon) noexcept override;
    Status AddPolygonToGroup(Handle polygon, Handle group) noexcept override;

    Status OpenFileDialog(const std::string& filter, std::string& path) noexcept override;
    Status MessageBox(const std::string& text, MessageIcon icon, const std::string& title) noexcept override;

    // Use Create.
    CallLog(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink);

  private:
    // Writes one line; ret (a JSON value, empty for none) is written only after a success.
    void Write(std::string_view op, std::string_view args, const Status& status,
               std::string_view ret = {}) noexcept;

    Ref<IHostApplication> host_;
    Ref<IUserInterface> ui_;
    Sink sink_;
    std::mutex mutex_;
};

}  // namespace tessavo
