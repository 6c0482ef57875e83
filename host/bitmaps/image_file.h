// Reads texture images for embedding in glTF. Only the formats such an editor's textures came in
// are read: PNG and JPEG keep their bytes, BMP and TGA are re-encoded as PNG; any other format is
// "unsupported". Every image is checked before it is decoded (its size, that its data is all
// there, that compressed data does not expand past the image) and then decoded in full, so that
// what is embedded is a readable image, and neither memory nor work can run away.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kzv::host {

// Bounds that keep a hostile image file from exhausting memory or time.
struct ImageLimits {
    std::uintmax_t max_file_bytes = std::uintmax_t{256} << 20;
    std::uint64_t max_pixels = std::uint64_t{64} << 20;
    // A progressive JPEG is decoded once per scan: scans times pixels at most this.
    std::uint64_t max_scan_pixels = std::uint64_t{1} << 30;
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

// The decoder's memory is counted in the process's memory budget while it decodes; an image that
// does not fit is refused ("not enough memory").
ImageResult prepare_image(std::span<const std::uint8_t> file_bytes, const ImageLimits& limits = {});
// Reads the open regular file `fd` (from its start) and prepares it.
ImageResult load_image_descriptor(int fd, const ImageLimits& limits = {});
ImageResult load_image_file(const std::filesystem::path& file, const ImageLimits& limits = {});

}  // namespace kzv::host
