// make-random-scenes OUTPUT_DIR [COUNT] [FIRST_SEED]: writes COUNT (default 40) random scene files
// OUTPUT_DIR/random-<seed>.KZV for the seeds FIRST_SEED (default 1) upward, and the textures they
// name in OUTPUT_DIR/Bitmaps. The same seeds always give the same files.
#include <charconv>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>

#include "odd_scene.h"
#include "scenewriter/scene_writer.h"

namespace {

std::optional<std::uint32_t> parse_count(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr std::string_view kUsage = "usage: make-random-scenes OUTPUT_DIR [COUNT] [FIRST_SEED]\n";
    const std::string_view folder_arg = argc > 1 ? argv[1] : "";
    if (folder_arg == "-h" || folder_arg == "--help") {
        std::cout << kUsage;
        return 0;
    }
    const std::optional<std::uint32_t> count = argc > 2 ? parse_count(argv[2]) : 40u;
    const std::optional<std::uint32_t> first = argc > 3 ? parse_count(argv[3]) : 1u;
    // An option where the folder belongs is a mistake, not a folder to create.
    if (argc < 2 || argc > 4 || !count || !first || folder_arg.starts_with('-')) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        kzv::tools::WriteOddBitmaps(folder);
        for (std::uint32_t i = 0; i < *count; ++i) {
            const std::uint32_t seed = *first + i;
            const auto path = folder / ("random-" + std::to_string(seed) + ".KZV");
            imp_kzv::scenewriter::WriteSceneFile(*kzv::tools::MakeOddWorld(seed), path.string());
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "make-random-scenes: " << e.what() << '\n';
        return 1;
    }
}
