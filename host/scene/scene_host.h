// SceneHost: the reference host's application object. It performs every scene operation that a
// plug-in asks for on an in-memory Scene, keeps the plug-in's messages and error reports for the
// command line to print, and forwards progress to an optional observer.
//
// Thread use: one thread at a time (the plug-in calls synchronously on the host's thread).
// Ownership: reference counted; create() returns the first reference.
// Statuses: every operation answers success, or a failure with a HostError number, a description
// and the source kHostSource: unknown handle (also a handle of another kind), invalid argument,
// closed polygon, parent cycle, too many objects, out of memory.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/bitmaps/image_file.h"
#include "host/bitmaps/texture_path.h"
#include "host/scene/handles.h"
#include "host/scene/scene.h"
#include "host/scene/value_table.h"
#include "tessavo/host_scene.h"

namespace kzv::host {

struct HostOptions {
    std::int32_t lcid = 1033;
    // Folder of the scene file being imported; textures are looked up and kept inside it.
    std::filesystem::path scene_folder{};
    bool allow_outside_textures = false;
    ImageLimits image_limits{};
};

struct PluginMessage {
    std::string text;
    std::int32_t kind = 0;  // tessavo::kMessageError or tessavo::kMessageNotice
};

struct ErrorReport {
    std::int32_t number = 0;
    std::string description;
    std::string source;
};

struct ProgressState {
    bool visible = false;
    std::int32_t maximum = 0;
    std::int32_t value = 0;
};

// Optional callbacks, called synchronously inside the plug-in's call. Exceptions they throw are
// swallowed: a failing display must not fail the import.
struct HostObserver {
    std::function<void(const PluginMessage&)> on_message;
    std::function<void(const ErrorReport&)> on_error;
    std::function<void(const std::string&)> on_warning;  // the host's own notices
    std::function<void(const ProgressState&)> on_progress;
};

class SceneHost final : public tessavo::IHostApplication {
  public:
    static tessavo::Ref<SceneHost> create(HostOptions options = {}, HostObserver observer = {});

    SceneHost(const SceneHost&) = delete;
    SceneHost& operator=(const SceneHost&) = delete;

    const Scene& scene() const noexcept { return scene_; }
    // For repairs after the import (reversed polygons), never while the plug-in is adding to it.
    Scene& scene_for_repairs() noexcept { return scene_; }
    // The scene built so far, handed over; the host starts again with an empty scene and lets go
    // of the tables it kept for building (megabytes for a big scene), which writing does not need.
    Scene take_scene();
    const std::vector<PluginMessage>& messages() const noexcept { return messages_; }
    const std::vector<ErrorReport>& error_reports() const noexcept { return error_reports_; }
    // The host's own notices (textures not found, refused or unreadable), one per file.
    const std::vector<std::string>& warnings() const noexcept { return warnings_; }
    const ProgressState& progress() const noexcept { return progress_; }
    std::uint32_t attach_count() const noexcept { return attach_count_; }
    void set_observer(HostObserver observer) { observer_ = std::move(observer); }

    // IObject
    std::uint32_t AddRef() noexcept override;
    std::uint32_t Release() noexcept override;

    // IHostApplication
    tessavo::Status Attached() noexcept override;

    // IHostScene
    tessavo::Status GetHostLCID(std::int32_t& lcid) noexcept override;
    tessavo::Status ReportMessage(const std::string& text, std::int32_t& kind) noexcept override;
    tessavo::Status ReportError(std::int32_t number, const std::string& description,
                                const std::string& source) noexcept override;
    tessavo::Status ShowProgress(tessavo::VBool show) noexcept override;
    tessavo::Status SetProgressMax(std::int32_t count) noexcept override;
    tessavo::Status SetProgressValue(std::int32_t count) noexcept override;
    tessavo::Status LoadBitmap(const std::string& path, tessavo::VBool flag,
                               tessavo::Handle& bitmap) noexcept override;

