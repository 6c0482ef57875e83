// make-perf-scene OUTPUT.KZV [COLUMNS ROWS | tree GROUPS]: writes a scene for timing whole imports.
//   COLUMNS ROWS  a grid of COLUMNS x ROWS quads (2 triangles each, with normals, both texture-
//                 coordinate sets and colours); the default, 1000 x 500, gives 1,000,000 triangles
//   tree GROUPS   a tree of GROUPS groups (each the child of group (i - 1) / 2), each with one mesh
//                 instance of a shared two-triangle geometry
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"

namespace {

using namespace imp_kzv;

long Count(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    return value >= 1 && value <= 10'000'000 ? value : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool tree = argc == 4 && std::string_view(argv[2]) == "tree";
    const long a = argc == 4 ? Count(argv[tree ? 3 : 2]) : 1000;
    const long b = argc == 4 && !tree ? Count(argv[3]) : 500;
    if ((argc != 2 && argc != 4) || a == 0 || b == 0 || (!tree && (a > 20000 || b > 20000))) {
        std::cerr << "usage: make-perf-scene OUTPUT.KZV [COLUMNS ROWS | tree GROUPS]\n";
        return 2;
    }
    try {
        const auto world =
            tree ? scenewriter::MakeGroupTreeWorld(static_cast<std::int32_t>(a))
                 : scenewriter::MakeGridWorld(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b));
        scenewriter::WriteSceneFile(*world, argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "make-perf-scene: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
