// The files of a glTF document: a .glb (header, JSON chunk, binary chunk), or a .gltf with its
// .bin and image files beside it, handed to an output stage (output/output_files.h) that puts
// them in place as one set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "host/gltf/document.h"
#include "host/output/output_files.h"

namespace kzv::host::gltf {

// Receives `size` bytes for `offset` in the buffer.
using BinarySink = std::function<void(std::size_t offset, const void* data, std::size_t size)>;

// Hands the document's buffer to the sink, piece by piece; bytes between pieces are zeros.
using BufferMaker = std::function<void(const BinarySink& sink)>;

// Writes `name` (.glb) into `output` and commits it; answers the error, or empty on success.
std::string write_glb(const Document& document, const BufferMaker& buffer, const std::string& name,
                      OutputFiles& output);

// Writes `name` (.gltf), `<stem>.bin` and the images (`image_bytes`, one per document image) as
// `<stem>_<n>.png` or `.jpg` into `output`, the .gltf last, and commits them; sets the images'
// URIs. Answers the error, or empty on success.
std::string write_gltf_set(Document& document, const BufferMaker& buffer,
                           const std::vector<std::span<const std::uint8_t>>& image_bytes,
                           const std::string& name, OutputFiles& output);

}  // namespace kzv::host::gltf
