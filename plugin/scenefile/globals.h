// Reading primitives and list helpers shared by every record class (module level: errors raised here
// carry the source "Imp_KZV").
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "scenefile/scene_reader.h"

namespace imp_kzv {

// The 16-bit booleans of the records and of the host interface.
inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

// A text field: int32 length n, then n windows-1252 bytes, returned as UTF-8. A length of 0 or less
// gives the empty text and consumes only the length. A NUL byte is kept inside the text.
std::string ReadString(SceneReader& file);
// The same; `what` names the text in the description of a failure (e.g. "material name").
std::string ReadString(SceneReader& file, std::string_view what);

// A flag byte: 0 is false (0), every other value true (-1).
std::int16_t ReadBoolean(SceneReader& file);
std::int16_t ReadBoolean(SceneReader& file, std::string_view what);

// The highest index of a list, -1 for an empty (unsized) one. Every walk over a list runs from 0 to it.
template <class T>
std::int32_t GetUpperBound(const std::vector<T>& list) noexcept {
    // Lists come from int32 counts; the clamp only keeps a list built in code from wrapping around.
    constexpr auto kMax = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(std::min(list.size(), kMax)) - 1;
}

// The folder part of the path of an existing regular file, with its trailing separator ("" for a bare
// file name); the path unchanged when it names no regular file. Never fails.
std::string GetFolderOfPath(const std::string& path);

}  // namespace imp_kzv
