// The glTF document built from a scene, with what its buffer is made of, before it is written to
// files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/gltf/containers.h"
#include "host/gltf/document.h"
#include "host/gltf/gltf_writer.h"
#include "host/gltf/repairs.h"
#include "host/gltf/transform.h"
#include "host/gltf/vertex_data.h"
#include "host/scene/scene.h"

namespace kzv::host::gltf {

enum class ImagePlacement {
    embedded,  // image bytes in the binary buffer (.glb)
    external,  // image files beside the .gltf; the writer sets their URIs
};

// How the corners of one mesh node reach the file.
struct MeshTransform {
    bool mirror = false;       // axis conversion: z negated
    std::optional<Mat4> bake;  // a matrix that glTF nodes cannot hold, applied to the vertices
    std::optional<std::array<double, 9>> bake_normals;
    bool reverse_winding = false;
    bool linear_colors = false;  // vertex colours converted from display values to linear
};

inline constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);

// One primitive's vertex and index arrays: its numbered vertices and indices, whose values
// write_vertex_data makes from the scene while the file is written, so that a big mesh's vertex
// arrays never exist whole in memory.
struct VertexSource {
    PrimitiveData data;
    MeshTransform transform;
    std::size_t indices = kNoOffset;  // of 2 bytes each up to 65,535 vertices, else 4 (index_size)
    // Where each array starts in the buffer; kNoOffset for arrays the primitive does not have.
    std::size_t positions = kNoOffset;
    std::size_t normals = kNoOffset;
    std::size_t uv = kNoOffset;
    std::size_t uv2 = kNoOffset;
    std::size_t colors = kNoOffset;
};

// Bytes of the buffer that exist already (image files, track points) and stay alive and unchanged
// until the document is written.
struct BinaryPiece {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t offset = 0;  // in the buffer
};

struct GltfDocument {
    // The document; its one buffer (model.buffer_size bytes, zero where nothing is written) is
    // written to its file piece by piece: `pieces`, then `vertices`.
    Document model;
    std::vector<BinaryPiece> pieces;
    std::vector<VertexSource> vertices;
    std::vector<std::vector<float>> track_points;  // the memory of the tracks' pieces
    std::vector<std::uint32_t> image_bitmaps;      // the scene bitmap of each glTF image
    // The repairs made.
    RepairLog repairs;
};

GltfDocument build_document(const Scene& scene, const GltfOptions& options, ImagePlacement images);

// Makes the vertex and index arrays of every primitive of `document`, built from `scene`, and hands
// them to `sink` a batch at a time.
void write_vertex_data(const Scene& scene, const GltfDocument& document, const BinarySink& sink);

// `text` with every invalid UTF-8 sequence replaced by U+FFFD, since JSON text must be UTF-8.
std::string valid_utf8(const std::string& text);

}  // namespace kzv::host::gltf
