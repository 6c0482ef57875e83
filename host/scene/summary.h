// A text summary of a scene (counts, then the group tree and the world's other objects) for the
// command line's --summary.
#pragma once

#include <string>

#include "host/scene/scene.h"

namespace kzv::host {

struct SceneCounts {
    std::size_t group_nodes = 0;  // groups that are not mesh nodes
    std::size_t mesh_nodes = 0;
    std::size_t polygons = 0;
    std::size_t corners = 0;
    std::size_t cameras = 0;
    std::size_t lights = 0;
    std::size_t tracks = 0;
    std::size_t bitmaps = 0;
};

SceneCounts count_scene(const Scene& scene);

// Lines of "name: value" counts, then "tree:" with one indented line per group node; objects
// that were never added to the world, directly or through a parent, are marked so.
std::string describe_scene(const Scene& scene);

// For each group, whether it belongs to the world: added itself, or below a group that was.
std::vector<bool> groups_in_world(const Scene& scene);

// Children of every group, in creation order (flat: children of g are
// order[first[g] .. first[g + 1])). Roots are the groups without a parent.
struct GroupTree {
    std::vector<std::uint32_t> first;
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> roots;
};
GroupTree build_group_tree(const Scene& scene);

}  // namespace kzv::host
