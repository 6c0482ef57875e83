// The editor's light intensity in glTF's photometric unit (candela).
//
// The editor lights a surface facing a light of intensity 1 with the full colour of its material,
// up to the light's range; a glTF point light falls off with the square of the distance. The
// mapping makes the two agree at a reference distance: the distance from the light to the centre of
// the lit geometry (so that a scene lit by its own lights looks as its author saw it there), at
// least a quarter of the geometry's diagonal and at most the light's range. A viewer at its default
// exposure shows a white surface lit at intensity I from distance d with
//   brightness = I / (pi * d^2)    (three.js; Blender's glTF importer in its "Unitless" mode)
// so the light gets pi * intensity * d^2 candela.
#pragma once

#include <array>
#include <optional>

#include "host/scene/world_bounds.h"

namespace kzv::host::gltf {

// The distance at which the light's glTF intensity matches the editor's brightness; 1 without
// geometry. range: the light's range when it has one (positive and finite).
double reference_distance(const std::array<double, 3>& light, const std::optional<Box>& geometry,
                          std::optional<double> range);

// Candela for the editor's intensity at `distance`.
double candela(double intensity, double distance);

}  // namespace kzv::host::gltf
