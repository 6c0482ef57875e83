// The reference host's in-memory scene: plain data that SceneHost fills from the plug-in's calls
// and that the summary and the glTF writer read.
//
// Corners and polygons live in flat arrays (not one heap object each) that grow without copying
// (MappedArray), so that imports of millions of triangles stay fast and lean. Values that arrive as
// doubles widened from the scene file's floats are stored as floats; matrices, camera and light
// values stay doubles.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "host/scene/mapped_array.h"

namespace kzv::host {

inline constexpr std::uint32_t kNoIndex = std::numeric_limits<std::uint32_t>::max();

// Narrows a double to float without undefined behaviour: values beyond float's range become
// infinities (which the glTF writer then treats as non-finite), NaN stays NaN.
inline float to_float(double value) noexcept {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::fabs(value) <= kMax) [[likely]]
        return static_cast<float>(value);
    if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
    if (value > kMax) return std::numeric_limits<float>::infinity();
    if (value < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// Bits of Corner::flags: which optional values the plug-in set for the corner.
inline constexpr std::uint8_t kCornerHasNormal = 1;
inline constexpr std::uint8_t kCornerHasColor = 2;
inline constexpr std::uint8_t kCornerHasUv2 = 4;

// The values of a polygon corner: 44 bytes without padding, so that equal values are equal bytes.
struct Corner {
    std::array<float, 3> position{};
    std::array<float, 3> normal{};
    std::array<float, 2> uv{};
    std::array<float, 2> uv2{};
    std::array<std::uint8_t, 3> color{};
    std::uint8_t flags = 0;
};

// One corner as the plug-in created it (vertex handles number these): its values and its polygon.
//
// Millions of corners make up most of a big scene, and in a mesh most of them repeat another's
// values (a vertex shared by neighbouring triangles). So the values live apart, each mesh node's
// in a store of its own (Scene::corner_values), where the corners of its closed polygons share one
// record per distinct value (see SceneHost); a corner costs 8 bytes of its own.
struct CornerSlot {
    std::uint32_t values = kNoIndex;   // index into the values of its polygon's store
    std::uint32_t polygon = kNoIndex;  // index of the owning polygon
};

// A polygon's material as the plug-in set it: its colour and bitmaps. Polygons refer to one of the
// scene's distinct materials (Scene::materials), which most of them share.
struct PolygonMaterial {
    std::array<std::int32_t, 3> color{};  // 0..255 scale as sent, not clamped
    std::uint32_t bitmap = kNoIndex;      // index into Scene::bitmaps, or kNoIndex
    std::uint32_t bitmap2 = kNoIndex;     // second bitmap, used with the second UV set
    bool has_color = false;

    bool operator==(const PolygonMaterial&) const = default;
};

// A polygon's corners are normally one run in Scene::corners, first_corner onwards, since the
// plug-in adds them one polygon at a time. Polygons built in turns keep their own corners too: such
// a polygon lists its corner indices, in the order they were added, in Scene::scattered_corners.
// It takes 28 bytes (a million polygons are 28 MB).
struct Polygon {
    std::uint32_t first_corner = kNoIndex;
    std::uint32_t corner_count = 0;
    std::uint32_t scattered = kNoIndex;  // index into Scene::scattered_corners, or kNoIndex for a run
    std::uint32_t material = 0;          // index into Scene::materials
    std::uint32_t group = kNoIndex;      // index into Scene::groups, or kNoIndex
    std::uint32_t store = 0;             // index into Scene::corner_values (its group's once in one)
    std::uint8_t corner_flags = 0;       // Corner::flags of all its corners together
    bool closed = false;
    // Its corners' values are the store's distinct ones, which other corners may share; set once
    // it is closed and in a group.
    bool shared = false;
};
static_assert(sizeof(Polygon) == 28);

// A group node; it is a mesh node once it holds polygons or has a matrix. Most groups of a big
// scene have no matrix, so matrices live apart (Scene::matrices).
struct Group {
    std::string name;
    std::uint32_t parent = kNoIndex;  // index into Scene::groups, or kNoIndex for none
    std::uint32_t matrix = kNoIndex;  // index into Scene::matrices, or kNoIndex for none
    std::uint32_t store = kNoIndex;   // of Scene::corner_values, once it has had a polygon
    std::uint32_t polygon_count = 0;
    std::int32_t world_flag = 0;
    bool in_world = false;

    bool has_matrix() const noexcept { return matrix != kNoIndex; }
    bool is_mesh() const noexcept { return has_matrix() || polygon_count > 0; }
};

// A group's matrix: row vectors, translation in elements 12..14.
using GroupMatrix = std::array<double, 16>;

struct Camera {
    std::string name;
    std::array<double, 3> position{};
    // As sent: the camera matrix's row 2 (view direction), row 0 (right), row 1 (up).
    std::array<double, 3> direction{0, 0, 1};
    std::array<double, 3> right{1, 0, 0};
    std::array<double, 3> up{0, 1, 0};
    double fov_degrees = 45.0;
    double near_range = 1.0;
    std::int32_t mode = 1;
    bool in_world = false;
};

struct Light {
    std::string name;
    std::array<double, 3> position{};
    std::array<std::uint8_t, 3> color{255, 255, 255};
    double intensity = 1.0;
    double intensity2 = 1.0;
    double range = 0.0;  // 0: never set
    bool has_range = false;
    bool in_world = false;
};

struct Track {
    std::string name;
    bool cyclic = false;
    std::vector<double> points;  // x0, y0, z0, x1, ...
    bool in_world = false;

    std::size_t point_count() const noexcept { return points.size() / 3; }
};

// A loaded texture: PNG and JPEG keep their file bytes, other formats are re-encoded as PNG.
struct Bitmap {
    std::string requested_path;  // as the plug-in sent it
    std::filesystem::path file;  // the file it resolved to
    std::string name;            // file name, for glTF image names
    std::string mime_type;       // "image/png" or "image/jpeg"
    std::vector<std::uint8_t> bytes;
    int width = 0;
    int height = 0;
    bool reencoded = false;
};

struct Scene {
    std::vector<Group> groups;
    std::vector<GroupMatrix> matrices;  // those the groups set
    MappedArray<Polygon> polygons;
    MappedArray<CornerSlot> corners;
    // The corner values of each mesh node (Group::store), and in store 0 those of polygons in no
    // group. Polygons of a group refer to its store only.
    std::vector<MappedArray<Corner>> corner_values{1};
    std::vector<std::vector<std::uint32_t>> scattered_corners;
    // The distinct materials of the polygons; material 0 is that of a polygon without colour or
    // bitmaps.
    std::vector<PolygonMaterial> materials{1};
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::vector<Track> tracks;
    std::vector<Bitmap> bitmaps;
};

// The matrix of a group that has one (Group::has_matrix).
inline const GroupMatrix& matrix_of(const Scene& scene, const Group& group) {
    return scene.matrices[group.matrix];
}

// The store of the corner values of polygons in no group.
inline constexpr std::uint32_t kNoGroupStore = 0;

// The values of corner `index` (of Scene::corners).
inline const Corner& corner_at(const Scene& scene, std::uint32_t index) {
    const CornerSlot& slot = scene.corners[index];
    return scene.corner_values[scene.polygons[slot.polygon].store][slot.values];
}

// Calls `visit(slot)` with each corner of the polygon, in the order they were added.
template <class Visit>
void for_each_corner_slot(const Scene& scene, const Polygon& polygon, Visit&& visit) {
    if (polygon.scattered != kNoIndex) {
        for (const std::uint32_t index : scene.scattered_corners[polygon.scattered])
            visit(scene.corners[index]);
        return;
    }
    const CornerSlot* run = scene.corners.data() + polygon.first_corner;
    for (std::uint32_t n = 0; n < polygon.corner_count; ++n) visit(run[n]);
}

// Calls `visit(corner)` with the values of each corner of the polygon, in the order they were added.
template <class Visit>
void for_each_corner(const Scene& scene, const Polygon& polygon, Visit&& visit) {
    const MappedArray<Corner>& values = scene.corner_values[polygon.store];
    for_each_corner_slot(scene, polygon, [&](const CornerSlot& slot) { visit(values[slot.values]); });
}

}  // namespace kzv::host
