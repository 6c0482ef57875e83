#include "scenewriter/sample_scenes.h"

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "scenefile/globals.h"
#include "scenefile/windows1252.h"

namespace imp_kzv::scenewriter {

namespace {

std::shared_ptr<p3dPt3D> pt3(float x, float y, float z) {
    auto p = std::make_shared<p3dPt3D>();
    p->x = x, p->y = y, p->z = z;
    return p;
}

std::shared_ptr<p3dPt2D> pt2(float x, float y) {
    auto p = std::make_shared<p3dPt2D>();
    p->x = x, p->y = y;
    return p;
}

TransMatrix translation(float x, float y, float z) {
    return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {x, y, z}}};
}

// A camera matrix at `eye` looking at `target` with the world's y up: rows right, up, view
// direction, position, in the editor's left-handed axes (right = up x direction).
TransMatrix look_at(std::array<float, 3> eye, std::array<float, 3> target) {
    using V = std::array<float, 3>;
    const auto normalised = [](V v) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        return V{v[0] / length, v[1] / length, v[2] / length};
    };
    const auto cross = [](V a, V b) {
        return V{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    const V direction = normalised({target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]});
    const V right = normalised(cross({0, 1, 0}, direction));
    const V up = cross(direction, right);
    return {{right, up, direction, eye}};
}

std::shared_ptr<p3dTri> tri(std::array<std::int32_t, 16> fields) {
    auto t = std::make_shared<p3dTri>();
    t->Set_Fields(fields);
    return t;
}

std::shared_ptr<p3dMaterial> material(std::string name, std::shared_ptr<p3dPt3D> diffuse) {
    auto m = std::make_shared<p3dMaterial>();
    m->name = std::move(name);
    m->ambient = pt3(0.2f, 0.2f, 0.2f);
    m->diffuse = std::move(diffuse);
    m->specular = pt3(1, 1, 1);
    m->emission = pt3(0, 0, 0);
    m->shininess = 32;
    m->tileX = 1;
    m->tileY = 1;
    return m;
}

