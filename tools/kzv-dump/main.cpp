// kzv-dump FILE.KZV: reads a scene file with the plug-in's record classes and prints the whole record
// tree as one JSON object on stdout. On a failed read: the error's number, description and source on
// stderr, exit status 1; usage errors exit with status 2.
#include <cstdio>
#include <iostream>
#include <new>

#include "kzv-dump/scene_json.h"
#include "scenefile/p3dWorld.h"

namespace {

constexpr std::string_view kSource = "kzv-dump";

int report(std::int32_t number, std::string_view description, std::string_view source) {
    std::cerr << "kzv-dump: error " << number << ": " << description << "\n  source: " << source << '\n';
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::cerr << "usage: kzv-dump FILE.KZV\n";
        return 2;
    }
    try {
        imp_kzv::SceneReader file = imp_kzv::SceneReader::open_file(argv[1], std::string(kSource));
        imp_kzv::p3dWorld world;
        world.Read(file);
        file.close();
        std::ios::sync_with_stdio(false);
        imp_kzv::dump::WriteWorldJson(world, std::cout);
        std::cout.flush();
        if (!std::cout) return report(57, "Device I/O error: cannot write the output", kSource);
        return 0;
    } catch (const imp_kzv::PluginError& e) {
        return report(e.number(), e.description(), e.source());
    } catch (const std::bad_alloc&) {
        return report(7, "Out of memory", kSource);
    }
}
