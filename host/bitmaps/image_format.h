// The texture formats kzv-import reads, recognised by their headers, and the checks each image
// passes before it is decoded: that its data is all there, and that decoding it is bounded work.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "host/bitmaps/image_file.h"

namespace kzv::host {

enum class ImageFormat { png, jpeg, bmp, tga, unsupported };

struct RecognisedFormat {
    ImageFormat format = ImageFormat::unsupported;
    std::string name;  // "PNG", "GIF", ...; empty for an unknown format
};

RecognisedFormat recognise_format(std::span<const std::uint8_t> bytes);

// Why the image (of a supported format) cannot be decoded safely: too many pixels, truncated,
// compressed data that expands past the image, tables the decoder cannot hold, too much decoding
// work. Empty when it can. Reads the headers itself: nothing of the decoder runs before it.
std::string check_image_data(ImageFormat format, std::span<const std::uint8_t> bytes,
                             const ImageLimits& limits);

}  // namespace kzv::host
