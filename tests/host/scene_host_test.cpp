#include "host/scene/scene_host.h"

#include <gtest/gtest.h>

#include <functional>

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
    EXPECT_EQ(scene.corner_values.size(), 3u);

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
    EXPECT_EQ(host->scene().corner_values.size(), 6u);
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
