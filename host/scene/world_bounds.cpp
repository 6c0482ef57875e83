#include "host/scene/world_bounds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "host/scene/summary.h"

namespace kzv::host {
namespace {

using Matrix = std::array<double, 16>;  // row vectors: p' = p * M, translation in 12..14

constexpr Matrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) m[4 * r + c] += a[4 * r + k] * b[4 * k + c];
    return m;
}

std::array<double, 3> apply(const Matrix& m, const std::array<double, 3>& p) {
    std::array<double, 3> out{};
    for (int c = 0; c < 3; ++c) out[c] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c];
    return out;
}

bool finite(const auto& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

class BoxBuilder {
  public:
    void add(const std::array<double, 3>& p) {
        if (!finite(p)) return;
        if (!box_) box_ = Box{p, p};
        for (int k = 0; k < 3; ++k) {
            box_->low[k] = std::min(box_->low[k], p[k]);
            box_->high[k] = std::max(box_->high[k], p[k]);
        }
    }
    const std::optional<Box>& box() const { return box_; }

  private:
    std::optional<Box> box_;
};

// Each group's matrix times those above it; parents come before children in no particular
// order, so each is worked out once, on demand.
std::vector<Matrix> world_matrices(const Scene& scene) {
    std::vector<Matrix> world(scene.groups.size());
    std::vector<char> done(scene.groups.size(), 0);
    for (std::uint32_t g = 0; g < scene.groups.size(); ++g) {
        std::vector<std::uint32_t>
            chain;  // g and its ancestors not yet worked out (no cycles: the host refuses them)
        for (std::uint32_t at = g; at != kNoIndex && !done[at]; at = scene.groups[at].parent)
            chain.push_back(at);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const Group& group = scene.groups[*it];
            const Matrix local = group.has_matrix() ? matrix_of(scene, group) : kIdentity;
            world[*it] = group.parent == kNoIndex ? local : multiply(local, world[group.parent]);
            done[*it] = 1;
        }
    }
    return world;
}

}  // namespace

std::optional<Box> world_bounds(const Scene& scene) {
    // Local boxes first: one pass over the polygons, whatever their groups.
    std::vector<BoxBuilder> local(scene.groups.size());
    for (const Polygon& polygon : scene.polygons) {
        if (polygon.group == kNoIndex) continue;
        for_each_corner(scene, polygon, [&](const Corner& corner) {
            local[polygon.group].add({corner.position[0], corner.position[1], corner.position[2]});
        });
    }
    const std::vector<bool> in_world = groups_in_world(scene);
    const std::vector<Matrix> world = world_matrices(scene);
    BoxBuilder total;
    for (std::uint32_t g = 0; g < scene.groups.size(); ++g) {
        const std::optional<Box>& box = local[g].box();
        if (!box || !in_world[g] || !finite(world[g])) continue;
        for (int i = 0; i < 8; ++i) {
            total.add(
                apply(world[g], {(i & 1) ? box->high[0] : box->low[0], (i & 2) ? box->high[1] : box->low[1],
                                 (i & 4) ? box->high[2] : box->low[2]}));
        }
    }
    return total.box();
}

}  // namespace kzv::host
