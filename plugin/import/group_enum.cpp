// p3dGroupEnum: a group record and everything below it become host group nodes, mesh nodes and
// polygons, depth first and pre-order.
//
// The walk keeps its own stack instead of recursing, so a chain of 100,000 nested groups cannot
// overflow the native stack, and it refuses a group that is already on the current path, which
// would otherwise make the walk endless. An error at depth d still carries one "p3dGroupEnum" trace
// line per level, as a recursive walk would give it.
#include <vector>

#include "import/conversions.h"
#include "import/import_limits.h"
#include "shell/clsPlugin.h"
#include "shell/err_handler.h"

namespace imp_kzv {
namespace {

using import::element_at;
using import::record_at;

struct GroupFrame {
    const p3dGroup* group;
    std::int32_t index;  // position in the world's group list, -1 when the root is not in it
    tessavo::Handle node;
    std::size_t nextChild = 0;
};

std::int32_t index_of(const clsPlugin::GroupList& groups, const p3dGroup& group) {
    for (std::size_t i = 0; i < groups.size(); ++i)
        if (groups[i].get() == &group) return static_cast<std::int32_t>(i);
    return -1;
}

[[noreturn]] void raise_cycle(const p3dGroup& parent, std::int32_t childIndex, const p3dGroup& child) {
    raise(Err::GroupCycle,
          "group \"" + parent.name + "\" lists group " + std::to_string(childIndex) + " (\"" + child.name +
              "\"), which is already one of its ancestors",
          import::engine_source());
}

// Passes the error being handled on through `levels` visits of the walk, one trace line each. The
// lines after the first are appended in place: a chain of 100,000 groups must not copy its growing
// trace once per level.
[[noreturn]] void pass_on_through_levels(std::size_t levels) {
    constexpr std::string_view kModule = "clsPlugin", kProcedure = "p3dGroupEnum";
    ErrorValue error = CurrentError(import::engine_source());
    if (levels > 1) {
        error.source = BuildErrSource(error.source, kModule, kProcedure);
        const std::string line = "\r\n" + BuildErrSource("", kModule, kProcedure);
        error.source.reserve(error.source.size() + (levels - 2) * line.size());
        for (std::size_t i = 2; i < levels; ++i) error.source += line;
    }
    RaiseErrToCaller(error, kModule, kProcedure);
}

}  // namespace

void clsPlugin::CountWork(std::uint64_t units) {
    import_work_done_ += units;
    if (import_work_done_ > import::work_limit())
        raise(Err::OutOfMemory,
              "the group tree expands to more than " + std::to_string(import::work_limit()) +
                  " nodes and polygons",
              import::engine_source());
}

tessavo::Handle clsPlugin::OpenGroupNode(const p3dGroup& group, tessavo::Handle parent) {
    SceneCalls& host = Scene();
    CountWork(1);
    const tessavo::Handle node = host.CreateGroup(group.name);
    host.SetGroupParent(node, parent);
    for (const std::int32_t k : group.View_iMeshList()) ImportMeshInstance(k, node);
    return node;
}

void clsPlugin::ImportMeshInstance(std::int32_t meshIndex, tessavo::Handle groupNode) {
    SceneCalls& host = Scene();
    const p3dWorld& world = World();
    const p3dMesh& mesh = record_at(world.View_MeshList(), meshIndex, "mesh index");
    const meshGeom& geometry = record_at(world.View_MeshGeomList(), mesh.iMeshGeom, "geometry index");
    const MultiMaterial* multiMat =
        mesh.iMultiMat == -1 ? nullptr
                             : &record_at(world.View_MultiMatList(), mesh.iMultiMat, "multi-material index");

    const auto& triangles = geometry.View_TriList();
    CountWork(1 + triangles.size());
    const tessavo::Handle meshNode = host.CreateGroup(mesh.name);
    host.SetGroupParent(meshNode, groupNode);
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const p3dTri& tri = element_at(triangles, static_cast<std::int64_t>(i), "triangle");
        const tessavo::Handle polygon =
            CreateStatePolygon(tri, geometry.View_VertexList(), geometry.View_TexCoordsList(),
                               geometry.View_TexCoords2list(), geometry.View_ColorList(), multiMat);
        host.AddPolygonToGroup(polygon, meshNode);
    }
    host.SetGroupMatrix(meshNode, mesh.Get_p3dTransMatrix_16_dbl());
    if (import_progress_counter_ == std::numeric_limits<std::int32_t>::max())
        raise(Err::Overflow, "more mesh instance visits than the progress counter holds",
              import::engine_source());
    host.SetProgressValue(++import_progress_counter_);
}

tessavo::Handle clsPlugin::p3dGroupEnum(const p3dGroup& group, const tessavo::Handle& parentGroupHandle) {
    const GroupList& groups = World().View_GroupList();
    std::vector<GroupFrame> path;
    std::vector<bool> onPath(groups.size(), false);
    std::size_t levels = 1;  // visits that an error raised now passes through
    try {
        const std::int32_t rootIndex = index_of(groups, group);
        const tessavo::Handle rootNode = OpenGroupNode(group, parentGroupHandle);
        path.push_back({&group, rootIndex, rootNode});
        if (rootIndex >= 0) onPath[static_cast<std::size_t>(rootIndex)] = true;

        while (!path.empty()) {
            GroupFrame& top = path.back();
            levels = path.size();
            const auto& children = top.group->View_iChildGroupList();
            if (top.nextChild == children.size()) {
                if (top.index >= 0) onPath[static_cast<std::size_t>(top.index)] = false;
                path.pop_back();
                continue;
            }
            const std::int32_t c = children[top.nextChild++];
            const p3dGroup& child = record_at(groups, c, "child group index");
            if (onPath[static_cast<std::size_t>(c)]) raise_cycle(*top.group, c, child);
            levels = path.size() + 1;
            const tessavo::Handle node = OpenGroupNode(child, top.node);
            path.push_back({&child, c, node});
            onPath[static_cast<std::size_t>(c)] = true;
        }
        return rootNode;
    } catch (...) {
        pass_on_through_levels(levels);
    }
}

}  // namespace imp_kzv
