// The glTF document built from a scene, before it is written to files.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/gltf/gltf_writer.h"
#include "host/scene/scene.h"

namespace kzv::host::gltf {

enum class ImagePlacement {
    embedded,  // image bytes in the binary buffer (.glb)
    external,  // image files beside the .gltf; the writer sets their URIs
};

struct GltfDocument {
    // Everything but the buffer list: the one buffer is `binary`, which the writer streams to
    // its file instead of copying it into the model.
    tinygltf::Model model;
    std::vector<std::uint8_t> binary;
    std::vector<std::uint32_t> image_bitmaps;  // the scene bitmap of each glTF image
    std::vector<std::string> warnings;         // one per kind of repair
};

GltfDocument build_document(const Scene& scene, const GltfOptions& options, ImagePlacement images);

// The document's JSON text; `buffer_uri` names the external binary file, or is empty for .glb.
std::string document_json(const GltfDocument& document, const std::string& buffer_uri, bool pretty);

// `text` with every invalid UTF-8 sequence replaced by U+FFFD, since JSON text must be UTF-8.
std::string valid_utf8(const std::string& text);

}  // namespace kzv::host::gltf
