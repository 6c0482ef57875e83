#include "host/bitmaps/image_format.h"

#include <stb_image.h>

#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace kzv::host {
namespace {

using Bytes = std::span<const std::uint8_t>;

bool starts_with(Bytes bytes, std::string_view magic) {
    if (bytes.size() < magic.size()) return false;
    for (std::size_t i = 0; i < magic.size(); ++i) {
        if (bytes[i] != static_cast<std::uint8_t>(magic[i])) return false;
    }
    return true;
}

std::uint32_t le16(Bytes b, std::size_t at) {
    return at + 2 <= b.size() ? std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 : 0;
}
std::uint32_t le32(Bytes b, std::size_t at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}
std::uint32_t be16(Bytes b, std::size_t at) {
    return at + 2 <= b.size() ? std::uint32_t(b[at]) << 8 | std::uint32_t(b[at + 1]) : 0;
}
std::uint32_t be32(Bytes b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 |
           b[at + 3];
}

bool one_of(std::uint32_t value, std::initializer_list<std::uint32_t> allowed) {
    for (const std::uint32_t a : allowed) {
        if (value == a) return true;
    }
    return false;
}

// TGA has no signature: a header whose fields all hold values the format defines.
bool is_tga_header(Bytes b) {
    if (b.size() < 18) return false;
    const std::uint32_t colour_map = b[1], type = b[2], bits = b[16];
    if (colour_map > 1 || !one_of(type, {1, 2, 3, 9, 10, 11})) return false;
    if (colour_map == 1 && !one_of(b[7], {15, 16, 24, 32})) return false;
    return one_of(bits, {8, 15, 16, 24, 32}) && le16(b, 12) > 0 && le16(b, 14) > 0;
}

std::string too_many_pixels(std::uint64_t width, std::uint64_t height, const ImageLimits& limits) {
    return width == 0 || height == 0 || width * height > limits.max_pixels ? "image dimensions out of range"
                                                                           : "";
}

// BMP: the pixel rows (uncompressed, or with bit fields) must all be in the file.
std::string check_bmp(Bytes b, const ImageLimits& limits) {
    const std::uint32_t header = le32(b, 14);
    const bool os2 = header == 12;
    const std::uint64_t width = os2 ? le16(b, 18) : le32(b, 18);
    const auto signed_height = static_cast<std::int32_t>(os2 ? le16(b, 20) : le32(b, 22));
    const std::uint64_t height = signed_height < 0 ? 0 - std::int64_t{signed_height} : signed_height;
    if (width > INT_MAX) return "image dimensions out of range";
    if (std::string problem = too_many_pixels(width, height, limits); !problem.empty()) return problem;
    const std::uint32_t bits = os2 ? le16(b, 24) : le16(b, 28);
    const std::uint32_t compression = os2 ? 0 : le32(b, 30);
    if (compression != 0 && compression != 3) return "compressed BMP";
    const std::uint64_t row = (width * bits + 31) / 32 * 4;
    const std::uint64_t start = std::max<std::uint64_t>(le32(b, 10), 14 + std::uint64_t{header});
    if (start + row * height > b.size()) return "truncated image";
    return {};
}

// TGA: the pixels (or run-length packets covering them all) must be in the file.
std::string check_tga(Bytes b, const ImageLimits& limits) {
    const std::uint64_t pixels = std::uint64_t{le16(b, 12)} * le16(b, 14);
    if (std::string problem = too_many_pixels(le16(b, 12), le16(b, 14), limits); !problem.empty())
        return problem;
    const std::uint64_t pixel_bytes = (b[16] + 7u) / 8;
    const std::uint64_t map_bytes = b[1] ? le16(b, 5) * ((b[7] + 7u) / 8) : 0;
    std::uint64_t at = 18 + std::uint64_t{b[0]} + map_bytes;
    if (b[2] < 9) return at + pixels * pixel_bytes > b.size() ? "truncated image" : "";
    for (std::uint64_t left = pixels; left > 0;) {
        if (at >= b.size()) return "truncated image";
        const std::uint8_t packet = b[at++];
        const std::uint64_t count = (packet & 0x7Fu) + 1;
        at += packet & 0x80 ? pixel_bytes : count * pixel_bytes;
        if (at > b.size()) return "truncated image";
        left -= std::min(count, left);
    }
    return {};
}

// The Huffman tables of a DHT segment: at most 256 codes each, which the decoder's tables hold
// (it would write past them otherwise).
bool huffman_tables_fit(Bytes segment) {
    std::size_t at = 0;
    while (at < segment.size()) {
        if (at + 17 > segment.size()) return false;
        std::size_t codes = 0;
        for (std::size_t i = 1; i <= 16; ++i) codes += segment[at + i];
        if (codes > 256) return false;
        at += 17 + codes;
    }
    return at == segment.size();
}

bool is_frame_marker(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// JPEG: every segment the decoder would read checked (it also skips bytes between segments to the
// next 0xFF, and so does this walk), the markers up to the end of the image all there, and a
// bounded number of scans (the decoder goes over the whole image once per scan).
std::string check_jpeg(Bytes b, const ImageLimits& limits) {
    std::size_t at = 2;
    std::uint64_t scans = 0, pixels = 0;
    while (true) {
        while (at < b.size() && b[at] != 0xFF) ++at;
        while (at < b.size() && b[at] == 0xFF) ++at;  // a marker, after any fill bytes
        if (at >= b.size()) return "truncated image";
        const std::uint8_t marker = b[at++];
        if (marker == 0xD9) return scans > 0 ? "" : "truncated image";  // end of image
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
        const std::size_t length = be16(b, at);
        if (length < 2 || at + length > b.size()) return "truncated image";
        const Bytes segment = b.subspan(at + 2, length - 2);
        at += length;
        if (marker == 0xC4 && !huffman_tables_fit(segment)) return "damaged JPEG (Huffman table)";
        if (is_frame_marker(marker)) {
            pixels = std::uint64_t{be16(segment, 1)} * be16(segment, 3);
            if (pixels == 0 || pixels > limits.max_pixels) return "image dimensions out of range";
        }
        if (marker != 0xDA) continue;
        if (++scans * pixels > limits.max_scan_pixels) return "too many scans for its size";
        // Entropy-coded data up to the next marker other than a restart (0xFF 0x00 is a 0xFF byte).
        while (at + 1 < b.size() && !(b[at] == 0xFF && b[at + 1] != 0 && b[at + 1] != 0xFF &&
                                      (b[at + 1] < 0xD0 || b[at + 1] > 0xD7)))
            ++at;
        if (at + 1 >= b.size()) return "truncated image";
    }
}

// The bytes of a PNG's filtered scanlines: one filter byte and the row's bytes, per row of each
// interlacing pass.
std::uint64_t png_raw_size(std::uint64_t width, std::uint64_t height, std::uint32_t bits_per_pixel,
                           bool interlaced) {
    const auto rows = [&](std::uint64_t w, std::uint64_t h) {
        return w == 0 || h == 0 ? 0 : h * (1 + (w * bits_per_pixel + 7) / 8);
    };
    if (bits_per_pixel == 0) return 0;
    if (!interlaced) return rows(width, height);
    static constexpr std::uint64_t kX[] = {0, 4, 0, 2, 0, 1, 0}, kY[] = {0, 0, 4, 0, 2, 0, 1},
                                   kDx[] = {8, 8, 4, 4, 2, 2, 1}, kDy[] = {8, 8, 8, 4, 4, 2, 2};
    std::uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const std::uint64_t w = width > kX[pass] ? (width - kX[pass] + kDx[pass] - 1) / kDx[pass] : 0;
        const std::uint64_t h = height > kY[pass] ? (height - kY[pass] + kDy[pass] - 1) / kDy[pass] : 0;
        total += rows(w, h);
    }
    return total;
}

// PNG: the compressed image data must expand to exactly the image's scanlines, no more (a
// decompression bomb) and no less (truncated). Inflated once into a buffer of that size.
std::string check_png(Bytes b, const ImageLimits& limits) {
    std::vector<std::uint8_t> compressed;
    std::uint64_t raw = 0;
    for (std::size_t at = 8; at + 8 <= b.size();) {
        const std::uint64_t length = be32(b, at);
        const std::uint32_t type = be32(b, at + 4);
        if (at + 12 + length > b.size()) break;
        const Bytes data = b.subspan(at + 8, static_cast<std::size_t>(length));
        if (type == 0x49484452 && length >= 13) {  // IHDR
            static constexpr std::uint32_t kChannels[] = {1, 0, 3, 1, 2, 0, 4};
            const std::uint32_t colour = data[9];
            const std::uint32_t channels = colour < 7 ? kChannels[colour] : 0;
            if (std::string problem = too_many_pixels(be32(data, 0), be32(data, 4), limits); !problem.empty())
                return problem;
            raw = png_raw_size(be32(data, 0), be32(data, 4), channels * data[8], data[12] == 1);
        } else if (type == 0x49444154) {  // IDAT
            compressed.insert(compressed.end(), data.begin(), data.end());
        } else if (type == 0x49454E44) {  // IEND
            break;
        }
        at += 12 + length;
    }
    if (raw == 0 || raw >= INT_MAX || compressed.size() > INT_MAX) return "damaged PNG";
    std::vector<char> scanlines(static_cast<std::size_t>(raw) + 1);
    const int inflated = stbi_zlib_decode_buffer(scanlines.data(), static_cast<int>(scanlines.size()),
                                                 reinterpret_cast<const char*>(compressed.data()),
                                                 static_cast<int>(compressed.size()));
    if (inflated < 0 || static_cast<std::uint64_t>(inflated) > raw)
        return "image data damaged or expanding past the image";
    if (static_cast<std::uint64_t>(inflated) < raw) return "truncated image";
    return {};
}

}  // namespace

