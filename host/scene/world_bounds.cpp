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

}  // namespace

std::optional<Box> world_bounds(const Scene& scene) {
    // Local boxes of the groups that hold polygons: one pass over the polygons, whatever their groups.
    std::vector<std::uint32_t> box_of(scene.groups.size(), kNoIndex);
    std::vector<BoxBuilder> local;
    for (const Polygon& polygon : scene.polygons) {
        if (polygon.group == kNoIndex) continue;
        std::uint32_t& box = box_of[polygon.group];
        if (box == kNoIndex) {
            box = static_cast<std::uint32_t>(local.size());
            local.emplace_back();
        }
        for_each_corner(scene, polygon, [&](const Corner& corner) {
            local[box].add({corner.position[0], corner.position[1], corner.position[2]});
        });
    }
    const GroupTree tree = build_group_tree(scene);

    // Depth first from the roots, each group's world matrix its own times its parent's; only the
    // matrices of the groups above the one visited are held (a scene may have millions of groups).
    // A group is in the world when it or a group above it was added.
    struct Visit {
        std::uint32_t group;
        std::uint32_t depth;
        bool in_world;
    };
    std::vector<Visit> stack;
    for (auto root = tree.roots.rbegin(); root != tree.roots.rend(); ++root)
        stack.push_back({*root, 0, scene.groups[*root].in_world});
    std::vector<Matrix> path;  // path[d]: the world matrix of the group visited at depth d
    BoxBuilder total;
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        const Group& group = scene.groups[visit.group];
        const Matrix own = group.has_matrix() ? matrix_of(scene, group) : kIdentity;
        path.resize(visit.depth + 1);
        path[visit.depth] = visit.depth == 0 ? own : multiply(own, path[visit.depth - 1]);
        const Matrix& world = path[visit.depth];
        for (std::uint32_t k = tree.first[visit.group + 1]; k > tree.first[visit.group]; --k)
            stack.push_back({tree.order[k - 1], visit.depth + 1,
                             visit.in_world || scene.groups[tree.order[k - 1]].in_world});

        const std::uint32_t at = box_of[visit.group];
        if (at == kNoIndex || !visit.in_world || !finite(world)) continue;
        const std::optional<Box>& box = local[at].box();
        if (!box) continue;
        for (int i = 0; i < 8; ++i) {
            total.add(
                apply(world, {(i & 1) ? box->high[0] : box->low[0], (i & 2) ? box->high[1] : box->low[1],
                              (i & 4) ? box->high[2] : box->low[2]}));
        }
    }
    return total.box();
}

}  // namespace kzv::host
