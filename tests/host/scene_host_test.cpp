#include "host/scene/scene_host.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "host/scene/host_error.h"
#include "host/scene/summary.h"
#include "scene_driver.h"

namespace kzv::host {
namespace {

using tessavo::Handle;
using tessavo::Status;
using namespace kzv::host::testing;

struct Fixture {
    tessavo::Ref<SceneHost> host = SceneHost::create();
    Handle group = add_group(*host, "G", 0);
    Handle polygon = 0;
    Handle vertex = 0;
    Handle camera = 0;
    Fixture() {
        check(host->CreatePolygon(polygon), "CreatePolygon");
        check(host->AddPolygonVertex(polygon, {0, 0, 0, 0, 0, 100}, vertex), "AddPolygonVertex");
        check(host->CreateCamera("C", camera), "CreateCamera");
    }
};

struct BadCall {
    const char* name;
    std::function<Status(Fixture&)> call;
    HostError expected;
};

// Every failure names the host as its source and carries the table's number; a handle of the
// wrong kind is as unknown as a made-up one.
TEST(SceneHost, RefusesBadHandlesAndArguments) {
    const std::vector<BadCall> calls{
        {"polygon handle as group", [](Fixture& f) { return f.host->SetGroupMatrix(f.polygon, {}); },
         HostError::unknown_handle},
        {"made-up camera", [](Fixture& f) { return f.host->SetCameraFov(f.camera + 1, 45); },
         HostError::unknown_handle},
        {"handle 0 as polygon", [](Fixture& f) { return f.host->ClosePolygon(0); },
         HostError::unknown_handle},
        {"negative handle", [](Fixture& f) { return f.host->AddLightToWorld(-5); },
         HostError::unknown_handle},
        {"unknown parent", [](Fixture& f) { return f.host->SetGroupParent(f.group, f.group + 7); },
         HostError::unknown_handle},
        {"unknown bitmap", [](Fixture& f) { return f.host->SetPolygonBitmap(f.polygon, f.camera); },
         HostError::unknown_handle},
        {"group as its own parent", [](Fixture& f) { return f.host->SetGroupParent(f.group, f.group); },
         HostError::parent_cycle},
        {"vertex of another polygon",
         [](Fixture& f) {
             Handle other = 0;
             check(f.host->CreatePolygon(other), "CreatePolygon");
             return f.host->SetPolygonVertexColor(f.vertex, other, {1, 2, 3});
         },
         HostError::invalid_argument},
        {"vertex after close",
         [](Fixture& f) {
             check(f.host->ClosePolygon(f.polygon), "ClosePolygon");
             Handle v = 0;
             return f.host->AddPolygonVertex(f.polygon, {}, v);
         },
         HostError::polygon_closed},
        {"track shorter than its count",
         [](Fixture& f) {
             Handle t = 0;
             return f.host->CreateTrack("T", tessavo::kFalse, {0, 0, 0, 1, 1}, 2, t);
         },
         HostError::invalid_argument},
        {"negative track count",
         [](Fixture& f) {
             Handle t = 0;
             return f.host->CreateTrack("T", tessavo::kFalse, {}, -1, t);
         },
         HostError::invalid_argument},
    };
    for (const BadCall& bad : calls) {
        Fixture fixture;
        const Status status = bad.call(fixture);
        EXPECT_EQ(status.number, static_cast<std::int32_t>(bad.expected))
            << bad.name << ": " << status.description;
        EXPECT_EQ(status.source, kHostSource) << bad.name;
        EXPECT_FALSE(status.description.empty()) << bad.name;
    }
}

TEST(SceneHost, RefusesParentCyclesAndKeepsTheTree) {
    auto host = SceneHost::create();
    const Handle a = add_group(*host, "A", 0);
    const Handle b = add_group(*host, "B", a);
    const Handle c = add_group(*host, "C", b);
    EXPECT_EQ(host->SetGroupParent(a, c).number, static_cast<std::int32_t>(HostError::parent_cycle));
    EXPECT_EQ(host->scene().groups[0].parent, kNoIndex);
    // Moving a subtree elsewhere is fine, and the old parent may then go under it.
    const Handle d = add_group(*host, "D", 0);
    check(host->SetGroupParent(b, d), "SetGroupParent");
    check(host->SetGroupParent(a, c), "SetGroupParent");
    EXPECT_EQ(host->scene().groups[0].parent, 2u);
}

// Polygons built in turns keep their own corners, in the order they were added.
TEST(SceneHost, InterleavedPolygonsKeepTheirCorners) {
    auto host = SceneHost::create();
    Handle p = 0, q = 0, v = 0;
    check(host->CreatePolygon(p), "CreatePolygon");
    check(host->CreatePolygon(q), "CreatePolygon");
    for (double x : {1.0, 2.0, 3.0}) {
        check(host->AddPolygonVertex(p, {x, 0, 0, 0, 0, 100}, v), "AddPolygonVertex");
        check(host->AddPolygonVertex(q, {-x, 0, 0, 0, 0, 100}, v), "AddPolygonVertex");
    }
    std::vector<float> xs;
    for_each_corner(host->scene(), host->scene().polygons[1],
                    [&](const Corner& c) { xs.push_back(c.position[0]); });
    EXPECT_EQ(xs, (std::vector<float>{-1, -2, -3}));
}

// Corners with equal values share them once their polygon is closed; a later change to one corner
// changes that corner only.
TEST(SceneHost, SharedCornerValuesChangeOnlyWhereAsked) {
    auto host = SceneHost::create();
    const Handle group = add_group(*host, "G", 0);
    for (int copy = 0; copy < 3; ++copy) add_triangle(*host, group, facing_triangle());
    const Scene& scene = host->scene();
    EXPECT_EQ(scene.corners.size(), 9u);
    EXPECT_EQ(scene.corner_values[scene.groups[0].store].size(), 3u);

    auto vertex = [](std::size_t n) { return make_handle(ObjectKind::vertex, n); };
    const Handle second = make_handle(ObjectKind::polygon, 1);
    check(host->SetVertexNormal(vertex(3), {1, 0, 0}), "SetVertexNormal");
    check(host->SetPolygonVertexColor(vertex(4), second, {9, 8, 7}), "SetPolygonVertexColor");
    check(host->SetPolygonVertexUV2(vertex(5), second, {0.5, 0.25}), "SetPolygonVertexUV2");

    auto corners_of = [&](std::size_t polygon) {
        std::vector<Corner> out;
        for_each_corner(scene, scene.polygons[polygon], [&](const Corner& c) { out.push_back(c); });
        return out;
    };
    for (std::size_t untouched : {0u, 2u})
        for (const Corner& c : corners_of(untouched)) {
            EXPECT_EQ(c.normal, (std::array<float, 3>{0, 0, -1}));
            EXPECT_EQ(c.flags, kCornerHasNormal);
        }
    const std::vector<Corner> changed = corners_of(1);
    EXPECT_EQ(changed[0].normal, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(changed[1].color, (std::array<std::uint8_t, 3>{9, 8, 7}));
    EXPECT_EQ(changed[1].flags, kCornerHasNormal | kCornerHasColor);
    EXPECT_EQ(changed[2].uv2, (std::array<float, 2>{0.5f, 0.25f}));
    EXPECT_EQ(changed[0].position, corners_of(0)[0].position);
}

// Values that compare equal as numbers but differ in their bits (0 and -0) are not shared: the
// file keeps them as they came.
TEST(SceneHost, CornersOfDifferentBitsStayApart) {
    auto host = SceneHost::create();
    const Handle group = add_group(*host, "G", 0);
    TriangleSpec t = facing_triangle();
    add_triangle(*host, group, t);
    for (CornerSpec& c : t.corners) c.position[2] = -0.0;
    add_triangle(*host, group, t);
    EXPECT_EQ(host->scene().corner_values[host->scene().groups[0].store].size(), 6u);
}

std::size_t distinct_values(const Scene& scene, std::uint32_t group) {
    return scene.corner_values[scene.groups[group].store].size();
}

// The values the group's polygons use, each checked to differ from the others.
std::size_t used_values(const Scene& scene, std::uint32_t group) {
    std::set<std::uint32_t> used;
    for (const Polygon& polygon : scene.polygons)
        if (polygon.group == group)
            for_each_corner_slot(scene, polygon, [&](const CornerSlot& slot) { used.insert(slot.values); });
    const MappedArray<Corner>& values = scene.corner_values[scene.groups[group].store];
    std::set<std::string> bytes;
    for (const std::uint32_t value : used)
        bytes.insert(std::string(reinterpret_cast<const char*>(&values[value]), sizeof(Corner)));
    EXPECT_EQ(bytes.size(), used.size()) << "equal values not shared in group " << group;
    return used.size();
}

// Equal values are shared however far apart their corners are; a change that makes a corner equal
// to another value shares that value too.
TEST(SceneHost, EveryRepeatInAMeshNodeIsShared) {
    auto host = SceneHost::create();
    const Handle group = add_group(*host, "G", 0);
    constexpr int kTriangles = 20000;
    for (int i = 0; i < kTriangles; ++i) add_triangle(*host, group, facing_triangle(3.0 * i));
    for (int i = 0; i < kTriangles; i += 1000) add_triangle(*host, group, facing_triangle(3.0 * i));
    EXPECT_EQ(distinct_values(host->scene(), 0), 3u * kTriangles);

    const Handle last = make_handle(ObjectKind::vertex, host->scene().corners.size() - 1);
    check(host->SetVertexNormal(last, {1, 0, 0}), "SetVertexNormal");
    EXPECT_EQ(distinct_values(host->scene(), 0), 3u * kTriangles + 1);
    check(host->SetVertexNormal(last, {0, 0, -1}), "SetVertexNormal");  // back to the shared value
    const Scene& scene = host->scene();
    const CornerSlot& slot = scene.corners[scene.corners.size() - 1];
    EXPECT_EQ(slot.values, scene.corners[scene.polygons[19000].first_corner + 2].values);
}

// Polygons placed in their group after closing, before a group exists, built in turns, moved to
// another group, or never closed: each group's store holds exactly the values of its polygons.
TEST(SceneHost, PolygonsInAnyOrderEndInTheirGroupsStore) {
    auto host = SceneHost::create();
    auto corner = [](double x) { return std::array<double, 6>{x, 0, 0, 0, 0, 100}; };
    Handle early = 0, v = 0;
    check(host->CreatePolygon(early), "CreatePolygon");  // before any group
    for (double x : {1.0, 2.0, 3.0}) check(host->AddPolygonVertex(early, corner(x), v), "AddPolygonVertex");
    check(host->ClosePolygon(early), "ClosePolygon");
    const Handle a = add_group(*host, "A", 0);
    const Handle b = add_group(*host, "B", 0);  // the likely group of new polygons
    check(host->AddPolygonToGroup(early, a), "AddPolygonToGroup");

    Handle p = 0, q = 0;  // built in turns, placed before they are closed
    check(host->CreatePolygon(p), "CreatePolygon");
    check(host->CreatePolygon(q), "CreatePolygon");
    check(host->AddPolygonToGroup(q, a), "AddPolygonToGroup");
    for (double x : {1.0, 2.0, 4.0}) {
        check(host->AddPolygonVertex(p, corner(x), v), "AddPolygonVertex");
        check(host->AddPolygonVertex(q, corner(x), v), "AddPolygonVertex");
    }
    check(host->ClosePolygon(p), "ClosePolygon");
    check(host->ClosePolygon(q), "ClosePolygon");
    check(host->AddPolygonToGroup(p, b), "AddPolygonToGroup");
    const Scene& scene = host->scene();
    EXPECT_EQ(used_values(scene, 0), 4u);  // 1, 2, 3 and 4
    EXPECT_EQ(used_values(scene, 1), 3u);
    EXPECT_EQ(scene.corner_values[0].size(), 0u);  // given back

    check(host->AddPolygonToGroup(p, a), "AddPolygonToGroup");  // moved: its values exist in A
    EXPECT_EQ(used_values(scene, 0), 4u);
    EXPECT_EQ(scene.groups[1].polygon_count, 0u);
    std::vector<float> xs;
    for_each_corner(scene, scene.polygons[1], [&](const Corner& c) { xs.push_back(c.position[0]); });
    EXPECT_EQ(xs, (std::vector<float>{1, 2, 4}));

    Handle open = 0;  // never closed: keeps values of its own
    check(host->CreatePolygon(open), "CreatePolygon");
    check(host->AddPolygonToGroup(open, a), "AddPolygonToGroup");
    check(host->AddPolygonVertex(open, corner(1), v), "AddPolygonVertex");
    check(host->SetVertexNormal(v, {0, 1, 0}), "SetVertexNormal");
    EXPECT_EQ(used_values(scene, 0), 5u);
    EXPECT_EQ(corner_at(scene, scene.corners.size() - 1).normal, (std::array<float, 3>{0, 1, 0}));
}

TEST(SceneHost, KeepsMessagesReportsAndProgressAndForwardsThem) {
    std::vector<std::string> seen;
    HostObserver observer;
    observer.on_message = [&](const PluginMessage& m) { seen.push_back("message " + m.text); };
    observer.on_error = [&](const ErrorReport& e) { seen.push_back("error " + std::to_string(e.number)); };
    observer.on_progress = [&](const ProgressState& p) {
        seen.push_back("progress " + std::to_string(p.visible) + " " + std::to_string(p.value) + "/" +
                       std::to_string(p.maximum));
        throw std::runtime_error("a broken display must not fail the import");
    };
    auto host = SceneHost::create({.lcid = 1031}, observer);
    std::int32_t lcid = 0, kind = tessavo::kMessageNotice;
    check(host->GetHostLCID(lcid), "GetHostLCID");
    check(host->ShowProgress(tessavo::kTrue), "ShowProgress");
    check(host->SetProgressMax(4), "SetProgressMax");
    check(host->SetProgressValue(1), "SetProgressValue");
    check(host->ReportMessage("Imported Cameras", kind), "ReportMessage");
    check(host->ReportError(9, "Subscript out of range", "Imp_KZV.clsPlugin.DoImport"), "ReportError");
    EXPECT_EQ(lcid, 1031);
    EXPECT_EQ(seen, (std::vector<std::string>{"progress 1 0/0", "progress 1 0/4", "progress 1 1/4",
                                              "message Imported Cameras", "error 9"}));
    ASSERT_EQ(host->error_reports().size(), 1u);
    EXPECT_EQ(host->error_reports()[0].source, "Imp_KZV.clsPlugin.DoImport");
    EXPECT_EQ(host->messages().at(0).kind, tessavo::kMessageNotice);
}

TEST(SceneHost, CountsReferences) {
    SceneHost* raw = nullptr;
    {
        auto host = SceneHost::create();
        raw = host.get();
        EXPECT_EQ(raw->AddRef(), 2u);
        EXPECT_EQ(raw->Release(), 1u);
    }
    // The last Release deleted the host; the sanitizer build checks that nothing leaked.
    (void)raw;
}

TEST(SceneSummary, ListsCountsAndTheTree) {
    auto host = SceneHost::create();
    const Handle root = add_group(*host, "Root", 0);
    const Handle mesh = add_group(*host, "Box", root);
    add_triangle(*host, mesh, facing_triangle());
    add_group(*host, "Loose", 0);
    Handle track = 0;
    check(host->CreateTrack("Path", tessavo::kTrue, {0, 0, 0, 1, 1, 1}, 2, track), "CreateTrack");
    check(host->AddGroupToWorld(root, 0), "AddGroupToWorld");
    EXPECT_EQ(describe_scene(host->scene()),
              "group nodes: 2\nmesh nodes: 1\npolygons: 1\ncorners: 3\ncameras: 0\nlights: 0\ntracks: 1\n"
              "bitmaps: 0\ntree:\n  Root\n    Box [mesh, 1 polygons]\n  Loose (not in world)\n"
              "tracks:\n  Path (2 points, cyclic) (not in world)\n");
}

}  // namespace
}  // namespace kzv::host

namespace kzv::host {
namespace {

// Polygons of the same colour and bitmaps share one material record; changing one polygon's
// colour or bitmap changes that polygon only.
TEST(SceneHost, PolygonsShareTheirMaterials) {
    auto host = SceneHost::create();
    const Handle group = add_group(*host, "G", 0);
    TriangleSpec red = facing_triangle();
    red.color = {{255, 0, 0}};
    std::vector<Handle> polygons;
    for (int i = 0; i < 3; ++i) polygons.push_back(add_triangle(*host, group, red));
    polygons.push_back(add_triangle(*host, group, facing_triangle()));
    const Scene& scene = host->scene();
    EXPECT_EQ(scene.materials.size(), 2u);  // none set, and red
    EXPECT_EQ(scene.polygons[0].material, scene.polygons[2].material);
    EXPECT_EQ(scene.polygons[3].material, 0u);

    check(host->SetPolygonColor(polygons[1], 300, -4, 17), "SetPolygonColor");
    EXPECT_EQ(scene.materials[scene.polygons[1].material].color, (std::array<std::int32_t, 3>{300, -4, 17}));
    EXPECT_EQ(scene.materials[scene.polygons[0].material].color, (std::array<std::int32_t, 3>{255, 0, 0}));
    check(host->SetPolygonColor(polygons[1], 255, 0, 0), "SetPolygonColor");  // red again
    EXPECT_EQ(scene.polygons[1].material, scene.polygons[0].material);
    EXPECT_EQ(scene.materials.size(), 3u);
    EXPECT_EQ(host->SetPolygonBitmap(polygons[0], make_handle(ObjectKind::bitmap, 0)).number,
              static_cast<std::int32_t>(HostError::unknown_handle));
    EXPECT_EQ(scene.polygons[0].material, scene.polygons[2].material);
}

}  // namespace
}  // namespace kzv::host
