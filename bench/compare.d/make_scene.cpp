// bench-compare-scene DIR [TRIANGLES [INSTANCES]]: writes the benchmark scene into DIR as scene.KZV
// (with its texture in Bitmaps/), scene.ply and scene.glb. Default: 1,000,000 triangles in 4 grids.
#include <charconv>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "bench_scene.h"
#include "scenewriter/scene_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr char kTextureName[] = "checker.png";

void write_file(const fs::path& path, const std::vector<std::byte>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

bool parse_count(std::string_view text, std::int64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t triangles = 1'000'000, instances = 4;
    if (argc < 2 || argc > 4 || (argc > 2 && !parse_count(argv[2], triangles)) ||
        (argc > 3 && !parse_count(argv[3], instances)) || instances > 64) {
        std::cerr << "usage: bench-compare-scene DIR [TRIANGLES [INSTANCES (1..64)]]\n";
        return 2;
    }
    try {
        const fs::path dir = argv[1];
        fs::create_directories(dir / "Bitmaps");
        const auto meshes = kzv_bench::make_grid_meshes(triangles, static_cast<int>(instances));
        const std::vector<std::byte> texture = kzv_bench::checker_png(64);
        write_file(dir / "Bitmaps" / kTextureName, texture);
        imp_kzv::scenewriter::WriteSceneFile(*kzv_bench::make_world(meshes, kTextureName),
                                             (dir / "scene.KZV").string());
        write_file(dir / "scene.ply", kzv_bench::ply_bytes(meshes));
        write_file(dir / "scene.glb", kzv_bench::glb_bytes(meshes, texture));
        std::size_t written = 0;
        for (const auto& mesh : meshes) written += mesh.triangles.size();
        std::cout << written << " triangles in " << meshes.size() << " mesh instances\n";
    } catch (const std::exception& e) {
        std::cerr << "bench-compare-scene: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
