// fuzz-textures-seeds DIR: writes the seed corpus of fuzz-textures: small PNG, JPEG, BMP and TGA
// images (TGA with and without run-length packets) behind names that reach them directly, through
// letter case, a link, doubled separators and "..".
#include <stb_image_write.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

void append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
}

std::string encode(const std::string& format, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 29);
    std::string bytes;
    if (format == "png") stbi_write_png_to_func(append, &bytes, width, height, 3, pixels.data(), width * 3);
    if (format == "jpg") stbi_write_jpg_to_func(append, &bytes, width, height, 3, pixels.data(), 80);
    if (format == "bmp") stbi_write_bmp_to_func(append, &bytes, width, height, 3, pixels.data());
    if (format == "tga") stbi_write_tga_to_func(append, &bytes, width, height, 3, pixels.data());
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz-textures-seeds DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::vector<std::string> names{"image.bin",      "IMAGE.BIN", "inside.png", "sub\\\\..\\image.bin",
                                         "Sub\\climb.png", "pipe.png"};
    int n = 0;
    for (const std::string format : {"png", "jpg", "bmp", "tga"}) {
        for (const std::string& name : names) {
            stbi_write_tga_with_rle = n % 2;
            const std::string image = encode(format, 3 + n % 5, 2 + n % 3);
            std::ofstream(dir / ("seed-" + std::to_string(n++)), std::ios::binary)
                << static_cast<char>(name.size()) << name << image;
        }
    }
    return 0;
}
