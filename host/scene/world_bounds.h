// Where the scene's geometry lies in the world: the box around the polygons of the mesh nodes in
// the world, each moved by its node's matrix and those of the groups above it.
#pragma once

#include <array>
#include <optional>

#include "host/scene/scene.h"

namespace kzv::host {

struct Box {
    std::array<double, 3> low{};
    std::array<double, 3> high{};
};

// The box in world coordinates (the scene's own axes), or nothing when no polygon of the world has
// a finite position. Corners that are not finite, and nodes whose matrices are not, are left out.
std::optional<Box> world_bounds(const Scene& scene);

}  // namespace kzv::host
