// Unique node names. Viewers such as Blender renumber objects whose names repeat ("Cube" becomes
// "Cube.001"), so that a mesh node inside a group of the same name would lose its name. Names are
// made unique in a way a user can map back: mesh nodes keep their names (the first of several with
// one name keeps it, the others get " #2", " #3", ...); the other nodes get a suffix naming their
// kind only when their name is taken (" (group)", " (camera)", " (light)", " (track)"), and a
// number after it if that is taken too.
#pragma once

#include <string>
#include <vector>

#include "host/gltf/document.h"

namespace kzv::host::gltf {

enum class NodeKind { mesh, group, camera, light, track };

struct NamedNode {
    std::string name;
    NodeKind kind = NodeKind::group;
};

// The unique name of each node, in the same order.
std::vector<std::string> unique_node_names(const std::vector<NamedNode>& nodes);

// Gives the nodes of `model` unique names; a node's kind follows from what it holds (a camera, a
// light, a mesh of triangles, a mesh of track lines, or nothing: a group).
void make_node_names_unique(Document& document);

}  // namespace kzv::host::gltf
