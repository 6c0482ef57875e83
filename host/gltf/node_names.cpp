#include "host/gltf/node_names.h"

#include <array>
#include <string_view>
#include <unordered_set>

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

class NameTable {
  public:
    // `wanted` if free, else `wanted + suffix`, else that with " #2", " #3", ...
    std::string claim(const std::string& wanted, std::string_view suffix) {
        if (taken_.insert(wanted).second) return wanted;
        std::string base = wanted;
        base += suffix;
        if (!suffix.empty() && taken_.insert(base).second) return base;
        for (std::size_t n = 2;; ++n) {
            std::string numbered = base + " #" + std::to_string(n);
            if (taken_.insert(numbered).second) return numbered;
        }
    }

  private:
    std::unordered_set<std::string> taken_;
};

}  // namespace

std::vector<std::string> unique_node_names(const std::vector<NamedNode>& nodes) {
    std::vector<std::string> names(nodes.size());
    NameTable table;
    // Mesh nodes claim their names first, then the other kinds in this order.
    constexpr std::array kOrder{NodeKind::mesh, NodeKind::group, NodeKind::camera, NodeKind::light,
                                NodeKind::track};
    for (const NodeKind kind : kOrder) {
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].kind == kind) names[i] = table.claim(nodes[i].name, kind_suffix(kind));
    }
    return names;
}

void make_node_names_unique(Document& document) {
    std::vector<NamedNode> nodes;
    nodes.reserve(document.nodes.size());
    for (const Node& node : document.nodes) {
        NodeKind kind = NodeKind::group;
        if (node.camera != kNone) {
            kind = NodeKind::camera;
        } else if (node.light != kNone) {
            kind = NodeKind::light;
        } else if (node.mesh != kNone) {
            const auto& primitives = document.meshes[static_cast<std::size_t>(node.mesh)].primitives;
            const bool triangles = !primitives.empty() && primitives.front().mode == PrimitiveMode::triangles;
            kind = triangles ? NodeKind::mesh : NodeKind::track;
        }
        nodes.push_back({node.name, kind});
    }
    std::vector<std::string> names = unique_node_names(nodes);
    for (std::size_t i = 0; i < names.size(); ++i) document.nodes[i].name = std::move(names[i]);
}

}  // namespace kzv::host::gltf
