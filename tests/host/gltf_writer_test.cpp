#include "host/gltf/gltf_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "gltf_test_support.h"
#include "host/gltf/transform.h"
#include "host/scene/host_error.h"
#include "host/scene/scene_host.h"
#include "scene_driver.h"

namespace kzv::host {
namespace {

namespace fs = std::filesystem;
using gltf::Mat4;
using gltf::Vec3;
using namespace kzv::host::testing;
using tessavo::Handle;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class GltfWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = unique_temp_path(std::string("kzv-host-gltf-") +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Writes the host's scene and reads it back.
    tinygltf::Model round_trip(const std::string& name = "out.glb", GltfOptions options = {}) {
        outcome_ = write_gltf(host_->scene(), folder_ / name, options);
        EXPECT_TRUE(outcome_.ok) << outcome_.error;
        return read_gltf(folder_ / name);
    }

    bool warned(const std::string& text) const {
        for (const std::string& w : outcome_.warnings)
            if (w.find(text) != std::string::npos) return true;
        return false;
    }

    fs::path folder_;
    tessavo::Ref<SceneHost> host_ = SceneHost::create();
    WriteOutcome outcome_;
};

std::uint32_t u32_at(const std::string& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + i));
    return v;
}

Vec3 vec(const std::vector<float>& v, std::size_t i) {
    return {v[3 * i], v[3 * i + 1], v[3 * i + 2]};
}

TEST_F(GltfWriter, GlbHeaderAndChunksAddUp) {
    const Handle root = add_group(*host_, "Root", 0);
    add_triangle(*host_, root, facing_triangle());
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    const tinygltf::Model model = round_trip();
    const std::string bytes = read_bytes(folder_ / "out.glb");
    ASSERT_GE(bytes.size(), 28u);
    EXPECT_EQ(bytes.substr(0, 4), "glTF");
    EXPECT_EQ(u32_at(bytes, 4), 2u);
    EXPECT_EQ(u32_at(bytes, 8), bytes.size());
    const std::uint32_t json_length = u32_at(bytes, 12);
    EXPECT_EQ(json_length % 4, 0u);
    EXPECT_EQ(u32_at(bytes, 16), 0x4E4F534Au);
    const std::size_t bin = 20 + json_length;
    const std::uint32_t bin_length = u32_at(bytes, bin);
    EXPECT_EQ(bin_length % 4, 0u);
    EXPECT_EQ(u32_at(bytes, bin + 4), 0x004E4942u);
    EXPECT_EQ(bin + 8 + bin_length, bytes.size());
    ASSERT_EQ(model.buffers.size(), 1u);
    EXPECT_LE(model.buffers[0].data.size(), bin_length);
    EXPECT_GT(model.buffers[0].data.size() + 4, bin_length);
    // Nothing but the output is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// The front face keeps facing where its normals point: mirrored and turned around by default,
// as received when coordinates stay unchanged.
TEST_F(GltfWriter, MirrorsZAndKeepsFrontFacesWithTheirNormals) {
    const Handle root = add_group(*host_, "Root", 0);
    add_triangle(*host_, root, facing_triangle());
    check(host_->SetGroupMatrix(root, translation(1, 2, 3)), "SetGroupMatrix");
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    for (const bool convert : {true, false}) {
        const tinygltf::Model model = round_trip("out.glb", {.convert_axes = convert});
        ASSERT_EQ(model.meshes.size(), 1u);
        const auto& primitive = model.meshes[0].primitives.at(0);
        const auto positions = corner_values<float>(model, primitive, "POSITION");
        const auto normals = corner_values<float>(model, primitive, "NORMAL");
        ASSERT_EQ(positions.size(), 9u);
        const Vec3 p0 = vec(positions, 0), p1 = vec(positions, 1), p2 = vec(positions, 2);
        const Vec3 face = gltf::cross({p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]},
                                      {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]});
        const Vec3 expected_normal{0, 0, convert ? 1.0 : -1.0};
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(vec(normals, i), expected_normal) << convert;
        EXPECT_GT(gltf::dot(face, expected_normal), 0) << "front face turned away, convert=" << convert;
        EXPECT_EQ(model.nodes.at(0).translation, (std::vector<double>{1, 2, convert ? -3.0 : 3.0}));
        EXPECT_EQ(model.accessors[primitive.attributes.at("POSITION")].minValues,
                  (std::vector<double>{-1, -1, 0}));
        EXPECT_EQ(model.accessors[primitive.attributes.at("POSITION")].maxValues,
                  (std::vector<double>{1, 1, 0}));
    }
}

