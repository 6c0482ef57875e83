#include "odd_scene.h"

#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "scenefile/globals.h"
#include "scenefile/windows1252.h"

namespace kzv::tools {
namespace {

using imp_kzv::kFalse;
using imp_kzv::kTrue;
using imp_kzv::TransMatrix;
using Float = std::numeric_limits<float>;

// Texture names as old scene files hold them, resolved against the files WriteOddBitmaps writes.
constexpr std::array kTextureNames{
    "wood.bmp",         "WOOD.BMP",
    "Sub\\Checker.bmp", "sub/checker.bmp",
    "missing.bmp",      "..\\..\\etc\\passwd",
    "C:\\win.ini",      "\\wood.bmp",
    "broken.bmp",       "",
    "dot.bmp",          "Dot.Bmp",
};

class OddValues {
  public:
    explicit OddValues(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t below(std::uint32_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(engine_() % n); }
    bool one_in(std::uint32_t n) { return below(n) == 0; }
    std::int32_t index_into(std::size_t size) {
        return static_cast<std::int32_t>(below(static_cast<std::uint32_t>(size)));
    }
    // -1 (none) or a valid index; an empty list gives -1.
    std::int32_t optional_index(std::size_t size) { return size == 0 || one_in(4) ? -1 : index_into(size); }
    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine_); }

    // An ordinary number most of the time, otherwise one that breaks naive code.
    float number(float range = 100) {
        if (!one_in(6)) return uniform(-range, range);
        constexpr std::array kOdd{Float::quiet_NaN(),
                                  Float::infinity(),
                                  -Float::infinity(),
                                  -0.0f,
                                  Float::denorm_min(),
                                  Float::max(),
                                  -Float::max(),
                                  1e30f,
                                  -1e-30f,
                                  0.0f};
        return kOdd[below(kOdd.size())];
    }
    // A colour component of 0..1, exact ends and a rounding tie included.
    float unit() {
        constexpr std::array kEdges{0.0f, 1.0f, 0.5f, 127.5f / 255.0f, -0.0f};
        return one_in(5) ? kEdges[below(kEdges.size())] : uniform(0, 1);
    }
    std::int16_t flag() { return one_in(2) ? kTrue : kFalse; }

    // Any windows-1252 bytes (NUL included), decoded as the reader does.
    std::string text() {
        std::vector<std::byte> bytes(below(10));
        for (std::byte& b : bytes) b = static_cast<std::byte>(below(256));
        std::string utf8;
        imp_kzv::AppendWindows1252AsUtf8(bytes, utf8);
        return utf8;
    }

  private:
    std::mt19937 engine_;
};

std::shared_ptr<imp_kzv::p3dPt3D> pt3(float x, float y, float z) {
    auto p = std::make_shared<imp_kzv::p3dPt3D>();
    p->x = x, p->y = y, p->z = z;
    return p;
}

std::shared_ptr<imp_kzv::p3dPt2D> pt2(float x, float y) {
    auto p = std::make_shared<imp_kzv::p3dPt2D>();
    p->x = x, p->y = y;
    return p;
}

std::shared_ptr<imp_kzv::p3dPt3D> position(OddValues& odd) {
    return pt3(odd.number(), odd.number(), odd.number());
}

std::shared_ptr<imp_kzv::p3dPt3D> normal(OddValues& odd) {
    switch (odd.below(8)) {
        case 0:
            return pt3(0, 0, 0);
        case 1:
            return pt3(odd.number(), odd.number(), odd.number());  // not of unit length, maybe not finite
        case 2:
            return pt3(1e30f, 0, -1e30f);
        case 3:
            return pt3(Float::denorm_min(), 0, 0);
        default: {
            const float x = odd.uniform(-1, 1), y = odd.uniform(-1, 1), z = odd.uniform(-1, 1);
            const float length = std::sqrt(x * x + y * y + z * z);
            return length > 0 ? pt3(x / length, y / length, z / length) : pt3(0, 1, 0);
        }
    }
}

// A colour that imports: 0..1, except now and then (1 in `rare`) a component above 1, which the
// plug-in refuses as an overflow.
std::shared_ptr<imp_kzv::p3dPt3D> colour(OddValues& odd, std::uint32_t rare) {
    const float over = odd.one_in(rare) ? 1.5f : 0.0f;
    return pt3(odd.unit() + over, odd.unit(), odd.unit());
}

TransMatrix matrix(OddValues& odd) {
    TransMatrix m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {odd.number(10), odd.number(10), odd.number(10)}}};
    switch (odd.below(9)) {
        case 0: {  // rotation about y with a scale
            const float a = odd.uniform(-3.14f, 3.14f), s = odd.uniform(0.01f, 100);
            m[0] = {s * std::cos(a), 0, -s * std::sin(a)};
            m[2] = {s * std::sin(a), 0, s * std::cos(a)};
            break;
        }
        case 1:  // mirror
            m[0][0] = -1;
            break;
        case 2:  // shear
            m[1][0] = odd.uniform(-2, 2);
            break;
        case 3:  // zero scale along one axis
            m[odd.below(3)] = {0, 0, 0};
            break;
        case 4:  // anything, NaN and infinities included
            for (auto& row : m)
                for (float& cell : row) cell = odd.number();
            break;
        case 5:  // huge scale
            m[0][0] = m[1][1] = m[2][2] = 1e20f;
            break;
        default:
            break;
    }
    return m;
}

