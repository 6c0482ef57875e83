// What viewers need from the mapping to glTF: linear colours, light intensities in candela at the
// scene's scale, unique node names, and polygons that face where their normals point.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "gltf_test_support.h"
#include "host/gltf/colour_space.h"
#include "host/gltf/gltf_writer.h"
#include "host/gltf/light_units.h"
#include "host/gltf/node_names.h"
#include "host/scene/scene_host.h"
#include "host/scene/winding.h"
#include "host/scene/world_bounds.h"
#include "scene_driver.h"

namespace {

namespace fs = std::filesystem;
using namespace kzv::host;
using namespace kzv::host::testing;
using gltf::NodeKind;

TEST(ColourSpace, DisplayValuesBecomeLinearLight) {
    EXPECT_EQ(gltf::srgb_to_linear(0), 0);
    EXPECT_DOUBLE_EQ(gltf::srgb_to_linear(1), 1);
    EXPECT_NEAR(gltf::srgb_to_linear(0.5), 0.21404, 1e-5);
    EXPECT_NEAR(gltf::srgb_to_linear(0.04), 0.04 / 12.92, 1e-12);  // the straight part near black
    EXPECT_EQ(gltf::colour_factor(51, false), 0.2);
    EXPECT_NEAR(gltf::colour_factor(51, true), 0.033105, 1e-6);
    const auto& bytes = gltf::linear_bytes();
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[255], 255);
    EXPECT_EQ(bytes[128], 55);
    for (std::size_t i = 1; i < 256; ++i) EXPECT_LE(bytes[i - 1], bytes[i]) << i;
    EXPECT_EQ(gltf::colour_bytes({10, 128, 255}, false), (std::array<std::uint8_t, 3>{10, 128, 255}));
}

TEST(LightUnits, MatchedAtTheLitGeometry) {
    const Box box{{-1, -1, -1}, {1, 1, 1}};
    // From outside: the distance to the box's centre.
    EXPECT_DOUBLE_EQ(gltf::reference_distance({0, 0, 10}, box, std::nullopt), 10);
    // Amid the geometry: a quarter of its diagonal.
    EXPECT_DOUBLE_EQ(gltf::reference_distance({0, 0, 0}, box, std::nullopt), std::sqrt(12.0) / 4);
    // Never beyond the light's range, where it lights nothing.
    EXPECT_DOUBLE_EQ(gltf::reference_distance({0, 0, 10}, box, 4.0), 4);
    EXPECT_EQ(gltf::reference_distance({0, 0, 10}, std::nullopt, std::nullopt), 1);
    EXPECT_DOUBLE_EQ(gltf::candela(2, 10), std::numbers::pi * 200);
    EXPECT_EQ(gltf::candela(1e300, 1e300), std::numeric_limits<float>::max());
    EXPECT_EQ(gltf::candela(0, 10), 0);
}

TEST(NodeNames, MeshNodesKeepTheirNamesOthersGetTheirKindOnAClash) {
    const std::vector<gltf::NamedNode> nodes{{"Cube", NodeKind::group},         {"Cube", NodeKind::mesh},
                                             {"Cube", NodeKind::mesh},          {"Cube", NodeKind::camera},
                                             {"Cube (group)", NodeKind::track}, {"Lamp", NodeKind::light},
                                             {"Lamp", NodeKind::light}};
    EXPECT_EQ(gltf::unique_node_names(nodes),
              (std::vector<std::string>{"Cube (group)", "Cube", "Cube #2", "Cube (camera)",
                                        "Cube (group) (track)", "Lamp", "Lamp (light)"}));
}

class SceneChecks : public ::testing::Test {
  protected:
    tessavo::Ref<SceneHost> host_ = SceneHost::create();
};

TEST_F(SceneChecks, WorldBoundsFollowTheGroupMatrices) {
    const tessavo::Handle root = add_group(*host_, "Root", 0);
    const tessavo::Handle child = add_group(*host_, "Child", root);
    const tessavo::Handle outside = add_group(*host_, "Outside", 0);  // never added to the world
    check(host_->SetGroupMatrix(root, translation(10, 0, 0)), "SetGroupMatrix");
    check(host_->SetGroupMatrix(child, {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 5, 0, 1}), "SetGroupMatrix");
    add_triangle(*host_, child, facing_triangle());
    TriangleSpec far = facing_triangle(1000);
    add_triangle(*host_, outside, far);
    TriangleSpec broken = facing_triangle();
    broken.corners[0].position = {std::nan(""), 0, 0};
    add_triangle(*host_, root, broken);
    EXPECT_FALSE(world_bounds(host_->scene()));
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");

    const std::optional<Box> box = world_bounds(host_->scene());
    ASSERT_TRUE(box);
    // The child's triangle, scaled by 2 and moved by (0, 5, 0) and then (10, 0, 0); the broken
    // triangle's finite corners, only moved.
    EXPECT_EQ(box->low, (std::array<double, 3>{8, -1, 0}));
    EXPECT_EQ(box->high, (std::array<double, 3>{12, 7, 0}));
}