// A node's translation, rotation and scale make up the matrix the plug-in sent (mirrored).
TEST_F(GltfWriter, NodeTransformsReproduceTheMatrix) {
    const Handle root = add_group(*host_, "Root", 0);
    const double c = std::cos(0.3), s = std::sin(0.3);
    const Mat4 sent{2 * c, 2 * s, 0, 0, -3 * s, 3 * c, 0, 0, 0, 0, -1, 0, 4, 5, 6, 1};  // mirrors z
    check(host_->SetGroupMatrix(root, sent), "SetGroupMatrix");
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    const tinygltf::Model model = round_trip();
    const tinygltf::Node& node = model.nodes.at(0);
    ASSERT_EQ(node.rotation.size(), 4u);
    ASSERT_EQ(node.scale.size(), 3u);
    // Compose T * R * S as column-vector matrices, which in glTF's column-major order must equal
    // S_z * sent * S_z laid out row by row.
    const Vec3 x{node.rotation[0], node.rotation[1], node.rotation[2]};
    const double w = node.rotation[3];
    auto rotate = [&](const Vec3& v) {
        const Vec3 t = gltf::cross(x, v);
        const Vec3 u{2 * t[0], 2 * t[1], 2 * t[2]};
        const Vec3 xu = gltf::cross(x, u);
        return Vec3{v[0] + w * u[0] + xu[0], v[1] + w * u[1] + xu[1], v[2] + w * u[2] + xu[2]};
    };
    const Mat4 expected = gltf::mirror_z(sent);
    for (int axis = 0; axis < 3; ++axis) {
        Vec3 unit{};
        unit[axis] = node.scale[axis];
        const Vec3 column = rotate(unit);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(column[k], expected[4 * axis + k], 1e-12) << axis << "," << k;
    }
    EXPECT_EQ(node.translation, (std::vector<double>{4, 5, -6}));
}

// A sheared matrix cannot be a glTF node transform: it is applied to the node's vertices and
// handed down to its children, so every vertex still ends up where the scene put it.
TEST_F(GltfWriter, BakesMatricesThatAreNotTrs) {
    const Handle root = add_group(*host_, "Root", 0);
    add_triangle(*host_, root, facing_triangle());
    const Mat4 shear{1, 0.5, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2, 1};
    check(host_->SetGroupMatrix(root, shear), "SetGroupMatrix");
    const Handle child = add_group(*host_, "Child", root);
    add_triangle(*host_, child, facing_triangle());
    check(host_->SetGroupMatrix(child, translation(10, 0, 0)), "SetGroupMatrix");
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    const tinygltf::Model model = round_trip();
    EXPECT_TRUE(warned("applied to the vertices"));
    const tinygltf::Node* root_node = node_named(model, "Root");
    const tinygltf::Node* child_node = node_named(model, "Child");
    ASSERT_TRUE(root_node && child_node);
    EXPECT_TRUE(root_node->matrix.empty() && root_node->translation.empty() && root_node->rotation.empty());
    EXPECT_TRUE(child_node->translation.empty());
    // Received first corner (file corner 3) is (1, -1, 0); glTF order reverses it to last.
    const auto root_positions =
        corner_values<float>(model, model.meshes.at(root_node->mesh).primitives[0], "POSITION");
    const auto child_positions =
        corner_values<float>(model, model.meshes.at(child_node->mesh).primitives[0], "POSITION");
    const Vec3 sheared = gltf::transform_point(shear, {1, -1, 0});
    EXPECT_EQ(vec(root_positions, 2), (Vec3{sheared[0], sheared[1], -sheared[2]}));
    const Vec3 moved = gltf::transform_point(shear, {11, -1, 0});
    EXPECT_EQ(vec(child_positions, 2), (Vec3{moved[0], moved[1], -moved[2]}));
}

