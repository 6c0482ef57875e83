// make-perf-scene OUTPUT.KZV [COLUMNS ROWS]: writes a grid of COLUMNS x ROWS quads (2 triangles each,
// with normals, both texture-coordinate sets and colours) for timing whole imports. The default,
// 1000 x 500, gives 1,000,000 triangles; 100 x 50 gives 10,000.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::cerr << "usage: make-perf-scene OUTPUT.KZV [COLUMNS ROWS]\n";
        return 2;
    }
    const long columns = argc == 4 ? std::strtol(argv[2], nullptr, 10) : 1000;
    const long rows = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 500;
    if (columns < 1 || rows < 1 || columns > 20000 || rows > 20000) {
        std::cerr << "make-perf-scene: COLUMNS and ROWS must be 1..20000\n";
        return 2;
    }
    try {
        const auto world = imp_kzv::scenewriter::MakeGridWorld(static_cast<std::int32_t>(columns),
                                                               static_cast<std::int32_t>(rows));
        imp_kzv::scenewriter::WriteSceneFile(*world, argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "make-perf-scene: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
