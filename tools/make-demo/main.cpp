// make-demo [OUTPUT_DIR]: writes the bundled example, OUTPUT_DIR/demo.KZV (default: examples), and the
// textures it names, OUTPUT_DIR/Bitmaps/wood.bmp and checker.bmp, as small 24-bit BMP files.
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

void put_le(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// An uncompressed 24-bit BMP: rows bottom-up, pixels as blue, green, red, rows padded to 4 bytes.
void write_bmp(const std::filesystem::path& path, int width, int height,
               const std::function<Rgb(int, int)>& pixel) {
    const std::uint32_t row_bytes = (3 * static_cast<std::uint32_t>(width) + 3) & ~3u;
    const std::uint32_t image_bytes = row_bytes * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> out{'B', 'M'};
    put_le(out, 54 + image_bytes, 4);  // file size
    put_le(out, 0, 4);                 // reserved
    put_le(out, 54, 4);                // offset of the pixels
    put_le(out, 40, 4);                // size of the info header
    put_le(out, static_cast<std::uint32_t>(width), 4);
    put_le(out, static_cast<std::uint32_t>(height), 4);
    put_le(out, 1, 2);   // planes
    put_le(out, 24, 2);  // bits per pixel
    put_le(out, 0, 4);   // no compression
    put_le(out, image_bytes, 4);
    put_le(out, 2835, 4);  // 72 dpi, horizontally and vertically
    put_le(out, 2835, 4);
    put_le(out, 0, 4);  // colours used
    put_le(out, 0, 4);  // important colours
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = pixel(x, y);
            out.insert(out.end(), {c.b, c.g, c.r});
        }
        out.resize(out.size() + (row_bytes - 3 * static_cast<std::uint32_t>(width)), 0);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

// Rings around a centre off the image, bent a little: a few dark and light bands of grain.
Rgb wood(int x, int y) {
    const double ring = std::sin(1.2 * std::hypot(x + 6.0, 0.35 * (y - 30.0)) + 0.6 * std::sin(0.4 * y));
    // ring is in -1..1: the shade is a signed offset from the middle brown, never a byte of its own.
    const long shade = std::lround(35.0 * ring);
    return {static_cast<std::uint8_t>(150 + shade), static_cast<std::uint8_t>(100 + shade * 2 / 3),
            static_cast<std::uint8_t>(50 + shade / 3)};
}

Rgb checker(int x, int y) {
    return ((x / 4 + y / 4) % 2 == 0) ? Rgb{240, 240, 240} : Rgb{40, 40, 40};
}

}  // namespace

int main(int argc, char** argv) {
    constexpr const char* usage =
        "usage: make-demo [OUTPUT_DIR]\n"
        "writes demo.KZV and its Bitmaps/ into OUTPUT_DIR (default: examples)\n";
    const std::string_view arg = argc == 2 ? argv[1] : "";
    if (arg == "-h" || arg == "--help") {
        std::cout << usage;
        return 0;
    }
    // An option in place of the folder is a mistake, not a folder to create.
    if (argc > 2 || arg.starts_with('-')) {
        std::cerr << usage;
        return 2;
    }
    try {
        const std::filesystem::path dir = argc == 2 ? argv[1] : "examples";
        std::filesystem::create_directories(dir / "Bitmaps");
        imp_kzv::scenewriter::WriteSceneFile(*imp_kzv::scenewriter::MakeDemoWorld(),
                                             (dir / "demo.KZV").string());
        write_bmp(dir / "Bitmaps" / "wood.bmp", 16, 16, wood);
        write_bmp(dir / "Bitmaps" / "checker.bmp", 16, 16, checker);
        std::cout << "wrote " << (dir / "demo.KZV").string() << " and its bitmaps\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "make-demo: " << e.what() << '\n';
        return 1;
    }
}
