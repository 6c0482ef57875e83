// The benchmark scene of bench/compare: a few wavy grid meshes side by side, held as indexed lists,
// and the same triangles written three ways: as a .KZV world, as binary little-endian PLY and as .glb.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scenefile/p3dWorld.h"

namespace kzv_bench {

// One mesh instance. Every corner of a triangle uses the same index in each list, so the lists are
// one vertex table. Positions are local; offset is the instance's translation.
struct GridMesh {
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 3>> normals;
    std::vector<std::array<float, 2>> uv;
    std::vector<std::array<float, 2>> uv2;
    std::vector<std::array<float, 3>> colours;  // 0..1
    std::vector<std::array<std::uint32_t, 3>> triangles;
    std::array<float, 3> offset{};
};

// About `triangles` triangles (rounded to whole quads) in `instances` grids laid out side by side.
std::vector<GridMesh> make_grid_meshes(std::int64_t triangles, int instances);

// A world of one geometry and one mesh instance per grid under a root group, all using one textured
// material whose bitmap is `texture_name` in the scene's Bitmaps folder.
std::shared_ptr<imp_kzv::p3dWorld> make_world(const std::vector<GridMesh>& meshes,
                                              const std::string& texture_name);

// Binary little-endian PLY of all grids as one mesh in world coordinates: position, normal, the first
// texture coordinates (PLY has no second set) and colour per vertex, triangles as index lists.
std::vector<std::byte> ply_bytes(const std::vector<GridMesh>& meshes);

// A .glb with one indexed mesh and node per grid in world coordinates (both texture coordinate sets,
// colours) and a material with the PNG `texture` embedded.
std::vector<std::byte> glb_bytes(const std::vector<GridMesh>& meshes, const std::vector<std::byte>& texture);

// A small checker texture as PNG bytes.
std::vector<std::byte> checker_png(int size);

}  // namespace kzv_bench
