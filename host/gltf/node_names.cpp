#include "host/gltf/node_names.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

namespace kzv::host::gltf {
namespace {

std::string_view kind_suffix(NodeKind kind) {
    switch (kind) {
        case NodeKind::mesh:
            return "";
        case NodeKind::group:
            return " (group)";
        case NodeKind::camera:
            return " (camera)";
        case NodeKind::light:
            return " (light)";
        case NodeKind::track:
            return " (track)";
    }
    return "";
}

// The names taken so far: an open-addressing hash set of indices into `names_`, which views the
// nodes' own names and holds the made ones. A scene of a few hundred thousand nodes would
// otherwise spend more memory on this table than on its nodes.
class NameTable {
  public:
    explicit NameTable(std::size_t expected) {
        names_.reserve(expected);
        rehash(slots_for(expected));
    }

    // The name to give a node named `wanted`: empty if `wanted` itself is free (it is then taken,
    // and must stay alive and unchanged while the table is used), else `wanted + suffix`, else
    // that with " #2", " #3", ...
    std::optional<std::string> claim(std::string_view wanted, std::string_view suffix) {
        if (take(wanted)) return std::nullopt;
        std::string base(wanted);
        base += suffix;
        if (!suffix.empty() && !taken(base)) return made(std::move(base));
        for (std::size_t n = 2;; ++n) {
            std::string numbered = base + " #" + std::to_string(n);
            if (!taken(numbered)) return made(std::move(numbered));
        }
    }

  private:
    static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();

    static std::size_t slots_for(std::size_t names) {
        std::size_t slots = 16;
        while (slots < 2 * names) slots *= 2;
        return slots;
    }

    // The slot that holds `name`, or the empty slot where it would go.
    std::size_t find(std::string_view name) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = std::hash<std::string_view>{}(name)&mask;; at = (at + 1) & mask)
            if (slots_[at] == kEmpty || names_[slots_[at]] == name) return at;
    }

    bool taken(std::string_view name) const { return slots_[find(name)] != kEmpty; }

    // Takes `name` if it is free; false if it was taken.
    bool take(std::string_view name) {
        if (2 * (names_.size() + 1) > slots_.size()) rehash(2 * slots_.size());
        const std::size_t at = find(name);
        if (slots_[at] != kEmpty) return false;
        slots_[at] = static_cast<std::uint32_t>(names_.size());
        names_.push_back(name);
        return true;
    }

    std::string made(std::string name) {
        const std::string& kept = made_.emplace_back(std::move(name));
        take(kept);
        return kept;
    }

    void rehash(std::size_t slots) {
        slots_.assign(slots, kEmpty);
        for (std::uint32_t i = 0; i < names_.size(); ++i) slots_[find(names_[i])] = i;
    }

    std::vector<std::string_view> names_;
    std::deque<std::string> made_;  // names made here; a deque never moves them
    std::vector<std::uint32_t> slots_;
};

// The new name of each node that needs one (index, name), the nodes' names in `names`.
template <class NameOf>
std::vector<std::pair<std::size_t, std::string>> renames(std::size_t count, NameOf&& name_of,
                                                         const std::vector<NodeKind>& kinds) {
    std::vector<std::pair<std::size_t, std::string>> out;
    NameTable table(count);
    // Mesh nodes claim their names first, then the other kinds in this order.
    constexpr std::array kOrder{NodeKind::mesh, NodeKind::group, NodeKind::camera, NodeKind::light,
                                NodeKind::track};
    for (const NodeKind kind : kOrder) {
        for (std::size_t i = 0; i < count; ++i) {
            if (kinds[i] != kind) continue;
            if (std::optional<std::string> name = table.claim(name_of(i), kind_suffix(kind)))
                out.emplace_back(i, std::move(*name));
        }
    }
    return out;
}

NodeKind kind_of(const Document& document, const Node& node) {
    if (node.camera != kNone) return NodeKind::camera;
    if (node.light != kNone) return NodeKind::light;
    if (node.mesh == kNone) return NodeKind::group;
    const auto& primitives = document.meshes[static_cast<std::size_t>(node.mesh)].primitives;
    const bool triangles = !primitives.empty() && primitives.front().mode == PrimitiveMode::triangles;
    return triangles ? NodeKind::mesh : NodeKind::track;
}

}  // namespace

std::vector<std::string> unique_node_names(const std::vector<NamedNode>& nodes) {
    std::vector<NodeKind> kinds;
    for (const NamedNode& node : nodes) kinds.push_back(node.kind);
    std::vector<std::string> names;
    for (const NamedNode& node : nodes) names.push_back(node.name);
    for (auto& [index, name] : renames(
             nodes.size(), [&](std::size_t i) -> std::string_view { return nodes[i].name; }, kinds))
        names[index] = std::move(name);
    return names;
}

void make_node_names_unique(Document& document) {
    std::vector<NodeKind> kinds;
    kinds.reserve(document.nodes.size());
    for (const Node& node : document.nodes) kinds.push_back(kind_of(document, node));
    // The table views the nodes' names, so they change only once every name is known.
    auto changes = renames(
        document.nodes.size(), [&](std::size_t i) -> std::string_view { return document.nodes[i].name; },
        kinds);
    for (auto& [index, name] : changes) document.nodes[index].name = std::move(name);
}

}  // namespace kzv::host::gltf