std::shared_ptr<imp_kzv::p3dMaterial> material(OddValues& odd) {
    auto m = std::make_shared<imp_kzv::p3dMaterial>();
    m->name = odd.text();
    m->ambient = colour(odd, 1000);
    // Diffuse goes to the host unclamped: above 1 and below 0 import (the writer clamps them).
    m->diffuse = odd.one_in(5) ? pt3(odd.uniform(-2, 3), 1e4f, -0.0f) : colour(odd, 1000);
    m->specular = position(odd);
    m->emission = position(odd);
    m->shininess = odd.number();
    m->transparency = odd.number();
    m->twoSided = odd.flag();
    m->textureUsed = odd.flag();
    m->textureName = kTextureNames[odd.below(kTextureNames.size())];
    m->mipMapsUsed = odd.flag();
    m->alphaMapUsed = odd.flag();
    m->alphaMapName = odd.text();
    m->texture2Used = odd.flag();
    m->texture2Name = kTextureNames[odd.below(kTextureNames.size())];
    m->tileX = odd.one_in(2) ? 1 : odd.number(8);
    m->tileY = odd.one_in(2) ? 1 : odd.number(8);
    return m;
}

std::shared_ptr<imp_kzv::MultiMaterial> multi_material(OddValues& odd, std::size_t materials) {
    auto multi = std::make_shared<imp_kzv::MultiMaterial>();
    // An empty multi-material divides by zero when a material is selected: rare, and a failure.
    const std::uint32_t count = odd.one_in(60) ? 0 : 1 + odd.below(4);
    std::vector<std::int32_t> indices(count);
    for (std::int32_t& index : indices) index = materials == 0 ? 0 : odd.index_into(materials);
    multi->Set_iMatIndxList(std::move(indices));
    return multi;
}

struct GeometryLists {
    std::vector<std::shared_ptr<imp_kzv::p3dVert>> vertices;
    std::vector<std::shared_ptr<imp_kzv::p3dPt2D>> uvs, uvs2;
    std::vector<std::shared_ptr<imp_kzv::p3dPt3D>> colours;
};

std::shared_ptr<imp_kzv::p3dTri> triangle(OddValues& odd, const GeometryLists& lists) {
    std::array<std::int32_t, 3> corners{};
    for (std::int32_t& v : corners) v = odd.index_into(lists.vertices.size());
    if (odd.one_in(8)) corners[1] = corners[0];  // degenerate
    std::array<std::int32_t, 16> f{};
    for (std::size_t c = 0; c < 3; ++c) {
        f[c] = corners[c];
        f[3 + c] = odd.optional_index(
            lists.vertices[static_cast<std::size_t>(corners[c])]->View_NormalList().size());
        f[7 + c] = odd.optional_index(lists.uvs.size());
        f[10 + c] = odd.optional_index(lists.uvs2.size());
        f[13 + c] = odd.optional_index(lists.colours.size());
    }
    // Slots wrap around the multi-material; a negative one fails there (rarely, by design).
    f[6] = odd.one_in(400) ? -1 : static_cast<std::int32_t>(odd.below(9));
    auto t = std::make_shared<imp_kzv::p3dTri>();
    t->Set_Fields(f);
    return t;
}

std::shared_ptr<imp_kzv::p3dPt2D> texture_point(OddValues& odd) {
    return odd.one_in(6) ? pt2(odd.number(), odd.number()) : pt2(odd.unit(), odd.unit());
}

