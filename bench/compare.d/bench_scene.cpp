#include "bench_scene.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "scenefile/globals.h"
#include "scenewriter/byte_writer.h"

namespace kzv_bench {
namespace {

using imp_kzv::scenewriter::ByteWriter;
using Vec3 = std::array<float, 3>;

std::shared_ptr<imp_kzv::p3dPt3D> point3(const Vec3& v) {
    auto p = std::make_shared<imp_kzv::p3dPt3D>();
    p->x = v[0], p->y = v[1], p->z = v[2];
    return p;
}

std::shared_ptr<imp_kzv::p3dPt2D> point2(const std::array<float, 2>& v) {
    auto p = std::make_shared<imp_kzv::p3dPt2D>();
    p->x = v[0], p->y = v[1];
    return p;
}

imp_kzv::TransMatrix translation(const Vec3& t) {
    return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {t[0], t[1], t[2]}}};
}

Vec3 world_position(const GridMesh& mesh, std::size_t i) {
    const Vec3& p = mesh.positions[i];
    return {p[0] + mesh.offset[0], p[1] + mesh.offset[1], p[2] + mesh.offset[2]};
}

// A gentle wave, so that normals and bounds are not trivial.
void add_vertex(GridMesh& mesh, std::int32_t c, std::int32_t r, std::int32_t columns, std::int32_t rows) {
    const float u = static_cast<float>(c) / static_cast<float>(columns);
    const float v = static_cast<float>(r) / static_cast<float>(rows);
    const float height = 0.25f * std::sin(12 * u) * std::cos(9 * v);
    const float slope_x = 3.0f * std::cos(12 * u) * std::cos(9 * v) / static_cast<float>(columns);
    const float slope_z = -2.25f * std::sin(12 * u) * std::sin(9 * v) / static_cast<float>(rows);
    const float length = std::sqrt(slope_x * slope_x + 1 + slope_z * slope_z);
    mesh.positions.push_back({static_cast<float>(c), height, static_cast<float>(r)});
    mesh.normals.push_back({-slope_x / length, 1 / length, -slope_z / length});
    mesh.uv.push_back({u, v});
    mesh.uv2.push_back({u * 0.5f, v * 0.5f});
    mesh.colours.push_back({u, v, 1 - u});
}

GridMesh make_grid(std::int32_t columns, std::int32_t rows, const Vec3& offset) {
    GridMesh mesh;
    mesh.offset = offset;
    for (std::int32_t r = 0; r <= rows; ++r) {
        for (std::int32_t c = 0; c <= columns; ++c) add_vertex(mesh, c, r, columns, rows);
    }
    const auto stride = static_cast<std::uint32_t>(columns + 1);
    mesh.triangles.reserve(2 * static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    for (std::uint32_t r = 0; r < static_cast<std::uint32_t>(rows); ++r) {
        for (std::uint32_t c = 0; c < static_cast<std::uint32_t>(columns); ++c) {
            const std::uint32_t a = r * stride + c, b = a + 1, d = a + stride, e = d + 1;
            mesh.triangles.push_back({a, b, e});
            mesh.triangles.push_back({a, e, d});
        }
    }
    return mesh;
}

std::shared_ptr<imp_kzv::meshGeom> geometry(const GridMesh& mesh) {
    std::vector<std::shared_ptr<imp_kzv::p3dVert>> vertices;
    std::vector<std::shared_ptr<imp_kzv::p3dPt2D>> uv, uv2;
    std::vector<std::shared_ptr<imp_kzv::p3dPt3D>> colours;
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        auto vertex = std::make_shared<imp_kzv::p3dVert>();
        vertex->loc = point3(mesh.positions[i]);
        vertex->Set_NormalList({point3(mesh.normals[i])});
        vertices.push_back(std::move(vertex));
        uv.push_back(point2(mesh.uv[i]));
        uv2.push_back(point2(mesh.uv2[i]));
        colours.push_back(point3(mesh.colours[i]));
    }
    std::vector<std::shared_ptr<imp_kzv::p3dTri>> triangles;
    triangles.reserve(mesh.triangles.size());
    for (const auto& t : mesh.triangles) {
        const auto a = static_cast<std::int32_t>(t[0]), b = static_cast<std::int32_t>(t[1]),
                   c = static_cast<std::int32_t>(t[2]);
        auto tri = std::make_shared<imp_kzv::p3dTri>();
        // Corner lists all use the vertex's index; normal 0 of each vertex; material slot 0.
        tri->Set_Fields({a, b, c, 0, 0, 0, 0, a, b, c, a, b, c, a, b, c});
        triangles.push_back(std::move(tri));
    }
    auto g = std::make_shared<imp_kzv::meshGeom>();
    g->Set_VertexList(std::move(vertices));
    g->Set_TexCoordsList(std::move(uv));
    g->Set_TexCoords2list(std::move(uv2));
    g->Set_TriList(std::move(triangles));
    g->Set_ColorList(std::move(colours));
    return g;
}