RecognisedFormat recognise_format(Bytes bytes) {
    if (starts_with(bytes, "\x89PNG\r\n\x1A\n")) return {ImageFormat::png, "PNG"};
    if (starts_with(bytes, "\xFF\xD8\xFF")) return {ImageFormat::jpeg, "JPEG"};
    if (starts_with(bytes, "BM")) return {ImageFormat::bmp, "BMP"};
    if (starts_with(bytes, "GIF8")) return {ImageFormat::unsupported, "GIF"};
    if (starts_with(bytes, "8BPS")) return {ImageFormat::unsupported, "PSD"};
    if (starts_with(bytes, "#?")) return {ImageFormat::unsupported, "HDR"};
    if (starts_with(bytes, "\x53\x80\xF6\x34")) return {ImageFormat::unsupported, "PIC"};
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7')
        return {ImageFormat::unsupported, "PNM"};
    if (is_tga_header(bytes)) return {ImageFormat::tga, "TGA"};
    return {};
}

std::string check_image_data(ImageFormat format, Bytes bytes, const ImageLimits& limits) {
    switch (format) {
        case ImageFormat::png:
            return check_png(bytes, limits);
        case ImageFormat::jpeg:
            return check_jpeg(bytes, limits);
        case ImageFormat::bmp:
            return check_bmp(bytes, limits);
        case ImageFormat::tga:
            return check_tga(bytes, limits);
        case ImageFormat::unsupported:
            break;
    }
    return "unsupported image format";
}

}  // namespace kzv::host
