// The transformation matrix of cameras, mesh instances and groups: 4 rows by 3 columns of singles,
// indexed [row][column]. Rows 0 to 2 are the node's axes, row 3 its position; it is the upper part of a
// 4 x 4 affine matrix whose last column is (0, 0, 0, 1), applied to row vectors (x, y, z, 1).
#pragma once

#include <array>

namespace imp_kzv {

using TransMatrix = std::array<std::array<float, 3>, 4>;

}  // namespace imp_kzv