std::shared_ptr<imp_kzv::p3dMaterial> textured_material(const std::string& texture_name) {
    auto m = std::make_shared<imp_kzv::p3dMaterial>();
    m->name = "Checker";
    m->ambient = point3({0.2f, 0.2f, 0.2f});
    m->diffuse = point3({0.8f, 0.8f, 0.8f});
    m->specular = point3({1, 1, 1});
    m->emission = point3({0, 0, 0});
    m->shininess = 32;
    m->tileX = 1;
    m->tileY = 1;
    m->textureUsed = imp_kzv::kTrue;
    m->textureName = texture_name;
    return m;
}

void append_ply_header(std::string& header, std::size_t vertices, std::size_t triangles) {
    header = "ply\nformat binary_little_endian 1.0\ncomment bench/compare scene\n";
    header += "element vertex " + std::to_string(vertices) + "\n";
    for (const char* name : {"x", "y", "z", "nx", "ny", "nz", "s", "t"})
        header += std::string("property float ") + name + "\n";
    header += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
    header += "element face " + std::to_string(triangles) + "\n";
    header += "property list uchar int vertex_indices\nend_header\n";
}

std::uint8_t colour_byte(float c) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255));
}

// The glTF buffer and JSON being built: each added view is 4-byte aligned in the one buffer.
class GlbBuilder {
  public:
    // A buffer view with an accessor over it; returns the accessor's index.
    template <std::size_t N>
    std::size_t add_floats(const std::vector<std::array<float, N>>& values, const char* type) {
        const std::size_t offset = bin_.size();
        for (const auto& value : values)
            for (const float f : value) bin_.float32(f);
        return add_accessor(offset, 5126, values.size(), type);
    }
    std::size_t add_indices(const std::vector<std::array<std::uint32_t, 3>>& triangles) {
        const std::size_t offset = bin_.size();
        for (const auto& t : triangles)
            for (const std::uint32_t i : t) bin_.int32(static_cast<std::int32_t>(i));
        return add_accessor(offset, 5125, 3 * triangles.size(), "SCALAR");
    }
    std::size_t add_view(const std::vector<std::byte>& bytes) {
        const std::size_t offset = bin_.size();
        bin_.bytes(bytes);
        bin_.zeros((4 - bin_.size() % 4) % 4);
        return add_view_json(offset, bytes.size());
    }
    nlohmann::json& json() { return json_; }
    nlohmann::json& accessor(std::size_t i) { return json_["accessors"][i]; }

    std::vector<std::byte> finish() {
        json_["buffers"] = nlohmann::json::array({{{"byteLength", bin_.size()}}});
        std::string text = json_.dump();
        text.append((4 - text.size() % 4) % 4, ' ');
        ByteWriter glb;
        const std::size_t total = 12 + 8 + text.size() + 8 + bin_.size();
        glb.int32(0x46546C67).int32(2).int32(static_cast<std::int32_t>(total));
        glb.int32(static_cast<std::int32_t>(text.size())).int32(0x4E4F534A);
        for (const char c : text) glb.byte(static_cast<std::uint8_t>(c));
        glb.int32(static_cast<std::int32_t>(bin_.size())).int32(0x004E4942).bytes(bin_.data());
        return glb.take();
    }