    tessavo::Status CreateCamera(const std::string& name, tessavo::Handle& camera) noexcept override;
    tessavo::Status SetCameraPosition(tessavo::Handle camera, double x, double y, double z) noexcept override;
    tessavo::Status SetCameraAxes(tessavo::Handle camera, const std::array<double, 3>& axis1,
                                  const std::array<double, 3>& axis2,
                                  const std::array<double, 3>& axis3) noexcept override;
    tessavo::Status SetCameraFov(tessavo::Handle camera, double degrees) noexcept override;
    tessavo::Status SetCameraRange(tessavo::Handle camera, double distance) noexcept override;
    tessavo::Status SetCameraMode(tessavo::Handle camera, std::int32_t mode) noexcept override;

    tessavo::Status CreateLight(const std::string& name, const std::array<double, 3>& position,
                                tessavo::Handle& light) noexcept override;
    tessavo::Status SetLightColor(tessavo::Handle light,
                                  const std::array<std::uint8_t, 3>& rgb) noexcept override;
    tessavo::Status SetLightIntensity(tessavo::Handle light, double intensity) noexcept override;
    tessavo::Status SetLightIntensity2(tessavo::Handle light, double intensity) noexcept override;
    tessavo::Status SetLightRange(tessavo::Handle light, double distance) noexcept override;

    tessavo::Status CreateTrack(const std::string& name, tessavo::VBool cyclic,
                                const std::vector<double>& points, std::int32_t count,
                                tessavo::Handle& track) noexcept override;

    tessavo::Status AddCameraToWorld(tessavo::Handle camera) noexcept override;
    tessavo::Status AddLightToWorld(tessavo::Handle light) noexcept override;
    tessavo::Status AddTrackToWorld(tessavo::Handle track) noexcept override;

    tessavo::Status CreateGroup(const std::string& name, tessavo::Handle& group) noexcept override;
    tessavo::Status SetGroupParent(tessavo::Handle group, tessavo::Handle parent) noexcept override;
    tessavo::Status SetGroupMatrix(tessavo::Handle group,
                                   const std::array<double, 16>& matrix) noexcept override;
    tessavo::Status AddGroupToWorld(tessavo::Handle group, std::int32_t flag) noexcept override;

    tessavo::Status CreatePolygon(tessavo::Handle& polygon) noexcept override;
    tessavo::Status AddPolygonVertex(tessavo::Handle polygon, const std::array<double, 6>& data,
                                     tessavo::Handle& vertex) noexcept override;
    tessavo::Status SetVertexNormal(tessavo::Handle vertex,
                                    const std::array<double, 3>& normal) noexcept override;
    tessavo::Status SetPolygonVertexColor(tessavo::Handle vertex, tessavo::Handle polygon,
                                          const std::array<std::uint8_t, 3>& rgb) noexcept override;
    tessavo::Status SetPolygonVertexUV2(tessavo::Handle vertex, tessavo::Handle polygon,
                                        const std::array<double, 2>& uv) noexcept override;
    tessavo::Status SetPolygonColor(tessavo::Handle polygon, std::int32_t red, std::int32_t green,
                                    std::int32_t blue) noexcept override;
    tessavo::Status SetPolygonBitmap(tessavo::Handle polygon, tessavo::Handle bitmap) noexcept override;
    tessavo::Status SetPolygonBitmap2(tessavo::Handle polygon, tessavo::Handle bitmap) noexcept override;
    tessavo::Status ClosePolygon(tessavo::Handle polygon) noexcept override;
    tessavo::Status AddPolygonToGroup(tessavo::Handle polygon, tessavo::Handle group) noexcept override;

  private:
    SceneHost(HostOptions options, HostObserver observer);
    ~SceneHost() = default;

