// The transformation matrix of cameras, mesh instances and groups: 4 rows by 3 columns of singles,
// indexed [row][column]. Rows 0 to 2 are the node's axes, row 3 its position; it is the upper part of a
// 4 x 4 affine matrix whose last column is (0, 0, 0, 1), applied to row vectors (x, y, z, 1).
#pragma once

#include <array>
#include <cstddef>

namespace imp_kzv {

using TransMatrix = std::array<std::array<float, 3>, 4>;

// A two-dimensional array of doubles with bounds (0 to 3, 0 to 3), laid out as the automation arrays
// of the host platform are: the first index varies fastest, so element (i, j) sits at elements[i + 4 j]
// and the memory order is that of a row-by-row 16-element matrix transposed.
struct DoubleArray4x4 {
    std::array<double, 16> elements{};

    double& operator()(std::size_t i, std::size_t j) noexcept { return elements[i + 4 * j]; }
    double operator()(std::size_t i, std::size_t j) const noexcept { return elements[i + 4 * j]; }
    bool operator==(const DoubleArray4x4&) const = default;
};

}  // namespace imp_kzv
