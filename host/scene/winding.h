// Which way the polygons of the scene face. The host receives corners in the editor's convention:
// seen from the front, they run clockwise in the editor's left-handed world, which makes
// (c1 - c0) x (c2 - c0) point to the front when computed as usual. A polygon faces against its
// vertex normals when that front points away from the sum of its corners' normals: the sign of a
// scene authored in the other convention, or with normals that point inwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/scene/scene.h"

namespace kzv::host {

struct MeshWinding {
    std::uint32_t group = kNoIndex;  // the mesh node
    std::uint32_t polygons = 0;      // polygons with a front and normals to compare it with
    std::uint32_t against = 0;       // of those, polygons that face against their normals
};

// Every mesh node with polygons that face against their normals, in group order.
std::vector<MeshWinding> find_polygons_against_normals(const Scene& scene);

// Mesh nodes where most of the compared polygons face against their normals.
std::vector<MeshWinding> mostly_against(const std::vector<MeshWinding>& meshes);

// Reverses the corner order of every polygon that faces against its normals; answers how many
// there were per mesh node (as find_polygons_against_normals before the change).
std::vector<MeshWinding> flip_polygons_against_normals(Scene& scene);

// The warning for mesh nodes that mostly face against their normals, naming them (the first few)
// with their counts; empty when there are none.
std::string inside_out_warning(const Scene& scene, const std::vector<MeshWinding>& meshes);

// The notice of the polygons that were turned around; empty when none were.
std::string flipped_notice(const Scene& scene, const std::vector<MeshWinding>& flipped);

}  // namespace kzv::host
