// bench-compare-read-kzv FILE.KZV: reads the scene file into records with the plug-in's reader, as
// the import does before it talks to the host, and nothing else. Prints the number of triangles and
// the seconds the read took inside the process (without starting, ending and freeing the records).
#include <chrono>
#include <cstdint>
#include <iostream>

#include "common/plugin_error.h"
#include "scenefile/p3dWorld.h"
#include "scenefile/scene_reader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: bench-compare-read-kzv FILE.KZV\n";
        return 2;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        imp_kzv::SceneReader file = imp_kzv::SceneReader::open_file(argv[1], "bench-compare-read-kzv");
        imp_kzv::p3dWorld world;
        world.Read(file);
        const std::chrono::duration<double> read_time = std::chrono::steady_clock::now() - start;
        std::uint64_t triangles = 0;
        for (const auto& geometry : world.View_MeshGeomList()) triangles += geometry->View_TriList().size();
        std::cout << triangles << " triangles in " << world.View_MeshGeomList().size()
                  << " geometries, read in " << read_time.count() << " s\n";
    } catch (const std::exception& e) {
        std::cerr << "bench-compare-read-kzv: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
