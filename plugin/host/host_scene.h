// The host scene interface as the plug-in calls it.
//
// Every call goes to the host scene interface object in the calling thread's component state. A failed
// status becomes a PluginError carrying the host's number, description and source unchanged, so the
// error's trace starts with the host's source. Results come back as return values.
//
// Each call keeps its interface object alive until it returns. An import makes millions of calls, so
// it holds the object once for its whole length (Hold); calls that go to the held object then need no
// counted reference of their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/plugin_error.h"
#include "tessavo/framework_objects.h"
#include "tessavo/host_scene.h"

namespace imp_kzv {

struct ComponentState;

// Raises the host's failure as a PluginError; does nothing for a success.
void CheckHostStatus(const tessavo::Status& status);

class HostScene {
  public:
    // caller_source: the source of the error (91, Err::ObjectNotSet) raised when the component has no
    // host scene interface, that is the source of the calling code ("Imp_KZV" or "Imp_KZV.<class>").
    explicit HostScene(std::string_view caller_source) : caller_source_(caller_source) {}

    // Keeps the component's current host scene interface object (if any) alive while it exists; lets
    // go of it when it ends. Holds nest: an inner one changes nothing.
    class [[nodiscard]] Hold {
      public:
        explicit Hold(HostScene& scene);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        HostScene& scene_;
        bool owner_ = false;
    };

    void AttachHost(tessavo::IHostApplication*& host);
    std::int32_t GetHostLCID();
    void ReportMessage(const std::string& text, std::int32_t& kind);
    void ReportError(std::int32_t number, const std::string& description, const std::string& source);
    void ShowProgress(tessavo::VBool show);
    void SetProgressMax(std::int32_t count);
    void SetProgressValue(std::int32_t count);
    tessavo::Handle LoadBitmap(const std::string& path, tessavo::VBool flag);

    tessavo::Handle CreateCamera(const std::string& name);
    void SetCameraPosition(tessavo::Handle camera, double x, double y, double z);
    void SetCameraAxes(tessavo::Handle camera, const std::array<double, 3>& axis1,
                       const std::array<double, 3>& axis2, const std::array<double, 3>& axis3);
    void SetCameraFov(tessavo::Handle camera, double degrees);
    void SetCameraRange(tessavo::Handle camera, double distance);
    void SetCameraMode(tessavo::Handle camera, std::int32_t mode);

    tessavo::Handle CreateLight(const std::string& name, const std::array<double, 3>& position);
    void SetLightColor(tessavo::Handle light, const std::array<std::uint8_t, 3>& rgb);
    void SetLightIntensity(tessavo::Handle light, double intensity);
    void SetLightIntensity2(tessavo::Handle light, double intensity);
    void SetLightRange(tessavo::Handle light, double distance);

    tessavo::Handle CreateTrack(const std::string& name, tessavo::VBool cyclic,
                                const std::vector<double>& points, std::int32_t count);

    void AddCameraToWorld(tessavo::Handle camera);
    void AddLightToWorld(tessavo::Handle light);
    void AddTrackToWorld(tessavo::Handle track);

    tessavo::Handle CreateGroup(const std::string& name);
    void SetGroupParent(tessavo::Handle group, tessavo::Handle parent);
    void SetGroupMatrix(tessavo::Handle group, const std::array<double, 16>& matrix);
    void AddGroupToWorld(tessavo::Handle group, std::int32_t flag);

    tessavo::Handle CreatePolygon();
    tessavo::Handle AddPolygonVertex(tessavo::Handle polygon, const std::array<double, 6>& data);
    void SetVertexNormal(tessavo::Handle vertex, const std::array<double, 3>& normal);
    void SetPolygonVertexColor(tessavo::Handle vertex, tessavo::Handle polygon,
                               const std::array<std::uint8_t, 3>& rgb);
    void SetPolygonVertexUV2(tessavo::Handle vertex, tessavo::Handle polygon,
                             const std::array<double, 2>& uv);
    void SetPolygonColor(tessavo::Handle polygon, std::int32_t red, std::int32_t green, std::int32_t blue);
    void SetPolygonBitmap(tessavo::Handle polygon, tessavo::Handle bitmap);
    void SetPolygonBitmap2(tessavo::Handle polygon, tessavo::Handle bitmap);
    void ClosePolygon(tessavo::Handle polygon);
    void AddPolygonToGroup(tessavo::Handle polygon, tessavo::Handle group);

  private:
    // The component's host scene interface at the time of the call (it may be replaced between calls),
    // held for the duration of the call.
    tessavo::Ref<tessavo::IHostSceneInterface> Scene() const;
    // Makes `call(interface)` on the component's current interface and raises a failed status.
    template <class Call>
    void Forward(Call&& call);

    std::string caller_source_;
    tessavo::Ref<tessavo::IHostSceneInterface> held_;
    // While a hold lasts: the component state of the thread that holds, and that thread.
    ComponentState* holder_state_ = nullptr;
    std::thread::id holder_thread_;
};

}  // namespace imp_kzv