TEST_F(SceneChecks, PolygonsAgainstTheirNormalsAreFoundAndFlipped) {
    const tessavo::Handle right = add_group(*host_, "Right", 0);
    const tessavo::Handle wrong = add_group(*host_, "Wrong", 0);
    TriangleSpec turned = facing_triangle();
    std::swap(turned.corners[0], turned.corners[2]);
    for (int i = 0; i < 3; ++i) add_triangle(*host_, right, facing_triangle(i));
    add_triangle(*host_, right, turned);  // one in four: not "mostly"
    add_triangle(*host_, wrong, turned);
    add_triangle(*host_, wrong, turned);
    add_triangle(*host_, wrong, facing_triangle());
    TriangleSpec flat = facing_triangle();  // no area: nothing to compare
    for (auto& c : flat.corners) c.position = {0, 0, 0};
    add_triangle(*host_, wrong, flat);

    const std::vector<MeshWinding> found = find_polygons_against_normals(host_->scene());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].polygons, 4u);
    EXPECT_EQ(found[0].against, 1u);
    EXPECT_EQ(found[1].polygons, 3u);
    EXPECT_EQ(found[1].against, 2u);
    EXPECT_EQ(
        inside_out_warning(host_->scene(), found),
        "polygons face against their vertex normals (authored in the other winding convention?) in 1 mesh "
        "node: \"Wrong\" (2 of 3); --flip-winding reverses their corner order, --double-sided shows both "
        "sides");

    const std::vector<MeshWinding> flipped = flip_polygons_against_normals(host_->scene_for_repairs());
    EXPECT_EQ(flipped_notice(host_->scene(), flipped),
              "reversed the corner order of 3 polygons that faced against their vertex normals, in \"Right\" "
              "(1 of 4), \"Wrong\" (2 of 3)");
    EXPECT_TRUE(find_polygons_against_normals(host_->scene()).empty());
    EXPECT_EQ(inside_out_warning(host_->scene(), {}), "");
}

TEST_F(SceneChecks, QuadsAreJudgedByTheirWholeOutline) {
    const tessavo::Handle group = add_group(*host_, "Quad", 0);
    tessavo::Handle polygon = 0;
    check(host_->CreatePolygon(polygon), "CreatePolygon");
    // Received clockwise seen from -z, so its front faces -z, while its normals point to +z.
    for (const auto& p : std::vector<std::array<double, 3>>{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}) {
        tessavo::Handle vertex = 0;
        check(host_->AddPolygonVertex(polygon, {p[0], p[1], p[2], 0, 0, 100}, vertex), "AddPolygonVertex");
        check(host_->SetVertexNormal(vertex, {0, 0, 1}), "SetVertexNormal");
    }
    check(host_->ClosePolygon(polygon), "ClosePolygon");
    check(host_->AddPolygonToGroup(polygon, group), "AddPolygonToGroup");
    const std::vector<MeshWinding> found = find_polygons_against_normals(host_->scene());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].against, 1u);
    flip_polygons_against_normals(host_->scene_for_repairs());
    EXPECT_TRUE(find_polygons_against_normals(host_->scene()).empty());
}

TEST_F(SceneChecks, WrittenNodeNamesAreUniqueAndTheMeshKeepsItsName) {
    const tessavo::Handle group = add_group(*host_, "Cube", 0);
    const tessavo::Handle mesh = add_group(*host_, "Cube", group);
    add_triangle(*host_, mesh, facing_triangle());
    check(host_->AddGroupToWorld(group, 0), "AddGroupToWorld");
    tessavo::Handle light = 0;
    check(host_->CreateLight("Cube", {0, 0, -10}, light), "CreateLight");
    check(host_->AddLightToWorld(light), "AddLightToWorld");
    const fs::path file = unique_temp_path("kzv-node-names") / "names.glb";
    fs::create_directories(file.parent_path());
    ASSERT_TRUE(write_gltf(host_->scene(), file).ok);
    const tinygltf::Model model = read_gltf(file);
    fs::remove_all(file.parent_path());
    ASSERT_EQ(model.nodes.size(), 3u);
    EXPECT_EQ(model.nodes[0].name, "Cube (group)");
    EXPECT_EQ(model.nodes[1].name, "Cube");
    EXPECT_GE(model.nodes[1].mesh, 0);
    EXPECT_EQ(model.nodes[2].name, "Cube (light)");
    // The light is 10 units from the triangle: pi * 10^2 candela for the editor's intensity 1.
    ASSERT_EQ(model.lights.size(), 1u);
    EXPECT_NEAR(model.lights[0].intensity, std::numbers::pi * 100, 1e-6);
}

}  // namespace
