// A camera: name, transformation (rows 0 to 2 the axes, row 3 the position), field of view in degrees,
// near and far range.
#pragma once

#include <string>
#include <string_view>

#include "scenefile/scene_reader.h"
#include "scenefile/trans_matrix.h"

namespace imp_kzv {

class p3dCamera {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dCamera";

    std::string name;
    float fov = 0;  // degrees; the file stores radians
    float nearRange = 0;
    float farRange = 0;

    TransMatrix Get_p3dTransMatrix() const noexcept { return p3dTransMatrix; }
    void Set_p3dTransMatrix(const TransMatrix& m) noexcept { p3dTransMatrix = m; }
    // File order: name, matrix, field of view (radians), near range, far range.
    void Read(SceneReader& file);

    // The field of view in degrees for one read in radians: radians * 180 / 3.14159265358979 in double,
    // rounded to single, so the single nearest pi/2 gives exactly 90. A finite result beyond the range
    // of a single (|radians| above about 5.9e36) comes back as an infinity of its sign, never through
    // an undefined conversion; Read raises overflow 6 for it.
    static float DegreesFromFileRadians(float radians) noexcept;

  private:
    TransMatrix p3dTransMatrix{};
};

}  // namespace imp_kzv
