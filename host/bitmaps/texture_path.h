// Turns the Windows-style texture paths that the plug-in builds ("<scene folder>/Bitmaps\wood.bmp")
// into files on this machine, and keeps them inside the scene file's folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kzv::host {

struct TexturePolicy {
    // Folder of the scene file, absolute. Textures must resolve to files inside it.
    std::filesystem::path scene_folder;
    // Lets textures name files outside the scene folder (absolute names, "..", links).
    bool allow_outside = false;
};

enum class TextureVerdict { found, missing, refused };

struct TextureLookup {
    TextureVerdict verdict = TextureVerdict::missing;
    std::filesystem::path file;  // the file found (verdict found)
    std::string reason;          // why it is missing or refused
};

// Resolves `requested`: `\` is a separator, and a path component that does not exist with its
// exact name matches an entry that differs only in letter case (ASCII and Latin-1 letters).
// Never throws for bad paths; filesystem errors count as "missing".
TextureLookup resolve_texture_path(std::string_view requested, const TexturePolicy& policy);

// Folds the letter case of a UTF-8 name: ASCII and Latin-1 capitals become small letters.
std::string fold_case(std::string_view name);

}  // namespace kzv::host