std::shared_ptr<imp_kzv::meshGeom> geometry(OddValues& odd) {
    GeometryLists lists;
    const std::uint32_t vertex_count = odd.one_in(8) ? 0 : 1 + odd.below(10);
    for (std::uint32_t i = 0; i < vertex_count; ++i) {
        auto v = std::make_shared<imp_kzv::p3dVert>();
        v->loc =
            odd.one_in(10) ? position(odd) : pt3(odd.uniform(-5, 5), odd.uniform(-5, 5), odd.uniform(-5, 5));
        std::vector<std::shared_ptr<imp_kzv::p3dPt3D>> normals(odd.below(3));
        for (auto& n : normals) n = normal(odd);
        v->Set_NormalList(std::move(normals));
        lists.vertices.push_back(v);
    }
    for (std::uint32_t i = odd.below(6); i > 0; --i) lists.uvs.push_back(texture_point(odd));
    for (std::uint32_t i = odd.below(6); i > 0; --i) lists.uvs2.push_back(texture_point(odd));
    for (std::uint32_t i = odd.below(6); i > 0; --i) lists.colours.push_back(colour(odd, 300));
    std::vector<std::shared_ptr<imp_kzv::p3dTri>> triangles;
    if (vertex_count > 0) {
        for (std::uint32_t i = odd.below(17); i > 0; --i) triangles.push_back(triangle(odd, lists));
    }
    auto g = std::make_shared<imp_kzv::meshGeom>();
    g->Set_VertexList(std::move(lists.vertices));
    g->Set_TexCoordsList(std::move(lists.uvs));
    g->Set_TexCoords2list(std::move(lists.uvs2));
    g->Set_ColorList(std::move(lists.colours));
    g->Set_TriList(std::move(triangles));
    return g;
}

std::shared_ptr<imp_kzv::p3dCamera> camera(OddValues& odd) {
    constexpr std::array kFov{
        45.0f, 0.0f, -30.0f, 179.0f, 360.0f, 1e6f, Float::quiet_NaN(), Float::infinity()};
    constexpr std::array kNear{
        0.1f, 0.0f, -1.0f, Float::quiet_NaN(), Float::infinity(), 1e30f, Float::denorm_min()};
    auto c = std::make_shared<imp_kzv::p3dCamera>();
    c->name = odd.text();
    TransMatrix m = matrix(odd);
    if (odd.one_in(4)) m[0] = m[2];  // parallel axes
    if (odd.one_in(6)) m[2] = {0, 0, 0};
    c->Set_p3dTransMatrix(m);
    c->fov = odd.one_in(2) ? odd.uniform(1, 120) : kFov[odd.below(kFov.size())];
    c->nearRange = odd.one_in(2) ? odd.uniform(0.01f, 10) : kNear[odd.below(kNear.size())];
    c->farRange = odd.number();
    return c;
}

std::shared_ptr<imp_kzv::p3dLight> light(OddValues& odd) {
    constexpr std::array kIntensity{
        1.0f, -2.0f, 0.0f, Float::quiet_NaN(), Float::infinity(), -Float::infinity(), 1e30f};
    constexpr std::array kRange{
        100.0f, 0.0f, -5.0f, Float::quiet_NaN(), Float::infinity(), Float::denorm_min()};
    auto l = std::make_shared<imp_kzv::p3dLight>();
    l->name = odd.text();
    l->loc = odd.one_in(8) ? position(odd) : pt3(odd.uniform(-9, 9), odd.uniform(-9, 9), odd.uniform(-9, 9));
    l->color = colour(odd, 40);
    l->intensity = kIntensity[odd.below(kIntensity.size())];
    l->minDist = odd.number();
    l->maxDist = kRange[odd.below(kRange.size())];
    return l;
}

std::shared_ptr<imp_kzv::p3dTrack> track(OddValues& odd) {
    auto t = std::make_shared<imp_kzv::p3dTrack>();
    t->name = odd.text();
    t->cyclic = odd.flag();
    std::vector<std::shared_ptr<imp_kzv::p3dPt3D>> points(1 + odd.below(6));  // the reader needs one
    for (auto& p : points) p = odd.one_in(5) ? position(odd) : pt3(odd.uniform(-9, 9), 0, odd.uniform(-9, 9));
    t->Set_PointList(std::move(points));
    return t;
}

