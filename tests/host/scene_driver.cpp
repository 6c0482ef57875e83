#include "scene_driver.h"

#include <stb_image_write.h>

#include <fstream>

namespace kzv::host::testing {
namespace {

void append(void* context, void* data, int size) {
    auto* out = static_cast<std::string*>(context);
    out->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

void write_test_image(const std::filesystem::path& file, const std::string& format, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 37);
    std::string bytes;
    int ok = 0;
    if (format == "png")
        ok = stbi_write_png_to_func(append, &bytes, width, height, 3, pixels.data(), width * 3);
    if (format == "bmp") ok = stbi_write_bmp_to_func(append, &bytes, width, height, 3, pixels.data());
    if (format == "jpg") ok = stbi_write_jpg_to_func(append, &bytes, width, height, 3, pixels.data(), 90);
    if (format == "tga") ok = stbi_write_tga_to_func(append, &bytes, width, height, 3, pixels.data());
    if (!ok) throw std::runtime_error("cannot encode test image " + format);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace kzv::host::testing
