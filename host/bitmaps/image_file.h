// Reads texture images for embedding in glTF: PNG and JPEG keep their bytes, every other format
// that the image decoder reads (BMP, TGA, GIF, ...) is decoded and re-encoded as PNG.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kzv::host {

// Bounds that keep a hostile image file from exhausting memory.
struct ImageLimits {
    std::uintmax_t max_file_bytes = std::uintmax_t{256} << 20;
    std::uint64_t max_pixels = std::uint64_t{64} << 20;
};

struct EmbeddableImage {
    std::string mime_type;  // "image/png" or "image/jpeg"
    std::vector<std::uint8_t> bytes;
    int width = 0;
    int height = 0;
    bool reencoded = false;
};

struct ImageResult {
    std::optional<EmbeddableImage> image;
    std::string error;  // why there is no image
};

ImageResult prepare_image(std::span<const std::uint8_t> file_bytes, const ImageLimits& limits = {});
ImageResult load_image_file(const std::filesystem::path& file, const ImageLimits& limits = {});

}  // namespace kzv::host