// A unit cube with one normal per face corner, UVs per face corner and a colour per corner. Faces
// are authored in the editor's convention: seen from outside, a triangle's corners run clockwise in
// the order the host receives them (3, 2, 1), so counter-clockwise in the file's order.
std::shared_ptr<meshGeom> cube_geometry() {
    auto g = std::make_shared<meshGeom>();
    std::vector<std::shared_ptr<p3dVert>> verts;
    for (int i = 0; i < 8; ++i) {
        auto v = std::make_shared<p3dVert>();
        const float x = (i & 1) ? 1.f : -1.f, y = (i & 2) ? 1.f : -1.f, z = (i & 4) ? 1.f : -1.f;
        v->loc = pt3(x, y, z);
        // Three face normals per corner: the triangles of each face pick the one they need.
        v->Set_NormalList({pt3(x, 0, 0), pt3(0, y, 0), pt3(0, 0, z)});
        verts.push_back(v);
    }
    g->Set_VertexList(verts);
    g->Set_TexCoordsList({pt2(0, 0), pt2(1, 0), pt2(1, 1), pt2(0, 1)});
    g->Set_TexCoords2list({pt2(0, 0), pt2(2, 0), pt2(2, 2), pt2(0, 2)});
    // Pale tints, so that the textures stay readable under the vertex colours.
    g->Set_ColorList({pt3(1, 0.8f, 0.8f), pt3(0.8f, 1, 0.8f), pt3(0.8f, 0.8f, 1), pt3(1, 1, 1)});
    // Faces as corner quads (a, b, c, d), counter-clockwise seen from outside in the file's
    // left-handed axes, with the normal slot (0 = x, 1 = y, 2 = z) they use.
    struct Face {
        std::int32_t a, b, c, d, normal;
    };
    const std::array<Face, 6> faces = {{{1, 5, 7, 3, 0},
                                        {0, 2, 6, 4, 0},
                                        {2, 3, 7, 6, 1},
                                        {0, 4, 5, 1, 1},
                                        {4, 6, 7, 5, 2},
                                        {0, 1, 3, 2, 2}}};
    std::vector<std::shared_ptr<p3dTri>> tris;
    std::int32_t slot = 0;
    for (const Face& f : faces) {
        const std::int32_t n = f.normal, mat = slot++ % 2;
        tris.push_back(tri({f.a, f.b, f.c, n, n, n, mat, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
        tris.push_back(tri({f.a, f.c, f.d, n, n, n, mat, 0, 2, 3, 0, 2, 3, 0, 2, 3}));
    }
    g->Set_TriList(tris);
    return g;
}

// A square pyramid with vertex colours and no texture coordinates (-1) on its base. The base
// corners have a second normal, straight down, for the base's own triangles.
std::shared_ptr<meshGeom> pyramid_geometry() {
    auto g = std::make_shared<meshGeom>();
    std::vector<std::shared_ptr<p3dVert>> verts;
    for (const auto& [x, y, z] : std::array<std::array<float, 3>, 5>{
             {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}, {0, 1.5f, 0}}}) {
        auto v = std::make_shared<p3dVert>();
        v->loc = pt3(x, y, z);
        const float length = std::sqrt(x * x + 0.25f + z * z);  // the apex normal points straight up
        if (x == 0) {
            v->Set_NormalList({pt3(0, 1, 0)});
        } else {
            v->Set_NormalList({pt3(x / length, 0.5f / length, z / length), pt3(0, -1, 0)});
        }
        verts.push_back(v);
    }
    g->Set_VertexList(verts);
    g->Set_TexCoordsList({pt2(0, 0), pt2(1, 0), pt2(0.5f, 1)});
    g->Set_TexCoords2list({pt2(0, 0), pt2(1, 0), pt2(0.5f, 1)});
    g->Set_ColorList({pt3(1, 0.5f, 0), pt3(0, 0.5f, 1), pt3(1, 1, 0)});
    std::vector<std::shared_ptr<p3dTri>> tris;
    for (std::int32_t i = 0; i < 4; ++i) {
        const std::int32_t j = (i + 1) % 4;
        tris.push_back(tri({i, j, 4, 0, 0, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
    }
    // The base faces down: its corners run the other way round and use the downward normals.
    tris.push_back(tri({0, 2, 1, 1, 1, 1, 0, -1, -1, -1, -1, -1, -1, 0, 0, 0}));
    tris.push_back(tri({0, 3, 2, 1, 1, 1, 0, -1, -1, -1, -1, -1, -1, 1, 1, 1}));
    g->Set_TriList(tris);
    return g;
}

std::shared_ptr<p3dGroup> group(std::string name, std::vector<std::int32_t> children,
                                std::vector<std::int32_t> meshes, TransMatrix m) {
    auto g = std::make_shared<p3dGroup>();
    g->name = std::move(name);
    g->Set_iChildGroupList(std::move(children));
    g->Set_iMeshList(std::move(meshes));
    g->Set_p3dTransMatrix(m);
    g->pivot = pt3(0, 0, 0);
    return g;
}

std::shared_ptr<p3dMesh> mesh(std::string name, std::int32_t geometry, std::int32_t multi, TransMatrix m) {
    auto msh = std::make_shared<p3dMesh>();
    msh->name = std::move(name);
    msh->iMeshGeom = geometry;
    msh->iMultiMat = multi;
    msh->Set_p3dTransMatrix(m);
    return msh;
}

}  // namespace

std::shared_ptr<p3dWorld> MakeDemoWorld() {
    auto world = std::make_shared<p3dWorld>();
    world->strFileFormat = "KZV";
    world->strVersion = "1.0";
    world->bkgColor = pt3(0.1f, 0.1f, 0.15f);

    auto wood = material("Wood", pt3(1, 0.9f, 0.8f));  // a light tint over the texture
    wood->textureUsed = kTrue;
    wood->textureName = "wood.bmp";
    wood->mipMapsUsed = kTrue;
    auto checker = material("Checker", pt3(1, 1, 1));
    checker->textureUsed = kTrue;
    checker->textureName = "checker.bmp";
    checker->texture2Used = kTrue;
    checker->texture2Name = "checker.bmp";
    checker->tileX = 2;
    checker->tileY = 2;
    checker->twoSided = kTrue;
    world->Set_MaterialList({wood, checker});

    auto multi = std::make_shared<MultiMaterial>();
    multi->Set_iMatIndxList({0, 1});
    world->Set_MultiMatList({multi});

    auto camera = std::make_shared<p3dCamera>();
    camera->name = "Camera";
    camera->Set_p3dTransMatrix(look_at({5, 4.5f, -7.5f}, {0, 1, 1}));
    camera->fov = 45;
    camera->nearRange = 0.1f;
    camera->farRange = 1000;
    world->Set_CameraList({camera});

    world->Set_MeshGeomList({cube_geometry(), pyramid_geometry()});
    world->Set_MeshList({mesh("Crate left", 0, 0, translation(-3, 1, 0)),
                         mesh("Crate right", 0, 0, translation(3, 1, 0)),
                         mesh("Pyramid", 1, 0, translation(0, 0, 3))});

    auto root = group("Scene", {1, 2}, {}, translation(0, 0, 0));
    root->Set_iCameraList({0});
    root->Set_iLightList({0});
    root->Set_iTrackList({0});
    auto crates = group("Crates", {3}, {0}, translation(0, 0, 0));
    crates->userDataLen = 3;  // followed by 4 bytes of user data in the file
    auto pyramid = group("Pyramid group", {}, {2}, translation(0, 0, 0));
    auto inner = group("Inner crate group", {}, {1}, translation(0, 0.5f, 0));
    inner->pivot = pt3(3, 1, 0);
    world->Set_GroupList({root, crates, pyramid, inner});

    auto light = std::make_shared<p3dLight>();
    light->name = "Sun";
    light->loc = pt3(8, 10, -6);  // above, in front and to the right: each visible side shaded apart
    light->color = pt3(1, 0.95f, 0.9f);
    light->intensity = 1;
    light->minDist = 0;
    light->maxDist = 100;
    light->Set_iMeshesExcludedList({2});
    world->Set_LightList({light});

    auto track = std::make_shared<p3dTrack>();
    track->name = "Orbit";
    track->cyclic = kTrue;
    track->Set_PointList({pt3(10, 2, 0), pt3(0, 2, 10), pt3(-10, 2, 0), pt3(0, 2, -10)});
    world->Set_TrackList({track});
    return world;
}

std::shared_ptr<p3dWorld> MakeGridWorld(std::int32_t columns, std::int32_t rows) {
    auto world = std::make_shared<p3dWorld>();
    world->strFileFormat = "KZV";
    world->strVersion = "grid";
    world->bkgColor = pt3(0, 0, 0);

    const std::int32_t stride = columns + 1;
    std::vector<std::shared_ptr<p3dVert>> verts;
    std::vector<std::shared_ptr<p3dPt2D>> uvs;
    std::vector<std::shared_ptr<p3dPt3D>> colours;
    for (std::int32_t r = 0; r <= rows; ++r) {
        for (std::int32_t c = 0; c <= columns; ++c) {
            const float u = static_cast<float>(c) / static_cast<float>(columns);
            const float v = static_cast<float>(r) / static_cast<float>(rows);
            auto vert = std::make_shared<p3dVert>();
            vert->loc = pt3(static_cast<float>(c), 0.25f * std::sin(u * 12.0f) * std::cos(v * 9.0f),
                            static_cast<float>(r));
            vert->Set_NormalList({pt3(0, 1, 0)});
            verts.push_back(vert);
            uvs.push_back(pt2(u, v));
            colours.push_back(pt3(u, v, 1 - u));
        }
    }
    std::vector<std::shared_ptr<p3dTri>> tris;
    tris.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) * 2);
    for (std::int32_t r = 0; r < rows; ++r) {
        for (std::int32_t c = 0; c < columns; ++c) {
            const std::int32_t a = r * stride + c, b = a + 1, d = a + stride, e = d + 1;
            tris.push_back(tri({a, b, e, 0, 0, 0, 0, a, b, e, a, b, e, a, b, e}));
            tris.push_back(tri({a, e, d, 0, 0, 0, 0, a, e, d, a, e, d, a, e, d}));
        }
    }
    auto g = std::make_shared<meshGeom>();
    g->Set_VertexList(std::move(verts));
    g->Set_TexCoordsList(uvs);
    g->Set_TexCoords2list(std::move(uvs));
    g->Set_TriList(std::move(tris));
    g->Set_ColorList(std::move(colours));
    world->Set_MeshGeomList({g});
    world->Set_MaterialList({material("Grid", pt3(0.7f, 0.7f, 0.7f))});
    auto multi = std::make_shared<MultiMaterial>();
    multi->Set_iMatIndxList({0});
    world->Set_MultiMatList({multi});
    world->Set_MeshList({mesh("Grid", 0, 0, translation(0, 0, 0))});
    world->Set_GroupList({group("Root", {}, {0}, translation(0, 0, 0))});
    return world;
}

namespace {

class RandomContent {
  public:
    explicit RandomContent(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(engine_() % n); }
    std::int32_t count(std::uint32_t max) { return static_cast<std::int32_t>(below(max + 1)); }
    std::int32_t index() { return static_cast<std::int32_t>(below(40)) - 2; }

    // Mostly ordinary values, sometimes the ones that break naive readers and printers.
    float number() {
        switch (below(16)) {
            case 0:
                return std::numeric_limits<float>::infinity();
            case 1:
                return -std::numeric_limits<float>::infinity();
            case 2:
                return std::numeric_limits<float>::quiet_NaN();
            case 3:
                return -0.0f;
            case 4:
                return std::numeric_limits<float>::denorm_min();
            case 5:
                return std::numeric_limits<float>::max();
            case 6:
                return std::bit_cast<float>(static_cast<std::uint32_t>(engine_()));
            default:
                return static_cast<float>(static_cast<std::int32_t>(below(20001)) - 10000) / 64.0f;
        }
    }
    // A finite angle in degrees; the field of view goes through a conversion that must round-trip.
    float degrees() { return static_cast<float>(below(3600001)) / 1000.0f - 1800.0f; }
    std::int16_t flag() { return below(2) ? kTrue : kFalse; }
    std::shared_ptr<p3dPt3D> point3() { return pt3(number(), number(), number()); }
    std::shared_ptr<p3dPt2D> point2() { return pt2(number(), number()); }

    // Any windows-1252 bytes (NUL and the C1 stand-ins included), as the reader would decode them.
    std::string text() {
        std::vector<std::byte> bytes(below(12));
        for (std::byte& b : bytes) b = static_cast<std::byte>(below(256));
        std::string utf8;
        AppendWindows1252AsUtf8(bytes, utf8);
        return utf8;
    }
    std::vector<std::int32_t> indices(std::uint32_t max) {
        std::vector<std::int32_t> list(static_cast<std::size_t>(count(max)));
        for (std::int32_t& v : list) v = index();
        return list;
    }
    TransMatrix matrix() {
        TransMatrix m;
        for (auto& row : m) {
            for (float& cell : row) cell = number();
        }
        return m;
    }
    template <class T, class Make>
    std::vector<std::shared_ptr<T>> list(std::uint32_t max, Make make) {
        std::vector<std::shared_ptr<T>> out(static_cast<std::size_t>(count(max)));
        for (auto& item : out) item = make();
        return out;
    }

  private:
    std::mt19937 engine_;
};

std::shared_ptr<p3dMaterial> random_material(RandomContent& rnd) {
    auto m = std::make_shared<p3dMaterial>();
    m->name = rnd.text();
    m->ambient = rnd.point3();
    m->diffuse = rnd.point3();
    m->specular = rnd.point3();
    m->shininess = rnd.number();
    m->transparency = rnd.number();
    m->twoSided = rnd.flag();
    m->emission = rnd.point3();
    m->textureUsed = rnd.flag();
    m->textureName = rnd.text();
    m->mipMapsUsed = rnd.flag();
    m->alphaMapUsed = rnd.flag();
    m->alphaMapName = rnd.text();
    m->texture2Used = rnd.flag();
    m->texture2Name = rnd.text();
    m->tileX = rnd.number();
    m->tileY = rnd.number();
    return m;
}

std::shared_ptr<meshGeom> random_geometry(RandomContent& rnd) {
    auto g = std::make_shared<meshGeom>();
    g->Set_VertexList(rnd.list<p3dVert>(6, [&] {
        auto v = std::make_shared<p3dVert>();
        v->loc = rnd.point3();
        v->Set_NormalList(rnd.list<p3dPt3D>(3, [&] { return rnd.point3(); }));
        return v;
    }));
    g->Set_TexCoordsList(rnd.list<p3dPt2D>(4, [&] { return rnd.point2(); }));
    g->Set_TexCoords2list(rnd.list<p3dPt2D>(4, [&] { return rnd.point2(); }));
    g->Set_TriList(rnd.list<p3dTri>(5, [&] {
        std::array<std::int32_t, 16> fields;
        for (std::int32_t& f : fields) f = rnd.index();
        return tri(fields);
    }));
    g->Set_ColorList(rnd.list<p3dPt3D>(4, [&] { return rnd.point3(); }));
    return g;
}

std::shared_ptr<p3dGroup> random_group(RandomContent& rnd) {
    auto g = std::make_shared<p3dGroup>();
    g->name = rnd.text();
    g->Set_iChildGroupList(rnd.indices(3));
    g->Set_iMeshList(rnd.indices(3));
    g->Set_iCameraList(rnd.indices(2));
    g->Set_iLightList(rnd.indices(2));
    g->Set_iTrackList(rnd.indices(2));
    g->Set_p3dTransMatrix(rnd.matrix());
    g->pivot = rnd.point3();
    g->userDataLen = rnd.count(9);
    return g;
}

}  // namespace

std::shared_ptr<p3dWorld> MakeRandomWorld(std::uint32_t seed) {
    RandomContent rnd(seed);
    auto world = std::make_shared<p3dWorld>();
    world->strFileFormat = rnd.text();
    world->strVersion = rnd.text();
    world->bkgColor = rnd.point3();
    world->Set_MaterialList(rnd.list<p3dMaterial>(3, [&] { return random_material(rnd); }));
    world->Set_MultiMatList(rnd.list<MultiMaterial>(3, [&] {
        auto m = std::make_shared<MultiMaterial>();
        m->Set_iMatIndxList(rnd.indices(4));
        return m;
    }));
    world->Set_CameraList(rnd.list<p3dCamera>(2, [&] {
        auto c = std::make_shared<p3dCamera>();
        c->name = rnd.text();
        c->Set_p3dTransMatrix(rnd.matrix());
        c->fov = rnd.degrees();
        c->nearRange = rnd.number();
        c->farRange = rnd.number();
        return c;
    }));
    world->Set_MeshGeomList(rnd.list<meshGeom>(3, [&] { return random_geometry(rnd); }));
    world->Set_MeshList(
        rnd.list<p3dMesh>(4, [&] { return mesh(rnd.text(), rnd.index(), rnd.index(), rnd.matrix()); }));
    world->Set_GroupList(rnd.list<p3dGroup>(4, [&] { return random_group(rnd); }));
    world->Set_LightList(rnd.list<p3dLight>(2, [&] {
        auto l = std::make_shared<p3dLight>();
        l->name = rnd.text();
        l->loc = rnd.point3();
        l->color = rnd.point3();
        l->intensity = rnd.number();
        l->minDist = rnd.number();
        l->maxDist = rnd.number();
        l->Set_iMeshesExcludedList(rnd.indices(3));
        return l;
    }));
    world->Set_TrackList(rnd.list<p3dTrack>(2, [&] {
        auto t = std::make_shared<p3dTrack>();
        t->name = rnd.text();
        std::vector<std::shared_ptr<p3dPt3D>> points{rnd.point3()};  // a track needs at least one point
        for (const auto& p : rnd.list<p3dPt3D>(3, [&] { return rnd.point3(); })) points.push_back(p);
        t->Set_PointList(std::move(points));
        t->cyclic = rnd.flag();
        return t;
    }));
    return world;
}

std::shared_ptr<p3dWorld> MakeGroupTreeWorld(std::int32_t n) {
    auto world = std::make_shared<p3dWorld>();
    world->bkgColor = std::make_shared<p3dPt3D>();
    world->Set_MeshGeomList({MakeGridWorld(1, 1)->View_MeshGeomList().front()});
    std::vector<std::shared_ptr<p3dMesh>> meshes;
    std::vector<std::shared_ptr<p3dGroup>> groups;
    for (std::int32_t i = 0; i < n; ++i) {
        auto mesh = std::make_shared<p3dMesh>();
        mesh->name = "m" + std::to_string(i);
        mesh->iMultiMat = -1;
        // Each instance in a place of its own, on a square grid.
        mesh->Set_p3dTransMatrix(
            translation(static_cast<float>(3 * (i % 256)), 0, static_cast<float>(3 * (i / 256))));
        meshes.push_back(mesh);
        auto group = std::make_shared<p3dGroup>();
        group->name = "g" + std::to_string(i);
        group->pivot = std::make_shared<p3dPt3D>();
        group->Set_iMeshList({i});
        std::vector<std::int32_t> children;
        for (std::int32_t c = 2 * i + 1; c <= 2 * i + 2 && c < n; ++c) children.push_back(c);
        group->Set_iChildGroupList(children);
        groups.push_back(group);
    }
    world->Set_MeshList(meshes);
    world->Set_GroupList(groups);
    return world;
}

}  // namespace imp_kzv::scenewriter
