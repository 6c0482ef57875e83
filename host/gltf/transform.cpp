#include "host/gltf/transform.h"

#include <cmath>

namespace kzv::host::gltf {
namespace {

// Rows of a decomposed matrix may be this far from perpendicular (as cosines) and still count as
// a rotation: the scene file's single-precision matrices carry errors of about 1e-7.
constexpr double kOrthogonalityTolerance = 1e-5;

Vec3 row(const Mat4& m, int r) {
    return {m[4 * r], m[4 * r + 1], m[4 * r + 2]};
}

Vec3 scaled(const Vec3& v, double s) {
    return {v[0] * s, v[1] * s, v[2] * s};
}
Vec3 minus(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

bool finite(const Vec3& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// v as a unit vector, or nothing when it is zero or not finite.
std::optional<Vec3> unit(const Vec3& v) {
    if (!finite(v)) return std::nullopt;
    const double len = length(v);
    if (!(len > 1e-12) || !std::isfinite(len)) return std::nullopt;
    return scaled(v, 1.0 / len);
}

// `v` made perpendicular to the unit vector `axis` and unit, or nothing when parallel.
std::optional<Vec3> perpendicular_part(const Vec3& v, const Vec3& axis) {
    if (!finite(v)) return std::nullopt;
    const auto u = unit(v);
    if (!u || std::abs(dot(*u, axis)) > 1 - 1e-9) return std::nullopt;
    return unit(minus(*u, scaled(axis, dot(*u, axis))));
}

}  // namespace

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
double length(const Vec3& v) {
    return std::hypot(v[0], v[1], v[2]);
}

Mat4 identity_matrix() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

bool is_identity(const Mat4& m) {
    return m == identity_matrix();
}

bool all_finite(const Mat4& m) {
    for (double v : m)
        if (!std::isfinite(v)) return false;
    return true;
}

Mat4 multiply(const Mat4& a, const Mat4& b) {
    Mat4 out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[4 * r + k] * b[4 * k + c];
            out[4 * r + c] = sum;
        }
    return out;
}

Mat4 mirror_z(const Mat4& m) {
    Mat4 out = m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if ((r == 2) != (c == 2)) out[4 * r + c] = -out[4 * r + c];
    return out;
}

Vec3 transform_point(const Mat4& m, const Vec3& p) {
    Vec3 out{};
    for (int c = 0; c < 3; ++c) out[c] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c];
    return out;
}

double linear_determinant(const Mat4& m) {
    return dot(row(m, 0), cross(row(m, 1), row(m, 2)));
}

std::optional<std::array<double, 9>> normal_matrix(const Mat4& m) {
    const double det = linear_determinant(m);
    if (!std::isfinite(det) || std::abs(det) < 1e-300) return std::nullopt;
    // For row vectors, normals go through (A^-1)^T; its rows are the cofactor rows of A / det.
    const Vec3 a0 = row(m, 0), a1 = row(m, 1), a2 = row(m, 2);
    const Vec3 c0 = cross(a1, a2), c1 = cross(a2, a0), c2 = cross(a0, a1);
    const std::array<Vec3, 3> cofactor_rows{c0, c1, c2};
    std::array<double, 9> n{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) n[3 * r + c] = cofactor_rows[r][c] / det;
    return n;
}

Vec3 transform_normal(const std::array<double, 9>& n, const Vec3& v) {
    Vec3 out{};
    for (int c = 0; c < 3; ++c) out[c] = v[0] * n[c] + v[1] * n[3 + c] + v[2] * n[6 + c];
    return out;
}

Quat rotation_from_axes(const Vec3& x, const Vec3& y, const Vec3& z) {
    // m[i][j]: row i, column j of the column-vector rotation matrix with columns x, y, z.
    const double m00 = x[0], m10 = x[1], m20 = x[2];
    const double m01 = y[0], m11 = y[1], m21 = y[2];
    const double m02 = z[0], m12 = z[1], m22 = z[2];
    Quat q{};
    const double trace = m00 + m11 + m22;
    if (trace > 0) {
        const double s = 2 * std::sqrt(trace + 1);
        q = {(m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, s / 4};
    } else if (m00 > m11 && m00 > m22) {
        const double s = 2 * std::sqrt(1 + m00 - m11 - m22);
        q = {s / 4, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s};
    } else if (m11 > m22) {
        const double s = 2 * std::sqrt(1 + m11 - m00 - m22);
        q = {(m01 + m10) / s, s / 4, (m12 + m21) / s, (m02 - m20) / s};
    } else {
        const double s = 2 * std::sqrt(1 + m22 - m00 - m11);
        q = {(m02 + m20) / s, (m12 + m21) / s, s / 4, (m10 - m01) / s};
    }
    const double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& v : q) v /= len;
    if (q[3] < 0)
        for (double& v : q) v = -v;  // one of the two equal quaternions, for stable output
    return q;
}

std::optional<Trs> decompose(const Mat4& m) {
    if (!all_finite(m) || m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) return std::nullopt;
    std::array<Vec3, 3> axes{row(m, 0), row(m, 1), row(m, 2)};
    Trs trs;
    for (int i = 0; i < 3; ++i) {
        trs.scale[i] = length(axes[i]);
        if (!(trs.scale[i] > 0) || !std::isfinite(trs.scale[i])) return std::nullopt;
        axes[i] = scaled(axes[i], 1.0 / trs.scale[i]);
    }
    if (std::abs(dot(axes[0], axes[1])) > kOrthogonalityTolerance ||
        std::abs(dot(axes[0], axes[2])) > kOrthogonalityTolerance ||
        std::abs(dot(axes[1], axes[2])) > kOrthogonalityTolerance)
        return std::nullopt;
    // A mirroring matrix keeps a proper rotation and a negative x scale.
    if (dot(axes[0], cross(axes[1], axes[2])) < 0) {
        trs.scale[0] = -trs.scale[0];
        axes[0] = scaled(axes[0], -1);
    }
    trs.rotation = rotation_from_axes(axes[0], axes[1], axes[2]);
    trs.translation = {m[12], m[13], m[14]};
    return trs;
}

CameraAxes camera_axes(const Vec3& direction, const Vec3& right, const Vec3& up) {
    CameraAxes out;
    auto dir = unit(direction);
    if (!dir) {
        out.repaired = true;
        dir = unit(cross(right, up));  // left-handed: right x up points where the camera looks
        if (!dir) dir = Vec3{0, 0, 1};
    }
    auto perpendicular_up = perpendicular_part(up, *dir);
    if (!perpendicular_up) {
        out.repaired = true;
        perpendicular_up = unit(cross(*dir, right));  // left-handed: direction x right is up
        if (!perpendicular_up) perpendicular_up = perpendicular_part(Vec3{0, 1, 0}, *dir);
        if (!perpendicular_up) perpendicular_up = perpendicular_part(Vec3{0, 0, 1}, *dir);
    }
    out.direction = *dir;
    out.up = *perpendicular_up;
    return out;
}

Quat camera_rotation(const Vec3& direction, const Vec3& up) {
    const Vec3 z = scaled(direction, -1);
    const Vec3 x = cross(up, z);
    return rotation_from_axes(x, up, z);
}

}  // namespace kzv::host::gltf
