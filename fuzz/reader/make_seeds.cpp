// fuzz-reader-seeds DIR: writes the seed corpus of fuzz-reader: the demo scene, random scenes, a small
// grid and the two smallest valid files.
#include <filesystem>
#include <iostream>

#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"

namespace sw = imp_kzv::scenewriter;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz-reader-seeds DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const auto write = [&](const imp_kzv::p3dWorld& world, const std::string& name) {
        sw::WriteSceneFile(world, (dir / (name + ".KZV")).string());
    };
    write(*sw::MakeDemoWorld(), "demo");
    write(*sw::MakeGridWorld(3, 2), "grid");
    write(imp_kzv::p3dWorld{}, "empty");
    imp_kzv::p3dWorld one_group;
    one_group.Set_GroupList({std::make_shared<imp_kzv::p3dGroup>()});
    write(one_group, "one-group");
    for (std::uint32_t seed = 1; seed <= 40; ++seed)
        write(*sw::MakeRandomWorld(seed), "random-" + std::to_string(seed));
    return 0;
}