// Groups form a tree or a DAG (a child only ever has a larger index than its parent, so no cycle),
// may list one mesh twice, share a child between parents, or be listed by nobody.
std::vector<std::shared_ptr<imp_kzv::p3dGroup>> groups(OddValues& odd, std::size_t meshes) {
    std::vector<std::shared_ptr<imp_kzv::p3dGroup>> list(1 + odd.below(6));
    for (std::size_t i = 0; i < list.size(); ++i) {
        auto g = std::make_shared<imp_kzv::p3dGroup>();
        g->name = odd.text();
        std::vector<std::int32_t> children, mesh_list;
        for (std::size_t c = i + 1; c < list.size(); ++c)
            if (odd.one_in(2)) children.push_back(static_cast<std::int32_t>(c));
        // The root lists at least one mesh instance, so that most scenes have polygons.
        for (std::uint32_t k = meshes == 0 ? 0 : (i == 0) + odd.below(4); k > 0; --k)
            mesh_list.push_back(odd.index_into(meshes));
        g->Set_iChildGroupList(std::move(children));
        g->Set_iMeshList(std::move(mesh_list));
        g->Set_p3dTransMatrix(matrix(odd));
        g->pivot = position(odd);
        g->userDataLen = static_cast<std::int32_t>(odd.below(5));
        list[i] = g;
    }
    return list;
}

std::shared_ptr<imp_kzv::p3dMesh> mesh(OddValues& odd, std::size_t geometries, std::size_t multis) {
    auto m = std::make_shared<imp_kzv::p3dMesh>();
    m->name = odd.text();
    m->iMeshGeom = odd.index_into(geometries);
    m->iMultiMat = multis == 0 || odd.one_in(4) ? -1 : odd.index_into(multis);
    m->Set_p3dTransMatrix(matrix(odd));
    return m;
}

template <class Make>
auto make_list(std::uint32_t count, Make make) {
    std::vector<decltype(make())> list(count);
    for (auto& item : list) item = make();
    return list;
}

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

// An uncompressed 24-bit BMP of width x height pixels, colour chosen per pixel.
std::vector<std::uint8_t> bmp(std::uint32_t width, std::uint32_t height, std::uint8_t tint) {
    const std::uint32_t row_bytes = (3 * width + 3) & ~3u;
    std::vector<std::uint8_t> out{'B', 'M'};
    const auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(54 + row_bytes * height, 4), put(0, 4), put(54, 4), put(40, 4), put(width, 4), put(height, 4);
    put(1, 2), put(24, 2), put(0, 4), put(row_bytes * height, 4), put(2835, 4), put(2835, 4), put(0, 4),
        put(0, 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto v = static_cast<std::uint8_t>(((x + y) % 2) * 200);
            out.insert(out.end(), {v, tint, static_cast<std::uint8_t>(255 - v)});
        }
        out.resize(out.size() + (row_bytes - 3 * width), 0);
    }
    return out;
}

}  // namespace

std::shared_ptr<imp_kzv::p3dWorld> MakeOddWorld(std::uint32_t seed) {
    OddValues odd(seed);
    auto world = std::make_shared<imp_kzv::p3dWorld>();
    world->strFileFormat = odd.text();
    world->strVersion = odd.text();
    world->bkgColor = position(odd);
    world->Set_MaterialList(make_list(odd.below(5), [&] { return material(odd); }));
    const std::size_t materials = world->View_MaterialList().size();
    world->Set_MultiMatList(make_list(odd.below(4), [&] { return multi_material(odd, materials); }));
    world->Set_CameraList(make_list(odd.below(3), [&] { return camera(odd); }));
    world->Set_MeshGeomList(make_list(1 + odd.below(3), [&] { return geometry(odd); }));
    const std::size_t geometries = world->Get_MeshGeomList().size(),
                      multis = world->Get_MultiMatList().size();
    world->Set_MeshList(
        make_list(odd.one_in(10) ? 0 : 1 + odd.below(5), [&] { return mesh(odd, geometries, multis); }));
    world->Set_GroupList(groups(odd, world->View_MeshList().size()));
    world->Set_LightList(make_list(odd.below(3), [&] { return light(odd); }));
    world->Set_TrackList(make_list(odd.below(3), [&] { return track(odd); }));
    return world;
}

void WriteOddBitmaps(const std::filesystem::path& folder) {
    const std::filesystem::path bitmaps = folder / "Bitmaps";
    std::filesystem::create_directories(bitmaps / "sub");
    write_file(bitmaps / "wood.bmp", bmp(8, 8, 120));
    write_file(bitmaps / "sub" / "checker.bmp", bmp(4, 2, 30));
    write_file(bitmaps / "dot.bmp", bmp(1, 1, 255));
    write_file(bitmaps / "broken.bmp",
               {'B', 'M', 0, 1, 2, 3, 'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
}

}  // namespace kzv::tools
