// 4x4 matrix helpers for the glTF writer.
//
// The plug-in sends row-vector matrices row by row, translation in elements 12..14 (p' = p * M).
// glTF stores column-vector matrices column by column; the column-vector form of M is its
// transpose, whose columns are M's rows, so both layouts hold the same 16 numbers in the same
// order and Mat4 serves as either.
#pragma once

#include <array>
#include <optional>

namespace kzv::host::gltf {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>;  // x, y, z, w as glTF writes them
using Mat4 = std::array<double, 16>;

Mat4 identity_matrix();
bool is_identity(const Mat4& m);
bool all_finite(const Mat4& m);

// a then b, for row vectors: p * (a * b) == (p * a) * b.
Mat4 multiply(const Mat4& a, const Mat4& b);

// S * M * S with S = diag(1, 1, -1, 1): the same transformation seen in a world whose z axis is
// mirrored, which turns a left-handed matrix into a right-handed one and back.
Mat4 mirror_z(const Mat4& m);

Vec3 transform_point(const Mat4& m, const Vec3& p);
double linear_determinant(const Mat4& m);  // of the upper-left 3x3

// The matrix that carries normals along with `m` (inverse transpose of its linear part, as a
// row-vector 3x3 in the first 9 elements), or nothing when `m` is singular.
std::optional<std::array<double, 9>> normal_matrix(const Mat4& m);
Vec3 transform_normal(const std::array<double, 9>& n, const Vec3& v);

struct Trs {
    Vec3 translation{};
    Quat rotation{0, 0, 0, 1};
    Vec3 scale{1, 1, 1};
};

// Splits m into translation * rotation * scale as glTF nodes hold them, or answers nothing when
// m has shear, a zero scale, a projective part or non-finite elements.
std::optional<Trs> decompose(const Mat4& m);

// Unit quaternion of the rotation whose column-vector matrix has the columns x, y, z.
Quat rotation_from_axes(const Vec3& x, const Vec3& y, const Vec3& z);

// The rotation of a glTF camera (looking along its local -Z, +Y up) that looks along `direction`
// with `up` as close to its +Y as the direction allows; the vectors must be unit and
// perpendicular (see camera_axes).
Quat camera_rotation(const Vec3& direction, const Vec3& up);

// Makes a camera's axes, as the editor sends them (left-handed: direction = right x up), into a
// unit direction and a unit up perpendicular to it. Zero, parallel or non-finite axes are
// replaced from the others, or by the editor's defaults; `repaired` tells whether that happened.
struct CameraAxes {
    Vec3 direction;
    Vec3 up;
    bool repaired = false;
};
CameraAxes camera_axes(const Vec3& direction, const Vec3& right, const Vec3& up);

Vec3 cross(const Vec3& a, const Vec3& b);
double dot(const Vec3& a, const Vec3& b);
double length(const Vec3& v);

}  // namespace kzv::host::gltf
