// The bundled demo as a viewer sees it: read back from the .glb that kzv-import writes, every face
// in front where its normals point, and the features the demo is there to show.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "gltf_test_support.h"
#include "run_program.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kzv::host::testing::facing_of;
using kzv::host::testing::read_gltf;

class DemoInAViewer : public ::testing::Test {
  protected:
    tinygltf::Model import_demo(std::vector<std::string> options = {},
                                const fs::path& scene = KZV_DEMO_SCENE) {
        const fs::path output = dir_.path() / "demo.glb";
        std::vector<std::string> args{KZV_IMPORT, scene.string(), "-o", output.string()};
        args.insert(args.end(), options.begin(), options.end());
        last_run_ = kzv_test::run_program(args, dir_.path());
        EXPECT_EQ(last_run_.status, 0) << last_run_.err;
        EXPECT_FALSE(kzv_test::sanitizer_report(last_run_)) << last_run_.err;
        return read_gltf(output);
    }
    // The demo as an author of the other winding convention would have written it: every
    // triangle's corners in the opposite order, normals unchanged.
    fs::path write_other_convention_demo() {
        auto world = imp_kzv::scenewriter::MakeDemoWorld();
        for (const auto& geometry : world->Get_MeshGeomList()) {
            std::vector<std::shared_ptr<imp_kzv::p3dTri>> reversed;
            for (const auto& tri : geometry->Get_TriList()) {
                std::array<std::int32_t, 16> f = tri->Get_Fields();
                for (const std::size_t first : {0u, 3u, 7u, 10u, 13u}) std::swap(f[first], f[first + 2]);
                auto copy = std::make_shared<imp_kzv::p3dTri>();
                copy->Set_Fields(f);
                reversed.push_back(copy);
            }
            geometry->Set_TriList(reversed);
        }
        const fs::path path = dir_.path() / "other.KZV";
        imp_kzv::scenewriter::WriteSceneFile(*world, path.string());
        return path;
    }
    // Over the mesh nodes: the crates share one mesh.
    std::size_t faces_against(const tinygltf::Model& model) {
        std::size_t against = 0;
        for (const tinygltf::Node& node : model.nodes)
            if (node.mesh >= 0) against += facing_of(model, model.meshes.at(node.mesh)).against;
        return against;
    }
    kzv_test::ProgramRun last_run_;
    kzv_test::TempDir dir_;
};

// Node scales of -1 would turn the faces around; the demo's nodes only move and turn.
bool any_mirroring_node(const tinygltf::Model& model) {
    return std::any_of(model.nodes.begin(), model.nodes.end(), [](const tinygltf::Node& node) {
        return node.scale.size() == 3 && node.scale[0] * node.scale[1] * node.scale[2] < 0;
    });
}

// Triangles of a convex solid whose front side faces into it: the centre of the solid's corners is
// in front of them.
std::size_t inward_triangles(const tinygltf::Model& model, const tinygltf::Mesh& mesh) {
    std::vector<float> p;
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
        const std::vector<float> corners =
            kzv::host::testing::corner_values<float>(model, primitive, "POSITION");
        p.insert(p.end(), corners.begin(), corners.end());
    }
    float centre[3] = {0, 0, 0};
    for (std::size_t i = 0; i < p.size(); ++i) centre[i % 3] += p[i] / static_cast<float>(p.size() / 3);
    std::size_t inward = 0;
    for (std::size_t t = 0; t + 9 <= p.size(); t += 9) {
        const float* a = &p[t];
        const float u[3] = {a[3] - a[0], a[4] - a[1], a[5] - a[2]};
        const float v[3] = {a[6] - a[0], a[7] - a[1], a[8] - a[2]};
        const float front[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                u[0] * v[1] - u[1] * v[0]};
        const float to_centre[3] = {centre[0] - a[0], centre[1] - a[1], centre[2] - a[2]};
        if (front[0] * to_centre[0] + front[1] * to_centre[1] + front[2] * to_centre[2] >= 0) ++inward;
    }
    return inward;
}

TEST_F(DemoInAViewer, NoTriangleFacesAgainstItsNormals) {
    for (const bool keep_axes : {false, true}) {
        const tinygltf::Model model =
            import_demo(keep_axes ? std::vector<std::string>{"--keep-axes"} : std::vector<std::string>{});
        ASSERT_FALSE(any_mirroring_node(model));
        std::size_t triangles = 0;
        for (const tinygltf::Node& node : model.nodes) {
            if (node.mesh < 0) continue;
            const tinygltf::Mesh& mesh = model.meshes.at(node.mesh);
            const kzv::host::testing::Facing facing = facing_of(model, mesh);
            // --keep-axes mirrors the scene, but normals and corner order alike.
            EXPECT_EQ(facing.against, 0u) << mesh.name << (keep_axes ? " (axes kept)" : "");
            // The crates and the pyramid are convex solids, so every front faces out of them.
            if (mesh.primitives.front().mode == TINYGLTF_MODE_TRIANGLES) {
                EXPECT_EQ(inward_triangles(model, mesh), 0u) << mesh.name;
            }
            triangles += facing.triangles;
        }
        EXPECT_EQ(triangles, 30u);
    }
}

TEST_F(DemoInAViewer, ShowsTexturesVertexColoursCameraLightAndTrack) {
    const tinygltf::Model model = import_demo();
    EXPECT_EQ(model.images.size(), 2u);
    const auto textured = std::count_if(model.materials.begin(), model.materials.end(), [](const auto& m) {
        return m.pbrMetallicRoughness.baseColorTexture.index >= 0;
    });
    EXPECT_EQ(textured, 2);
    bool colours = false, loop = false;
    for (const tinygltf::Mesh& mesh : model.meshes) {
        for (const tinygltf::Primitive& primitive : mesh.primitives) {
            colours |= primitive.attributes.contains("COLOR_0");
            loop |= primitive.mode == TINYGLTF_MODE_LINE_LOOP;
        }
    }
    EXPECT_TRUE(colours);
    EXPECT_TRUE(loop);
    EXPECT_EQ(model.cameras.size(), 1u);
    ASSERT_EQ(model.lights.size(), 1u);
}

TEST_F(DemoInAViewer, OtherWindingConventionIsReportedAndRepairedOnRequest) {
    const fs::path other = write_other_convention_demo();
    EXPECT_EQ(faces_against(import_demo({}, other)), 30u);
    EXPECT_NE(last_run_.err.find("warning: polygons face against their vertex normals (authored in the other "
                                 "winding convention?) in 3 mesh nodes: \"Crate left\" (12 of 12), \"Crate "
                                 "right\" (12 of 12), \"Pyramid\" (6 of 6); --flip-winding"),
              std::string::npos)
        << last_run_.err;

    EXPECT_EQ(faces_against(import_demo({"--flip-winding"}, other)), 0u);
    EXPECT_NE(last_run_.err.find("warning: reversed the corner order of 30 polygons that faced against their "
                                 "vertex normals, in \"Crate left\" (12 of 12)"),
              std::string::npos)
        << last_run_.err;

    // The demo itself needs no repair, and --double-sided shows both sides of every material.
    const tinygltf::Model doubled = import_demo({"--double-sided"});
    EXPECT_EQ(last_run_.err.find("warning"), std::string::npos) << last_run_.err;
    for (const tinygltf::Material& material : doubled.materials)
        EXPECT_TRUE(material.doubleSided) << material.name;
}

}  // namespace
