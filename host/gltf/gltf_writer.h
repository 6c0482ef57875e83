// Writes a scene as glTF 2.0: a .glb with the buffer and images embedded, or a .gltf with a .bin
// and image files beside it. The file format follows the output's extension.
//
// Every file is first written to a temporary file in the output's folder and renamed into place
// once complete, so a failed write leaves no output behind and an existing file unchanged.
// Values that glTF forbids are repaired or left out, with one warning per kind of repair; see
// host/README.md for the mapping from scene to glTF.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "host/output/output_files.h"
#include "host/scene/scene.h"

namespace kzv::host {

struct GltfOptions {
    // Mirror z to turn the editor's left-handed y-up world into glTF's right-handed y-up one;
    // false writes coordinates as they came.
    bool convert_axes = true;
    // The editor's colours are display (sRGB) values; glTF's colour factors, vertex colours and
    // light colours are linear. false writes them as they stand (byte / 255).
    bool linear_colors = true;
    // Materials that show both sides of their faces.
    bool double_sided = false;
    std::string generator = "kzv-import";
};

struct WriteOutcome {
    bool ok = false;
    std::string error;                         // why nothing was written
    std::vector<std::string> warnings;         // repairs made, one per kind
    std::vector<std::filesystem::path> files;  // files written, the glTF file last
};

WriteOutcome write_gltf(const Scene& scene, const std::filesystem::path& output,
                        const GltfOptions& options = {});

// The same into `files`, as `name` (.glb or .gltf) and, for .gltf, the files beside it.
WriteOutcome write_gltf(const Scene& scene, OutputFiles& files, const std::string& name,
                        const GltfOptions& options = {});

}  // namespace kzv::host