    void warn(std::string text);
    void notify_progress();
    std::uint32_t load_bitmap(const std::string& path);
    tessavo::Status set_bitmap(tessavo::Handle polygon, tessavo::Handle bitmap, bool second);
    tessavo::Status corner_of(tessavo::Handle vertex, tessavo::Handle polygon, CornerSlot*& slot);
    // Makes corner `added` the polygon's next one: it extends the polygon's run when it directly
    // follows it, which is the usual case (defined here to be inlined into the hot calls).
    void link_corner(Polygon& polygon, std::uint32_t added) {
        if (polygon.corner_count == 0) {
            polygon.first_corner = added;
        } else if (polygon.scattered != kNoIndex || polygon.first_corner + polygon.corner_count != added) {
            scatter_corner(polygon, added);
        }
        ++polygon.corner_count;
    }
    void scatter_corner(Polygon& polygon, std::uint32_t added);
    // Changes the values of a corner through `change(Corner&)`. The values of a shared polygon may
    // be other corners' too: the corner then gets the changed values as a value of its own
    // (copy on write), which is again one of the store's distinct values.
    template <class Change>
    void change_corner(CornerSlot& slot, std::uint8_t flag, Change&& change) {
        Polygon& polygon = scene_.polygons[slot.polygon];
        MappedArray<Corner>& values = scene_.corner_values[polygon.store];
        if (!polygon.shared) {
            change(values[slot.values]);
            values[slot.values].flags |= flag;
        } else {
            Corner changed = values[slot.values];
            change(changed);
            changed.flags |= flag;
            slot.values = add_distinct_value(polygon.store, changed);
        }
        polygon.corner_flags |= flag;
    }
    std::uint32_t add_distinct_value(std::uint32_t store, const Corner& value);
    std::uint32_t material_index(std::uint32_t from, const PolygonMaterial& material);
    void share_corner_values(Polygon& polygon);
    void move_corner_values(Polygon& polygon, std::uint32_t store);
    void fit_small_store(std::uint32_t store) noexcept;
    std::uint32_t store_of(std::uint32_t group);

    std::atomic<std::uint32_t> references_{1};
    HostOptions options_;
    HostObserver observer_;
    Scene scene_;
    std::vector<std::uint32_t> child_counts_;  // per group, to make most cycle checks O(1)
    // Per store of Scene::corner_values: its distinct values.
    std::vector<ValueTable> value_tables_{1};
    // The store where the values of a new polygon outside any group go: that of the group created
    // or given a polygon last, where its polygons usually end up.
    std::uint32_t likely_group_ = kNoIndex;  // the group new polygons most likely go to
    struct MaterialHash {
        std::size_t operator()(const PolygonMaterial& m) const noexcept {
            std::size_t h = m.has_color;
            for (const std::int64_t v :
                 {std::int64_t{m.color[0]}, std::int64_t{m.color[1]}, std::int64_t{m.color[2]},
                  std::int64_t{m.bitmap}, std::int64_t{m.bitmap2}})
                h = (h ^ static_cast<std::size_t>(v)) * 0x9E3779B97F4A7C15u;
            return h;
        }
    };
    std::unordered_map<PolygonMaterial, std::uint32_t, MaterialHash> material_by_value_{
        {PolygonMaterial{}, 0}};
    struct MaterialChange {
        std::uint32_t from = kNoIndex;
        PolygonMaterial to;
        std::uint32_t index = 0;
    };
    // The last changes made, newest first: the plug-in sets a polygon's colour and then its bitmaps,
    // the same for run after run of polygons.
    std::array<MaterialChange, 4> recent_material_changes_{};
    std::unordered_map<std::string, std::uint32_t> bitmap_by_file_;
    std::set<std::string> warned_paths_;
    std::vector<PluginMessage> messages_;
    std::vector<ErrorReport> error_reports_;
    std::vector<std::string> warnings_;
    ProgressState progress_;
    std::uint32_t attach_count_ = 0;
};

}  // namespace kzv::host
