// Repairs that the glTF writer makes to values glTF forbids, counted per kind so that the user
// gets one warning per kind instead of one per corner.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kzv::host::gltf {

enum class Repair {
    zero_normal,
    non_unit_normal,
    non_finite_uv,
    non_finite_position,
    short_polygon,
    color_above_255,
    color_below_0,
    non_finite_matrix,
    projective_matrix,
    baked_matrix,
    camera_left_out,
    camera_axes,
    camera_fov,
    camera_near,
    light_left_out,
    light_negative_intensity,
    light_non_finite_intensity,
    light_range,
    track_points,
    track_left_out,
    count_  // number of kinds
};

constexpr std::string_view describe(Repair repair) {
    switch (repair) {
        case Repair::zero_normal:
            return "zero or missing normals replaced by the polygon's face normal";
        case Repair::non_unit_normal:
            return "normals not of unit length normalised";
        case Repair::non_finite_uv:
            return "NaN or infinite texture coordinates set to 0";
        case Repair::non_finite_position:
            return "polygons with NaN or infinite positions left out";
        case Repair::short_polygon:
            return "polygons with fewer than 3 corners left out";
        case Repair::color_above_255:
            return "polygon colour components above 255 clamped to 255";
        case Repair::color_below_0:
            return "negative polygon colour components raised to 0";
        case Repair::non_finite_matrix:
            return "matrices with NaN or infinite elements replaced by the identity";
        case Repair::projective_matrix:
            return "projective matrix columns replaced by (0, 0, 0, 1)";
        case Repair::baked_matrix:
            return "matrices that are not translation, rotation and scale applied to the vertices";
        case Repair::camera_left_out:
            return "cameras with NaN or infinite positions left out";
        case Repair::camera_axes:
            return "zero, parallel or non-finite camera axes replaced";
        case Repair::camera_fov:
            return "camera fields of view that are not between 0 and 180 degrees set to 45 degrees";
        case Repair::camera_near:
            return "camera near ranges that are not positive finite numbers set to 0.1";
        case Repair::light_left_out:
            return "lights with NaN or infinite positions left out";
        case Repair::light_negative_intensity:
            return "negative light intensities raised to 0";
        case Repair::light_non_finite_intensity:
            return "NaN or infinite light intensities set to 1";
        case Repair::light_range:
            return "light ranges of 0 or less, or NaN, left out (unlimited range)";
        case Repair::track_points:
            return "track points with NaN or infinite coordinates left out";
        case Repair::track_left_out:
            return "tracks without finite points left out";
        case Repair::count_:
            break;
    }
    return "values repaired";
}

class RepairLog {
  public:
    void note(Repair repair, std::size_t times = 1) { counts_[static_cast<std::size_t>(repair)] += times; }
    std::size_t count(Repair repair) const { return counts_[static_cast<std::size_t>(repair)]; }

    // One line per kind that occurred: "<what was repaired> (<how often>)".
    std::vector<std::string> warnings() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < counts_.size(); ++i)
            if (counts_[i] > 0)
                out.push_back(std::string(describe(static_cast<Repair>(i))) + " (" +
                              std::to_string(counts_[i]) + ")");
        return out;
    }

  private:
    std::array<std::size_t, static_cast<std::size_t>(Repair::count_)> counts_{};
};

}  // namespace kzv::host::gltf