  private:
    std::size_t add_view_json(std::size_t offset, std::size_t length) {
        json_["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}});
        return json_["bufferViews"].size() - 1;
    }
    std::size_t add_accessor(std::size_t offset, int component_type, std::size_t count, const char* type) {
        const std::size_t view = add_view_json(offset, bin_.size() - offset);
        json_["accessors"].push_back(
            {{"bufferView", view}, {"componentType", component_type}, {"count", count}, {"type", type}});
        return json_["accessors"].size() - 1;
    }

    ByteWriter bin_;
    nlohmann::json json_ = nlohmann::json::object();
};

std::vector<Vec3> world_positions(const GridMesh& mesh) {
    std::vector<Vec3> positions;
    positions.reserve(mesh.positions.size());
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) positions.push_back(world_position(mesh, i));
    return positions;
}

nlohmann::json bounds(const std::vector<Vec3>& positions, bool upper) {
    Vec3 result = positions.front();
    for (const Vec3& p : positions)
        for (int axis = 0; axis < 3; ++axis)
            result[axis] = upper ? std::max(result[axis], p[axis]) : std::min(result[axis], p[axis]);
    return {result[0], result[1], result[2]};
}

nlohmann::json glb_primitive(GlbBuilder& glb, const GridMesh& mesh) {
    const std::vector<Vec3> positions = world_positions(mesh);
    const std::size_t position = glb.add_floats(positions, "VEC3");
    glb.accessor(position)["min"] = bounds(positions, false);
    glb.accessor(position)["max"] = bounds(positions, true);
    nlohmann::json attributes = {{"POSITION", position},
                                 {"NORMAL", glb.add_floats(mesh.normals, "VEC3")},
                                 {"TEXCOORD_0", glb.add_floats(mesh.uv, "VEC2")},
                                 {"TEXCOORD_1", glb.add_floats(mesh.uv2, "VEC2")},
                                 {"COLOR_0", glb.add_floats(mesh.colours, "VEC3")}};
    return {{"attributes", attributes}, {"indices", glb.add_indices(mesh.triangles)}, {"material", 0}};
}

}  // namespace

std::vector<GridMesh> make_grid_meshes(std::int64_t triangles, int instances) {
    instances = std::max(1, instances);
    const std::int64_t quads = std::max<std::int64_t>(1, triangles / (2 * instances));
    const auto rows = static_cast<std::int32_t>(
        std::max<std::int64_t>(1, std::llround(std::sqrt(static_cast<double>(quads) / 2))));
    const auto columns = static_cast<std::int32_t>(std::max<std::int64_t>(1, quads / rows));
    std::vector<GridMesh> meshes;
    for (int i = 0; i < instances; ++i) {
        const Vec3 offset{static_cast<float>((i % 2) * (columns + 10)), 0,
                          static_cast<float>((i / 2) * (rows + 10))};
        meshes.push_back(make_grid(columns, rows, offset));
    }
    return meshes;
}

std::shared_ptr<imp_kzv::p3dWorld> make_world(const std::vector<GridMesh>& meshes,
                                              const std::string& texture_name) {
    auto world = std::make_shared<imp_kzv::p3dWorld>();
    world->strFileFormat = "KZV";
    world->strVersion = "bench";
    world->bkgColor = point3({0, 0, 0});
    world->Set_MaterialList({textured_material(texture_name)});
    auto multi = std::make_shared<imp_kzv::MultiMaterial>();
    multi->Set_iMatIndxList({0});
    world->Set_MultiMatList({multi});

    std::vector<std::shared_ptr<imp_kzv::meshGeom>> geometries;
    std::vector<std::shared_ptr<imp_kzv::p3dMesh>> instances;
    std::vector<std::int32_t> instance_indices;
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        geometries.push_back(geometry(meshes[i]));
        auto instance = std::make_shared<imp_kzv::p3dMesh>();
        instance->name = "Grid " + std::to_string(i + 1);
        instance->iMeshGeom = static_cast<std::int32_t>(i);
        instance->iMultiMat = 0;
        instance->Set_p3dTransMatrix(translation(meshes[i].offset));
        instances.push_back(std::move(instance));
        instance_indices.push_back(static_cast<std::int32_t>(i));
    }
    world->Set_MeshGeomList(std::move(geometries));
    world->Set_MeshList(std::move(instances));

    auto root = std::make_shared<imp_kzv::p3dGroup>();
    root->name = "Root";
    root->pivot = point3({0, 0, 0});
    root->Set_iMeshList(std::move(instance_indices));
    root->Set_p3dTransMatrix(translation({0, 0, 0}));
    world->Set_GroupList({root});
    return world;
}

