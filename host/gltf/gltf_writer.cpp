// The writer's pipeline: the document built from the scene (gltf_builder.cpp), then its files
// (containers.h) with the vertex data made while the buffer is written.
#include "host/gltf/gltf_writer.h"

#include <cctype>
#include <new>
#include <span>
#include <stdexcept>

#include "host/gltf/containers.h"
#include "host/gltf/gltf_document.h"
#include "host/output/output_files.h"

namespace kzv::host {
namespace fs = std::filesystem;

namespace {

std::string lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

WriteOutcome write_gltf(const Scene& scene, OutputFiles& files, const std::string& name,
                        const GltfOptions& options) {
    WriteOutcome outcome;
    try {
        const std::string extension = lowercase(fs::path(name).extension().string());
        if (extension != ".glb" && extension != ".gltf") {
            outcome.error = "the output file must end in .glb or .gltf: " + name;
            return outcome;
        }
        const bool binary = extension == ".glb";
        gltf::GltfDocument document = gltf::build_document(
            scene, options, binary ? gltf::ImagePlacement::embedded : gltf::ImagePlacement::external);
        const gltf::BufferMaker buffer = [&](const gltf::BinarySink& sink) {
            for (const gltf::BinaryPiece& piece : document.pieces) sink(piece.offset, piece.data, piece.size);
            gltf::write_vertex_data(scene, document, sink);
        };
        if (binary) {
            outcome.error = gltf::write_glb(document.model, buffer, name, files);
        } else {
            std::vector<std::span<const std::uint8_t>> images;
            for (const std::uint32_t bitmap : document.image_bitmaps)
                images.emplace_back(scene.bitmaps[bitmap].bytes);
            outcome.error = gltf::write_gltf_set(document.model, buffer, images, name, files);
        }
        outcome.warnings = document.repairs.warnings();
        if (outcome.error.empty()) outcome.files = files.files();
    } catch (const std::bad_alloc&) {
        outcome.error = "out of memory while writing " + name;
    } catch (const std::exception& e) {
        outcome.error = std::string("cannot write ") + name + ": " + e.what();
    }
    outcome.ok = outcome.error.empty();
    return outcome;
}

WriteOutcome write_gltf(const Scene& scene, const fs::path& output, const GltfOptions& options) {
    const std::string extension = lowercase(output.extension().string());
    if (extension != ".glb" && extension != ".gltf") {
        WriteOutcome outcome;
        outcome.error = "the output file must end in .glb or .gltf: " + output.string();
        return outcome;
    }
    FileOutput files(output.parent_path());
    return write_gltf(scene, files, output.filename().string(), options);
}

}  // namespace kzv::host