TEST_F(GltfWriter, MaterialsTexturesAndAttributesFollowThePolygons) {
    const fs::path scene = folder_ / "scene";
    write_test_image(scene / "Bitmaps" / "wood.png", "png");
    write_test_image(scene / "Bitmaps" / "light.bmp", "bmp");
    host_ = SceneHost::create({.scene_folder = scene});
    Handle wood = 0, light = 0;
    check(host_->LoadBitmap(scene.string() + "/Bitmaps\\wood.png", tessavo::kTrue, wood), "LoadBitmap");
    check(host_->LoadBitmap(scene.string() + "/Bitmaps\\light.bmp", tessavo::kTrue, light), "LoadBitmap");
    const Handle root = add_group(*host_, "Root", 0);
    TriangleSpec textured = facing_triangle();
    textured.color = {{255, 0, 128}};
    textured.bitmap = wood;
    textured.bitmap2 = light;
    textured.corners[0].uv2 = {{0.25, 0.5}};
    TriangleSpec painted = facing_triangle(2);
    painted.color = {{306, -4, 51}};
    painted.corners[1].color = {{10, 20, 30}};
    add_triangle(*host_, root, textured);
    add_triangle(*host_, root, painted);
    add_triangle(*host_, root, textured);
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    const tinygltf::Model model = round_trip();

    ASSERT_EQ(model.meshes.size(), 1u);
    const auto& primitives = model.meshes[0].primitives;
    ASSERT_EQ(primitives.size(), 2u);  // one per material, polygons of one material together
    EXPECT_EQ(model.accessors.at(primitives[0].indices).count, 6u);  // two triangles
    EXPECT_EQ(model.accessors.at(primitives[1].indices).count, 3u);

    const tinygltf::Material& with_textures = model.materials.at(primitives[0].material);
    // Display colours become linear: 128 is 0.2159 of full light.
    const std::vector<double>& factor = with_textures.pbrMetallicRoughness.baseColorFactor;
    ASSERT_EQ(factor.size(), 4u);
    EXPECT_EQ(factor[0], 1);
    EXPECT_EQ(factor[1], 0);
    EXPECT_NEAR(factor[2], 0.21586, 1e-5);
    const int base = with_textures.pbrMetallicRoughness.baseColorTexture.index;
    const int occlusion = with_textures.occlusionTexture.index;
    ASSERT_GE(base, 0);
    ASSERT_GE(occlusion, 0);
    EXPECT_EQ(with_textures.occlusionTexture.texCoord, 1);
    EXPECT_EQ(primitives[0].attributes.count("TEXCOORD_1"), 1u);
    EXPECT_EQ(primitives[0].attributes.count("COLOR_0"), 0u);
    const auto uv2 = corner_values<float>(model, primitives[0], "TEXCOORD_1");
    EXPECT_EQ(uv2[0], 0.25f);  // file corner 1 arrives last and leads again once the winding is reversed
    const tinygltf::Image& base_image = model.images.at(model.textures.at(base).source);
    const tinygltf::Image& second_image = model.images.at(model.textures.at(occlusion).source);
    EXPECT_EQ(base_image.mimeType, "image/png");
    EXPECT_EQ(second_image.mimeType, "image/png");  // the BMP, re-encoded
    const auto& view = model.bufferViews.at(base_image.bufferView);
    const std::string embedded(model.buffers[0].data.begin() + view.byteOffset,
                               model.buffers[0].data.begin() + view.byteOffset + view.byteLength);
    EXPECT_EQ(embedded, read_bytes(scene / "Bitmaps" / "wood.png"));

    const tinygltf::Material& clamped = model.materials.at(primitives[1].material);
    EXPECT_NEAR(clamped.pbrMetallicRoughness.baseColorFactor.at(2), 0.033105, 1e-6);  // 51, linear
    EXPECT_TRUE(warned("above 255"));
    EXPECT_TRUE(warned("negative polygon colour"));
    const auto colors = corner_values<std::uint8_t>(model, primitives[1], "COLOR_0");
    EXPECT_EQ(std::vector<std::uint8_t>(colors.begin() + 4, colors.begin() + 8),
              (std::vector<std::uint8_t>{1, 2, 3, 255}));  // 10, 20, 30 as linear bytes
    EXPECT_EQ(std::vector<std::uint8_t>(colors.begin(), colors.begin() + 4),
              (std::vector<std::uint8_t>{255, 255, 255, 255}));  // corners without a colour: white
}

