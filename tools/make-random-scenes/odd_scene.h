// Random scene files for end-to-end validation: valid structure (indices inside their lists, group
// trees without cycles) so that most of them import, and odd values everywhere the format allows
// them: NaN, infinities, huge and denormal numbers, zero and non-unit normals, degenerate and
// non-invertible matrices, cameras with a field of view or near range of 0 or less, lights with a
// negative intensity or a range of 0 or less, texture names with Windows separators, other letter
// case, missing, unreadable or outside files. Now and then a value makes the import fail by design
// (a colour above 1, a material slot below 0, an empty multi-material).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "scenefile/p3dWorld.h"

namespace kzv::tools {

// The same seed gives the same scene.
std::shared_ptr<imp_kzv::p3dWorld> MakeOddWorld(std::uint32_t seed);

// Writes the textures that the scenes' texture names refer to into folder/Bitmaps: small BMP files
// (one in a subfolder, in other letter case than the names use) and one file that is no image.
void WriteOddBitmaps(const std::filesystem::path& folder);

}  // namespace kzv::tools
