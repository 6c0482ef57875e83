#include "host/scene/winding.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kzv::host {
namespace {

using Vec3 = std::array<double, 3>;

// Newell's term of the edge from a to b; the terms of all edges add up to the polygon's normal,
// (c1 - c0) x (c2 - c0) for a triangle, robustly for polygons of more than three corners.
void add_edge(Vec3& front, const Vec3& a, const Vec3& b) {
    front[0] += (a[1] - b[1]) * (a[2] + b[2]);
    front[1] += (a[2] - b[2]) * (a[0] + b[0]);
    front[2] += (a[0] - b[0]) * (a[1] + b[1]);
}

int sign(double dot) {
    return dot > 0 ? 1 : dot < 0 ? -1 : 0;  // NaN, from values that are not finite, gives 0
}

// The common case, most of a big scene: a triangle whose corners are one run.
int facing_of_triangle(const Scene& scene, const Polygon& polygon) {
    const Corner& a = corner_at(scene, polygon.first_corner);
    const Corner& b = corner_at(scene, polygon.first_corner + 1);
    const Corner& c = corner_at(scene, polygon.first_corner + 2);
    Vec3 u{}, v{}, normals{};
    for (int k = 0; k < 3; ++k) {
        u[k] = double{b.position[k]} - a.position[k];
        v[k] = double{c.position[k]} - a.position[k];
    }
    for (const Corner* corner : {&a, &b, &c})
        if (corner->flags & kCornerHasNormal)
            for (int k = 0; k < 3; ++k) normals[k] += corner->normal[k];
    const Vec3 front{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    return sign(front[0] * normals[0] + front[1] * normals[1] + front[2] * normals[2]);
}

// The polygon's front against the sum of its corner normals: +1 in front, -1 against, 0 when
// there is nothing to compare.
int facing(const Scene& scene, const Polygon& polygon) {
    if (!(polygon.corner_flags & kCornerHasNormal)) return 0;
    if (polygon.corner_count == 3 && polygon.scattered == kNoIndex) return facing_of_triangle(scene, polygon);
    Vec3 front{}, normals{}, first{}, previous{};
    bool started = false;
    for_each_corner(scene, polygon, [&](const Corner& corner) {
        const Vec3 point{corner.position[0], corner.position[1], corner.position[2]};
        if (started) {
            add_edge(front, previous, point);
        } else {
            first = point;
            started = true;
        }
        previous = point;
        if (corner.flags & kCornerHasNormal)
            for (int k = 0; k < 3; ++k) normals[k] += corner.normal[k];
    });
    add_edge(front, previous, first);
    return sign(front[0] * normals[0] + front[1] * normals[1] + front[2] * normals[2]);
}

void reverse_corners(Scene& scene, const Polygon& polygon) {
    if (polygon.scattered != kNoIndex) {
        auto& list = scene.scattered_corners[polygon.scattered];
        std::reverse(list.begin(), list.end());
        return;
    }
    for (std::uint32_t i = 0, j = polygon.corner_count; i + 1 < j; ++i, --j)
        std::swap(scene.corners[polygon.first_corner + i], scene.corners[polygon.first_corner + j - 1]);
}

// Visits each polygon with a mesh node, its facing counted into one MeshWinding per node.
template <class Visit>
std::vector<MeshWinding> count_facing(const Scene& scene, Visit&& visit) {
    std::vector<MeshWinding> per_group(scene.groups.size());
    for (std::uint32_t p = 0; p < scene.polygons.size(); ++p) {
        const Polygon& polygon = scene.polygons[p];
        if (polygon.group == kNoIndex || polygon.corner_count < 3) continue;
        const int side = facing(scene, polygon);
        if (side == 0) continue;
        MeshWinding& mesh = per_group[polygon.group];
        ++mesh.polygons;
        if (side < 0) {
            ++mesh.against;
            visit(p);
        }
    }
    std::vector<MeshWinding> out;
    for (std::uint32_t g = 0; g < per_group.size(); ++g) {
        if (per_group[g].against == 0) continue;
        per_group[g].group = g;
        out.push_back(per_group[g]);
    }
    return out;
}

std::string list_meshes(const Scene& scene, const std::vector<MeshWinding>& meshes) {
    constexpr std::size_t kNamed = 5;
    std::string text;
    for (std::size_t i = 0; i < meshes.size() && i < kNamed; ++i) {
        text += (i ? ", \"" : "\"") + scene.groups[meshes[i].group].name + "\" (" +
                std::to_string(meshes[i].against) + " of " + std::to_string(meshes[i].polygons) + ")";
    }
    if (meshes.size() > kNamed) text += " and " + std::to_string(meshes.size() - kNamed) + " more";
    return text;
}

}  // namespace

std::vector<MeshWinding> find_polygons_against_normals(const Scene& scene) {
    return count_facing(scene, [](std::uint32_t) {});
}

std::vector<MeshWinding> mostly_against(const std::vector<MeshWinding>& meshes) {
    std::vector<MeshWinding> out;
    std::copy_if(meshes.begin(), meshes.end(), std::back_inserter(out),
                 [](const MeshWinding& m) { return 2 * m.against > m.polygons; });
    return out;
}

std::vector<MeshWinding> flip_polygons_against_normals(Scene& scene) {
    std::vector<std::uint32_t> against;
    std::vector<MeshWinding> meshes = count_facing(scene, [&](std::uint32_t p) { against.push_back(p); });
    for (const std::uint32_t p : against) reverse_corners(scene, scene.polygons[p]);
    return meshes;
}

std::string inside_out_warning(const Scene& scene, const std::vector<MeshWinding>& meshes) {
    const std::vector<MeshWinding> inside_out = mostly_against(meshes);
    if (inside_out.empty()) return {};
    return "polygons face against their vertex normals (authored in the other winding convention?) in " +
           std::to_string(inside_out.size()) + " mesh node" + (inside_out.size() == 1 ? "" : "s") + ": " +
           list_meshes(scene, inside_out) +
           "; --flip-winding reverses their corner order, --double-sided shows both sides";
}

std::string flipped_notice(const Scene& scene, const std::vector<MeshWinding>& flipped) {
    if (flipped.empty()) return {};
    std::uint32_t total = 0;
    for (const MeshWinding& m : flipped) total += m.against;
    return "reversed the corner order of " + std::to_string(total) + " polygon" + (total == 1 ? "" : "s") +
           " that faced against their vertex normals, in " + list_meshes(scene, flipped);
}

}  // namespace kzv::host
