// Builds small worlds in code and imports them through clsPlugin into the recording host.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "recording_host.h"
#include "scenefile/p3dWorld.h"
#include "scenewriter/scene_writer.h"
#include "shell/clsPlugin.h"
#include "tessavo/user_interface.h"

namespace kzv_test {

using namespace imp_kzv;

inline std::shared_ptr<p3dPt3D> P3(float x, float y, float z) {
    auto p = std::make_shared<p3dPt3D>();
    p->x = x, p->y = y, p->z = z;
    return p;
}
inline std::shared_ptr<p3dPt2D> P2(float x, float y) {
    auto p = std::make_shared<p3dPt2D>();
    p->x = x, p->y = y;
    return p;
}

inline TransMatrix Translation(float x, float y, float z) {
    return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {x, y, z}}};
}

inline std::shared_ptr<p3dVert> Vert(float x, float y, float z,
                                     std::vector<std::shared_ptr<p3dPt3D>> normals = {}) {
    auto v = std::make_shared<p3dVert>();
    v->loc = P3(x, y, z);
    v->Set_NormalList(std::move(normals));
    return v;
}

// Corner indices of one triangle, named as the corners 1, 2, 3 of the record.
struct TriSpec {
    std::array<std::int32_t, 3> vert{0, 1, 2};
    std::array<std::int32_t, 3> n{-1, -1, -1};
    std::int32_t mat = 0;
    std::array<std::int32_t, 3> tc{-1, -1, -1};
    std::array<std::int32_t, 3> tcs{-1, -1, -1};
    std::array<std::int32_t, 3> vc{-1, -1, -1};
};

inline std::shared_ptr<p3dTri> Tri(const TriSpec& s) {
    auto t = std::make_shared<p3dTri>();
    t->Set_Fields({s.vert[0], s.vert[1], s.vert[2], s.n[0], s.n[1], s.n[2], s.mat, s.tc[0], s.tc[1], s.tc[2],
                   s.tcs[0], s.tcs[1], s.tcs[2], s.vc[0], s.vc[1], s.vc[2]});
    return t;
}

// A geometry of three vertices (1,2,3), (4,5,6), (7,8,9) without normals, holding the given triangles.
inline std::shared_ptr<meshGeom> TriangleGeometry(std::vector<std::shared_ptr<p3dTri>> tris) {
    auto g = std::make_shared<meshGeom>();
    g->Set_VertexList({Vert(1, 2, 3), Vert(4, 5, 6), Vert(7, 8, 9)});
    g->Set_TriList(std::move(tris));
    return g;
}

inline std::shared_ptr<p3dMesh> Mesh(std::string name, std::int32_t geometry, std::int32_t multiMat = -1,
                                     TransMatrix m = Translation(10, 20, 30)) {
    auto mesh = std::make_shared<p3dMesh>();
    mesh->name = std::move(name);
    mesh->iMeshGeom = geometry;
    mesh->iMultiMat = multiMat;
    mesh->Set_p3dTransMatrix(m);
    return mesh;
}

inline std::shared_ptr<p3dGroup> Group(std::string name, std::vector<std::int32_t> meshes = {},
                                       std::vector<std::int32_t> children = {}) {
    auto g = std::make_shared<p3dGroup>();
    g->name = std::move(name);
    g->Set_iMeshList(std::move(meshes));
    g->Set_iChildGroupList(std::move(children));
    g->pivot = P3(0, 0, 0);
    return g;
}

inline std::shared_ptr<p3dMaterial> Material(std::shared_ptr<p3dPt3D> diffuse, float tileX = 1,
                                             float tileY = 1) {
    auto m = std::make_shared<p3dMaterial>();
    m->ambient = P3(0, 0, 0);
    m->diffuse = std::move(diffuse);
    m->specular = P3(0, 0, 0);
    m->emission = P3(0, 0, 0);
    m->tileX = tileX;
    m->tileY = tileY;
    return m;
}

inline std::shared_ptr<MultiMaterial> Multi(std::vector<std::int32_t> entries) {
    auto mm = std::make_shared<MultiMaterial>();
    mm->Set_iMatIndxList(std::move(entries));
    return mm;
}

