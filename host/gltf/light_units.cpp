#include "host/gltf/light_units.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace kzv::host::gltf {

double reference_distance(const std::array<double, 3>& light, const std::optional<Box>& geometry,
                          std::optional<double> range) {
    if (!geometry) return 1.0;
    double to_centre = 0, diagonal = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const double centre = (geometry->low[k] + geometry->high[k]) / 2;
        to_centre += (light[k] - centre) * (light[k] - centre);
        diagonal += (geometry->high[k] - geometry->low[k]) * (geometry->high[k] - geometry->low[k]);
    }
    // A light amid its geometry lights it from about a quarter diagonal away.
    double distance = std::max(std::sqrt(to_centre), std::sqrt(diagonal) / 4);
    if (range) distance = std::min(distance, *range);
    return std::isfinite(distance) && distance > 0 ? distance : 1.0;
}

double candela(double intensity, double distance) {
    // Viewers read the intensity as a single-precision number: stay within its range.
    constexpr double kLargest = std::numeric_limits<float>::max();
    const double value = std::numbers::pi * intensity * distance * distance;
    return std::isfinite(value) ? std::min(value, kLargest) : kLargest;
}

}  // namespace kzv::host::gltf