// Corners with equal values become one vertex of their primitive; a corner without a usable normal
// takes its polygon's face normal, so it stays a vertex of its own. Past 65,535 vertices the
// indices take 4 bytes.
TEST_F(GltfWriter, CornersWithEqualValuesShareOneVertex) {
    const Handle root = add_group(*host_, "Root", 0);
    TriangleSpec shared = facing_triangle();
    for (CornerSpec& c : shared.corners) c.normal = {0, 0, -2};
    TriangleSpec turned = shared;  // the same corners, starting elsewhere
    std::rotate(turned.corners.begin(), turned.corners.begin() + 1, turned.corners.end());
    TriangleSpec flat = facing_triangle();
    for (CornerSpec& c : flat.corners) c.normal = {0, 0, 0};
    for (const TriangleSpec& t : {shared, turned, flat, flat}) add_triangle(*host_, root, t);
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    tinygltf::Model model = round_trip();

    const tinygltf::Primitive& primitive = model.meshes.at(0).primitives.at(0);
    EXPECT_EQ(model.accessors.at(primitive.attributes.at("POSITION")).count, 3u + 6u);
    const tinygltf::Accessor& indices = model.accessors.at(primitive.indices);
    EXPECT_EQ(indices.count, 12u);
    EXPECT_EQ(indices.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
    EXPECT_EQ(model.bufferViews.at(indices.bufferView).target, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    const auto positions = corner_values<float>(model, primitive, "POSITION");
    const auto normals = corner_values<float>(model, primitive, "NORMAL");
    ASSERT_EQ(positions.size(), 36u);
    for (std::size_t i = 0; i < 3; ++i)  // the turned triangle starts one corner on
        EXPECT_EQ(vec(positions, 3 + i), vec(positions, (i + 1) % 3)) << i;
    EXPECT_EQ(vec(positions, 9), vec(positions, 0));
    for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(vec(normals, i), (Vec3{0, 0, 1})) << i;
    // Repairs count every corner, shared or not.
    EXPECT_TRUE(warned("not of unit length normalised (6)"));
    EXPECT_TRUE(warned("replaced by the polygon's face normal (6)"));

    // Distinct corners only: one vertex each.
    host_ = SceneHost::create();
    const Handle big = add_group(*host_, "Big", 0);
    constexpr int kTriangles = 22000;
    for (int i = 0; i < kTriangles; ++i) add_triangle(*host_, big, facing_triangle(3.0 * i));
    check(host_->AddGroupToWorld(big, 0), "AddGroupToWorld");
    model = round_trip("big.glb");
    const tinygltf::Primitive& big_primitive = model.meshes.at(0).primitives.at(0);
    EXPECT_EQ(model.accessors.at(big_primitive.attributes.at("POSITION")).count, 3u * kTriangles);
    EXPECT_EQ(model.accessors.at(big_primitive.indices).componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    const auto big_positions = corner_values<float>(model, big_primitive, "POSITION");
    ASSERT_EQ(big_positions.size(), 9u * kTriangles);
    EXPECT_EQ(vec(big_positions, 3 * kTriangles - 3)[0], 3.0f * (kTriangles - 1));
}

TEST_F(GltfWriter, CamerasLightsAndTracks) {
    Handle camera = 0, light = 0, loop = 0, line = 0, left_out = 0;
    check(host_->CreateCamera("Cam", camera), "CreateCamera");
    check(host_->SetCameraPosition(camera, 1, 2, 3), "SetCameraPosition");
    // Looking along the editor's +x: direction, right, up.
    check(host_->SetCameraAxes(camera, {1, 0, 0}, {0, 0, -1}, {0, 1, 0}), "SetCameraAxes");
    check(host_->SetCameraFov(camera, 90), "SetCameraFov");
    check(host_->SetCameraRange(camera, 0.25), "SetCameraRange");
    check(host_->AddCameraToWorld(camera), "AddCameraToWorld");
    check(host_->CreateLight("Lamp", {0, 5, 1}, light), "CreateLight");
    check(host_->SetLightColor(light, {255, 0, 51}), "SetLightColor");
    check(host_->SetLightIntensity(light, 2.5), "SetLightIntensity");
    check(host_->SetLightRange(light, 40), "SetLightRange");
    check(host_->AddLightToWorld(light), "AddLightToWorld");
    check(host_->CreateTrack("Loop", tessavo::kTrue, {0, 0, 0, 1, 0, 0, 1, 0, 1}, 3, loop), "CreateTrack");
    check(host_->AddTrackToWorld(loop), "AddTrackToWorld");
    check(host_->CreateTrack("Line", tessavo::kFalse, {0, 0, 0, 0, 0, 4}, 2, line), "CreateTrack");
    check(host_->AddTrackToWorld(line), "AddTrackToWorld");
    check(host_->CreateTrack("NotInWorld", tessavo::kFalse, {0, 0, 0}, 1, left_out), "CreateTrack");
    const tinygltf::Model model = round_trip();

    ASSERT_EQ(model.scenes.at(0).nodes.size(), 4u);
    const tinygltf::Node* cam = node_named(model, "Cam");
    ASSERT_TRUE(cam && cam->camera >= 0);
    EXPECT_EQ(cam->translation, (std::vector<double>{1, 2, -3}));
    const tinygltf::Camera& c = model.cameras[cam->camera];
    EXPECT_DOUBLE_EQ(c.perspective.yfov, std::acos(-1.0) / 2);
    EXPECT_EQ(c.perspective.znear, 0.25);
    EXPECT_EQ(c.perspective.zfar, 0.0);  // infinite: not written
    // The camera's -Z must point along +x, which mirroring z leaves as it is.
    const Vec3 q{cam->rotation.at(0), cam->rotation.at(1), cam->rotation.at(2)};
    const double w = cam->rotation.at(3);
    const Vec3 t = gltf::cross(q, {0, 0, -2});
    const Vec3 qt = gltf::cross(q, t);
    const Vec3 looks{w * t[0] + qt[0], w * t[1] + qt[1], -1 + w * t[2] + qt[2]};
    EXPECT_NEAR(looks[0], 1, 1e-12);
    EXPECT_NEAR(looks[1], 0, 1e-12);
    EXPECT_NEAR(looks[2], 0, 1e-12);

    ASSERT_EQ(model.lights.size(), 1u);
    EXPECT_EQ(model.lights[0].type, "point");
    ASSERT_EQ(model.lights[0].color.size(), 3u);
    EXPECT_NEAR(model.lights[0].color[2], 0.033105, 1e-6);  // 51, linear
    // Without geometry to light, the editor's intensity is matched at 1 unit: pi * 2.5 candela.
    EXPECT_DOUBLE_EQ(model.lights[0].intensity, std::numbers::pi * 2.5);
    EXPECT_EQ(model.lights[0].range, 40);
    const tinygltf::Node* lamp = node_named(model, "Lamp");
    ASSERT_TRUE(lamp);
    EXPECT_EQ(lamp->translation, (std::vector<double>{0, 5, -1}));
    EXPECT_EQ(lamp->extensions.at("KHR_lights_punctual").Get("light").GetNumberAsInt(), 0);

    const tinygltf::Node* loop_node = node_named(model, "Loop");
    const tinygltf::Node* line_node = node_named(model, "Line");
    ASSERT_TRUE(loop_node && line_node);
    EXPECT_EQ(model.meshes[loop_node->mesh].primitives[0].mode, TINYGLTF_MODE_LINE_LOOP);
    EXPECT_EQ(model.meshes[line_node->mesh].primitives[0].mode, TINYGLTF_MODE_LINE_STRIP);
    const auto points = corner_values<float>(model, model.meshes[line_node->mesh].primitives[0], "POSITION");
    EXPECT_EQ(points, (std::vector<float>{0, 0, 0, 0, 0, -4}));
}

// Polygons of more than three corners become fans of triangles; fewer than three are left out.
TEST_F(GltfWriter, PolygonsBecomeTriangleFans) {
    const Handle root = add_group(*host_, "Root", 0);
    for (int corners : {4, 2}) {
        Handle polygon = 0, vertex = 0;
        check(host_->CreatePolygon(polygon), "CreatePolygon");
        for (int k = 0; k < corners; ++k) {
            const double angle = -k * std::acos(-1.0) / 2;  // clockwise, seen from -z
            check(host_->AddPolygonVertex(polygon, {std::cos(angle), std::sin(angle), 0, 0, 0, 100}, vertex),
                  "AddPolygonVertex");
            check(host_->SetVertexNormal(vertex, {0, 0, -1}), "SetVertexNormal");
        }
        check(host_->ClosePolygon(polygon), "ClosePolygon");
        check(host_->AddPolygonToGroup(polygon, root), "AddPolygonToGroup");
    }
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    const tinygltf::Model model = round_trip();
    EXPECT_TRUE(warned("fewer than 3 corners left out (1)"));
    const auto positions = corner_values<float>(model, model.meshes.at(0).primitives.at(0), "POSITION");
    ASSERT_EQ(positions.size(), 18u);
    for (std::size_t t = 0; t < 2; ++t) {
        const Vec3 a = vec(positions, 3 * t), b = vec(positions, 3 * t + 1), c = vec(positions, 3 * t + 2);
        const Vec3 face =
            gltf::cross({b[0] - a[0], b[1] - a[1], b[2] - a[2]}, {c[0] - a[0], c[1] - a[1], c[2] - a[2]});
        EXPECT_GT(face[2], 0) << t;  // facing +z, where the mirrored normals point
    }
}

struct RepairCase {
    const char* name;
    std::function<void(SceneHost&, Handle group)> build;
    const char* warning;
};

// A mesh bigger than the writer's batches: every vertex reaches its place in every array.
TEST_F(GltfWriter, BigMeshesArriveWhole) {
    constexpr int kTriangles = 3000;
    const Handle group = add_group(*host_, "G", 0);
    std::vector<float> positions, uv2;
    std::vector<std::uint8_t> colors;
    for (int i = 0; i < kTriangles; ++i) {
        TriangleSpec t = facing_triangle(i);
        for (int k = 0; k < 3; ++k) {
            t.corners[k].position[2] = i % 7;
            if (i % 3 == 0)
                t.corners[k].color = {{static_cast<std::uint8_t>(i), 7, static_cast<std::uint8_t>(k)}};
            if (i % 5 == 0) t.corners[k].uv2 = {{0.5 * k, static_cast<double>(i)}};
        }
        add_triangle(*host_, group, t);
        for (int k = 2; k >= 0; --k) {  // the order the host receives them
            const CornerSpec& c = t.corners[k];
            positions.insert(positions.end(), c.position.begin(), c.position.end());
            const auto rgb = c.color.value_or(std::array<std::uint8_t, 3>{255, 255, 255});
            colors.insert(colors.end(), {rgb[0], rgb[1], rgb[2], 255});
            const auto st = c.uv2.value_or(std::array<double, 2>{0, 0});
            uv2.insert(uv2.end(), st.begin(), st.end());
        }
    }
    check(host_->AddGroupToWorld(group, 0), "AddGroupToWorld");
    GltfOptions unchanged;
    unchanged.convert_axes = false;
    unchanged.linear_colors = false;
    const tinygltf::Model model = round_trip("big.glb", unchanged);
    ASSERT_EQ(model.meshes.size(), 1u);
    const tinygltf::Primitive& primitive = model.meshes[0].primitives.at(0);
    EXPECT_EQ(corner_values<float>(model, primitive, "POSITION"), positions);
    EXPECT_EQ(corner_values<std::uint8_t>(model, primitive, "COLOR_0"), colors);
    EXPECT_EQ(corner_values<float>(model, primitive, "TEXCOORD_1"), uv2);
    const tinygltf::Accessor& bounds = model.accessors.at(primitive.attributes.at("POSITION"));
    EXPECT_EQ(bounds.minValues, (std::vector<double>{-1, -1, 0}));
    EXPECT_EQ(bounds.maxValues, (std::vector<double>{kTriangles, 1, 6}));
}

// Polygons built in turns are written as if they had been built one after the other.
TEST_F(GltfWriter, PolygonsBuiltInTurnsWriteLikeOthers) {
    auto build = [](SceneHost& host, bool in_turns) {
        const Handle group = add_group(host, "G", 0);
        Handle p = 0, q = 0, v = 0;
        check(host.CreatePolygon(p), "CreatePolygon");
        check(host.CreatePolygon(q), "CreatePolygon");
        const std::array<std::array<double, 2>, 4> square{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
        auto add = [&](Handle polygon, std::size_t k, double z) {
            check(host.AddPolygonVertex(polygon, {square[k][0], square[k][1], z, 0, 0, 100}, v),
                  "AddPolygonVertex");
            check(host.SetPolygonVertexColor(v, polygon, {static_cast<std::uint8_t>(k), 0, 0}),
                  "SetPolygonVertexColor");
        };
        for (std::size_t k = 0; k < square.size(); ++k) {
            add(p, k, 1);
            if (in_turns) add(q, k, 2);
        }
        for (std::size_t k = 0; !in_turns && k < square.size(); ++k) add(q, k, 2);
        for (Handle polygon : {p, q}) check(host.AddPolygonToGroup(polygon, group), "AddPolygonToGroup");
        check(host.AddGroupToWorld(group, 0), "AddGroupToWorld");
    };
    build(*host_, true);
    EXPECT_EQ(host_
                  ->SetPolygonVertexColor(make_handle(ObjectKind::vertex, 1),
                                          make_handle(ObjectKind::polygon, 0), {1, 2, 3})
                  .number,
              static_cast<std::int32_t>(HostError::invalid_argument));
    round_trip("turns.glb");
    host_ = SceneHost::create();
    build(*host_, false);
    round_trip("sequence.glb");
    EXPECT_EQ(read_bytes(folder_ / "turns.glb"), read_bytes(folder_ / "sequence.glb"));
}

// Values glTF forbids are repaired or left out, with one warning per kind; the file still reads.
TEST_F(GltfWriter, RepairsWhatGltfForbids) {
    const std::vector<RepairCase> cases{
        {"zero normal",
         [](SceneHost& h, Handle g) {
             TriangleSpec t = facing_triangle();
             t.corners[0].normal = {0, 0, 0};
             add_triangle(h, g, t);
         },
         "face normal"},
        {"long normal",
         [](SceneHost& h, Handle g) {
             TriangleSpec t = facing_triangle();
             t.corners[0].normal = {0, 0, -3};
             add_triangle(h, g, t);
         },
         "normalised"},
        {"NaN texture coordinate",
         [](SceneHost& h, Handle g) {
             TriangleSpec t = facing_triangle();
             t.corners[2].uv = {kNaN, 0.5};
             add_triangle(h, g, t);
         },
         "texture coordinates set to 0"},
        {"NaN position",
         [](SceneHost& h, Handle g) {
             TriangleSpec t = facing_triangle();
             t.corners[1].position = {0, kNaN, 0};
             add_triangle(h, g, t);
             add_triangle(h, g, facing_triangle());
         },
         "positions left out"},
        {"left out with a zero normal",  // the only polygon of its mesh: no vertices written
         [](SceneHost& h, Handle g) {
             TriangleSpec t = facing_triangle();
             t.corners[1].position = {0, kNaN, 0};
             t.corners[2].normal = {0, 0, 0};
             add_triangle(h, g, t);
         },
         "face normal"},
        {"NaN matrix",
         [](SceneHost& h, Handle g) {
             add_triangle(h, g, facing_triangle());
             check(h.SetGroupMatrix(g, translation(kNaN, 0, 0)), "SetGroupMatrix");
         },
         "replaced by the identity"},
        {"camera without field of view",
         [](SceneHost& h, Handle) {
             Handle c = 0;
             check(h.CreateCamera("C", c), "CreateCamera");
             check(h.SetCameraFov(c, -10), "SetCameraFov");
             check(h.AddCameraToWorld(c), "AddCameraToWorld");
         },
         "fields of view"},
        {"camera looking all around",
         [](SceneHost& h, Handle) {
             Handle c = 0;
             check(h.CreateCamera("C", c), "CreateCamera");
             check(h.SetCameraFov(c, 180), "SetCameraFov");
             check(h.AddCameraToWorld(c), "AddCameraToWorld");
         },
         "not between 0 and 180 degrees"},
        {"negative light",
         [](SceneHost& h, Handle) {
             Handle l = 0;
             check(h.CreateLight("L", {0, 0, 0}, l), "CreateLight");
             check(h.SetLightIntensity(l, -1), "SetLightIntensity");
             check(h.SetLightRange(l, 0), "SetLightRange");
             check(h.AddLightToWorld(l), "AddLightToWorld");
         },
         "negative light intensities"},
    };
    for (const RepairCase& c : cases) {
        host_ = SceneHost::create();
        const Handle group = add_group(*host_, "G", 0);
        c.build(*host_, group);
        check(host_->AddGroupToWorld(group, 0), "AddGroupToWorld");
        const tinygltf::Model model = round_trip();
        EXPECT_TRUE(warned(c.warning)) << c.name;
        for (const auto& mesh : model.meshes)
            for (const auto& primitive : mesh.primitives) {
                for (const auto& [attribute, index] : primitive.attributes)
                    for (float v : accessor_values<float>(model, index))
                        if (attribute != "COLOR_0") {
                            EXPECT_TRUE(std::isfinite(v)) << c.name << " " << attribute;
                        }
                if (primitive.attributes.count("NORMAL") == 0) continue;
                const auto normals = corner_values<float>(model, primitive, "NORMAL");
                for (std::size_t i = 0; i < normals.size() / 3; ++i)
                    EXPECT_NEAR(gltf::length(vec(normals, i)), 1, 1e-6) << c.name;
            }
        for (const auto& camera : model.cameras) EXPECT_GT(camera.perspective.yfov, 0) << c.name;
        for (const auto& light : model.lights) EXPECT_GE(light.intensity, 0) << c.name;
    }
}

TEST_F(GltfWriter, GltfFilesSitBesideEachOther) {
    const fs::path scene = folder_ / "scene";
    write_test_image(scene / "Bitmaps" / "wood.jpg", "jpg");
    host_ = SceneHost::create({.scene_folder = scene});
    Handle wood = 0;
    check(host_->LoadBitmap(scene.string() + "/Bitmaps\\wood.jpg", tessavo::kTrue, wood), "LoadBitmap");
    const Handle root = add_group(*host_, "Root", 0);
    TriangleSpec t = facing_triangle();
    t.bitmap = wood;
    add_triangle(*host_, root, t);
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");
    const tinygltf::Model model = round_trip("my scene.gltf");
    EXPECT_EQ(outcome_.files, (std::vector<fs::path>{folder_ / "my scene.bin", folder_ / "my scene_0.jpg",
                                                     folder_ / "my scene.gltf"}));
    EXPECT_EQ(model.buffers.at(0).uri, "my%20scene.bin");
    EXPECT_EQ(model.images.at(0).uri, "my%20scene_0.jpg");
    EXPECT_EQ(read_bytes(folder_ / "my scene_0.jpg"), read_bytes(scene / "Bitmaps" / "wood.jpg"));
}

// A write that cannot complete leaves nothing behind and an existing output as it was.
TEST_F(GltfWriter, FailedWritesLeaveNoTrace) {
    const fs::path existing = folder_ / "keep.glb";
    std::ofstream(existing) << "old";
    const WriteOutcome wrong_extension = write_gltf(host_->scene(), folder_ / "keep.obj");
    EXPECT_FALSE(wrong_extension.ok);
    const WriteOutcome no_folder = write_gltf(host_->scene(), folder_ / "missing" / "keep.glb");
    EXPECT_FALSE(no_folder.ok);
    EXPECT_FALSE(no_folder.error.empty());
    fs::create_directory(folder_ / "blocked.glb");  // a folder where the file should go
    const WriteOutcome blocked = write_gltf(host_->scene(), folder_ / "blocked.glb");
    EXPECT_FALSE(blocked.ok);
    EXPECT_EQ(read_bytes(existing), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace kzv::host

namespace kzv::host {
namespace {

// Mesh nodes of the same geometry share one mesh and keep their own nodes, names and transforms;
// a different material, a different corner value or a different matrix applied to the vertices
// makes a mesh of its own.
TEST_F(GltfWriter, IdenticalGeometryIsWrittenOnce) {
    const Handle root = add_group(*host_, "Root", 0);
    auto add_mesh_node = [&](const std::string& name, double x, auto&& change) {
        const Handle node = add_group(*host_, name, root);
        for (int i = 0; i < 2; ++i) {
            TriangleSpec t = facing_triangle(3.0 * i);
            change(t);
            add_triangle(*host_, node, t);
        }
        check(host_->SetGroupMatrix(node, translation(x, 0, 0)), "SetGroupMatrix");
        return node;
    };
    const auto same = [](TriangleSpec&) {};
    add_mesh_node("A", 0, same);
    add_mesh_node("B", 10, same);
    add_mesh_node("Red", 20, [](TriangleSpec& t) { t.color = {{255, 0, 0}}; });
    add_mesh_node("Moved", 30, [](TriangleSpec& t) { t.corners[1].position[2] = 0.5; });
    const Handle sheared = add_mesh_node("Sheared", 40, same);
    std::array<double, 16> shear = translation(40, 0, 0);
    shear[4] = 1;  // y picks up x: not translation, rotation and scale
    check(host_->SetGroupMatrix(sheared, shear), "SetGroupMatrix");
    add_mesh_node("C", 50, same);
    const Handle sheared_too = add_mesh_node("Sheared too", 60, same);
    check(host_->SetGroupMatrix(sheared_too, shear), "SetGroupMatrix");
    check(host_->AddGroupToWorld(root, 0), "AddGroupToWorld");

    const tinygltf::Model model = round_trip();
    const auto mesh_of = [&](const std::string& name) { return node_named(model, name)->mesh; };
    EXPECT_EQ(mesh_of("B"), mesh_of("A"));
    EXPECT_EQ(mesh_of("C"), mesh_of("A"));
    for (const std::string other : {"Red", "Moved", "Sheared"})
        EXPECT_NE(mesh_of(other), mesh_of("A")) << other;
    EXPECT_EQ(mesh_of("Sheared too"), mesh_of("Sheared"));
    EXPECT_EQ(model.meshes.size(), 4u);
    EXPECT_EQ(node_named(model, "C")->translation, (std::vector<double>{50, 0, 0}));
    EXPECT_EQ(node_named(model, "B")->translation, (std::vector<double>{10, 0, 0}));
}

}  // namespace
}  // namespace kzv::host
