#include "host/bitmaps/image_file.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <climits>
#include <fstream>
#include <memory>
#include <system_error>

namespace kzv::host {
namespace {

struct StbFree {
    void operator()(unsigned char* pixels) const noexcept { stbi_image_free(pixels); }
};
using Pixels = std::unique_ptr<unsigned char, StbFree>;

bool starts_with(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic) {
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

const char* kept_mime_type(std::span<const std::uint8_t> bytes) {
    if (starts_with(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return "image/png";
    if (starts_with(bytes, {0xFF, 0xD8, 0xFF})) return "image/jpeg";
    return nullptr;
}

std::string decoder_error(const char* what) {
    const char* reason = stbi_failure_reason();
    return std::string(what) + (reason ? std::string(" (") + reason + ")" : std::string());
}

void append_bytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

ImageResult prepare_image(std::span<const std::uint8_t> file_bytes, const ImageLimits& limits) {
    if (file_bytes.empty()) return {std::nullopt, "empty file"};
    if (file_bytes.size() > limits.max_file_bytes || file_bytes.size() > INT_MAX)
        return {std::nullopt, "file too large"};
    const int length = static_cast<int>(file_bytes.size());

    // Dimensions first, so that a header claiming a huge image is refused before decoding.
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(file_bytes.data(), length, &width, &height, &channels))
        return {std::nullopt, decoder_error("not a readable image")};
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > limits.max_pixels)
        return {std::nullopt, "image dimensions out of range"};

    // Decoding the whole image proves that it is readable, also when its bytes are kept.
    Pixels pixels(stbi_load_from_memory(file_bytes.data(), length, &width, &height, &channels, 0));
    if (!pixels) return {std::nullopt, decoder_error("cannot decode image")};

    EmbeddableImage image;
    image.width = width;
    image.height = height;
    if (const char* mime = kept_mime_type(file_bytes)) {
        image.mime_type = mime;
        image.bytes.assign(file_bytes.begin(), file_bytes.end());
        return {std::move(image), {}};
    }
    image.mime_type = "image/png";
    image.reencoded = true;
    if (!stbi_write_png_to_func(append_bytes, &image.bytes, width, height, channels, pixels.get(),
                                width * channels))
        return {std::nullopt, "cannot encode PNG"};
    return {std::move(image), {}};
}

ImageResult load_image_file(const std::filesystem::path& file, const ImageLimits& limits) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) return {std::nullopt, "cannot read file"};
    if (size > limits.max_file_bytes) return {std::nullopt, "file too large"};
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return {std::nullopt, "cannot read file"};
    return prepare_image(bytes, limits);
}

}  // namespace kzv::host