std::vector<std::byte> ply_bytes(const std::vector<GridMesh>& meshes) {
    std::size_t vertices = 0, triangles = 0;
    for (const GridMesh& mesh : meshes) vertices += mesh.positions.size(), triangles += mesh.triangles.size();
    std::string header;
    append_ply_header(header, vertices, triangles);
    ByteWriter out;
    for (const char c : header) out.byte(static_cast<std::uint8_t>(c));
    for (const GridMesh& mesh : meshes) {
        for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
            const Vec3 p = world_position(mesh, i);
            out.point3(p[0], p[1], p[2]).point3(mesh.normals[i][0], mesh.normals[i][1], mesh.normals[i][2]);
            out.point2(mesh.uv[i][0], mesh.uv[i][1]);
            for (const float c : mesh.colours[i]) out.byte(colour_byte(c));
        }
    }
    std::uint32_t first = 0;
    for (const GridMesh& mesh : meshes) {
        for (const auto& t : mesh.triangles) {
            out.byte(3);
            for (const std::uint32_t i : t) out.int32(static_cast<std::int32_t>(first + i));
        }
        first += static_cast<std::uint32_t>(mesh.positions.size());
    }
    return out.take();
}

std::vector<std::byte> glb_bytes(const std::vector<GridMesh>& meshes, const std::vector<std::byte>& texture) {
    GlbBuilder glb;
    nlohmann::json& json = glb.json();
    json["asset"] = {{"version", "2.0"}, {"generator", "bench/compare"}};
    json["scene"] = 0;
    json["scenes"] = nlohmann::json::array({{{"nodes", nlohmann::json::array()}}});
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        json["meshes"].push_back({{"primitives", nlohmann::json::array({glb_primitive(glb, meshes[i])})}});
        json["nodes"].push_back({{"mesh", i}, {"name", "Grid " + std::to_string(i + 1)}});
        json["scenes"][0]["nodes"].push_back(i);
    }
    json["images"] =
        nlohmann::json::array({{{"bufferView", glb.add_view(texture)}, {"mimeType", "image/png"}}});
    json["samplers"] = nlohmann::json::array({nlohmann::json::object()});
    json["textures"] = nlohmann::json::array({{{"source", 0}, {"sampler", 0}}});
    json["materials"] = nlohmann::json::array(
        {{{"name", "Checker"},
          {"pbrMetallicRoughness",
           {{"baseColorTexture", {{"index", 0}}}, {"metallicFactor", 0}, {"roughnessFactor", 1}}}}});
    return glb.finish();
}

std::vector<std::byte> checker_png(int size) {
    std::vector<unsigned char> pixels;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const unsigned char shade = ((x / 8 + y / 8) % 2) != 0 ? 230 : 60;
            pixels.insert(pixels.end(), {shade, shade, static_cast<unsigned char>(255 - shade)});
        }
    }
    std::vector<std::byte> png;
    const auto append = [](void* context, void* data, int length) {
        auto* out = static_cast<std::vector<std::byte>*>(context);
        const auto* bytes = static_cast<const std::byte*>(data);
        out->insert(out->end(), bytes, bytes + length);
    };
    stbi_write_png_to_func(append, &png, size, size, 3, pixels.data(), size * 3);
    return png;
}

}  // namespace kzv_bench