// One root group holding one mesh instance "tri" of geometry 0.
inline std::shared_ptr<p3dWorld> OneMeshWorld(std::shared_ptr<meshGeom> geometry) {
    auto w = std::make_shared<p3dWorld>();
    w->bkgColor = P3(0, 0, 0);
    w->Set_MeshGeomList({std::move(geometry)});
    w->Set_MeshList({Mesh("tri", 0)});
    w->Set_GroupList({Group("root", {0})});
    return w;
}

// A world that makes every kind of import call at least once: a camera, a light, a cyclic track, a
// material with both bitmaps, a multi-material, and a triangle with normals, colours and both UV sets.
inline std::shared_ptr<p3dWorld> FullWorld() {
    auto g =
        TriangleGeometry({Tri({.n = {0, -1, -1}, .tc = {0, 0, 0}, .tcs = {0, -1, -1}, .vc = {0, 0, 0}})});
    g->Set_VertexList({Vert(1, 2, 3, {P3(0, 0, 1)}), Vert(4, 5, 6), Vert(7, 8, 9)});
    g->Set_TexCoordsList({P2(0.5f, 0.5f)});
    g->Set_TexCoords2list({P2(0.25f, 0.75f)});
    g->Set_ColorList({P3(1, 0, 0)});
    auto w = OneMeshWorld(g);
    auto m = Material(P3(1, 1, 1));
    m->textureUsed = m->texture2Used = -1;
    m->textureName = "a.bmp";
    m->texture2Name = "b.bmp";
    w->Set_MaterialList({m});
    w->Set_MultiMatList({Multi({0})});
    w->Set_MeshList({Mesh("tri", 0, 0)});
    auto cam = std::make_shared<p3dCamera>();
    cam->fov = 60;
    auto light = std::make_shared<p3dLight>();
    light->loc = P3(0, 0, 0);
    light->color = P3(1, 1, 1);
    auto track = std::make_shared<p3dTrack>();
    track->Set_PointList({P3(0, 0, 0)});
    track->cyclic = -1;
    w->Set_CameraList({cam});
    w->Set_LightList({light});
    w->Set_TrackList({track});
    return w;
}

// A plug-in object attached to a recording host, with the host's user interface installed for the
// thread. The log starts empty after SetHost.
class ImportRun {
  public:
    static constexpr char kNominalPath[] = "/nonexistent/scenes/scene.KZV";

    explicit ImportRun(std::int32_t lcid = 1033) : host_(lcid), ui_(host_.user_interface()) {
        EXPECT_TRUE(clsPlugin::Create(plugin_).ok());
        tessavo::IHostApplication* app = host_.application();
        EXPECT_TRUE(plugin_->SetHost(app).ok());
        host_.ClearLog();
    }
    ~ImportRun() {
        std::error_code ec;
        for (const auto& f : files_) std::filesystem::remove(f, ec);
    }

    RecordingHost& host() { return host_; }
    clsPlugin& plugin() { return *plugin_; }

    std::string WriteFile(const p3dWorld& world) {
        static std::atomic<int> counter{0};
        const auto path =
            std::filesystem::temp_directory_path() /
            ("kzv-import-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".KZV");
        scenewriter::WriteSceneFile(world, path.string());
        files_.push_back(path);
        return path.string();
    }

    // Imports world from memory, as the Import command would after the dialog: nothing is written.
    // The scene's nominal path names no existing file, so its bitmaps are looked up beside that path.
    void Import(const p3dWorld& world) {
        const std::vector<std::byte> bytes = scenewriter::WriteScene(world);
        EXPECT_TRUE(plugin_->ImportScene(kNominalPath, bytes).ok());
    }
    // Runs the Import command on world; the dialog answers with the written file's path.
    std::string ImportFile(const p3dWorld& world) {
        const std::string path = WriteFile(world);
        ImportPath(path);
        return path;
    }
    void ImportPath(const std::string& path) {
        host_.ui().AnswerDialog(path);
        std::int32_t result = -1;
        EXPECT_TRUE(plugin_->Import(result).ok());
        EXPECT_EQ(result, 0);
    }

    // Log lines from the first ShowProgress on, leaving out the dialog.
    std::vector<std::string> ImportLines() const {
        std::vector<std::string> out;
        for (const auto& line : host_.lines())
            if (OpOfLine(line) != "OpenFileDialog") out.push_back(line);
        return out;
    }

  private:
    RecordingHost host_;
    tessavo::ScopedUserInterface ui_;
    tessavo::Ref<clsPlugin> plugin_;
    std::vector<std::filesystem::path> files_;
};

}  // namespace kzv_test
