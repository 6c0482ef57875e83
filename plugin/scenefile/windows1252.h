// Texts of the scene file hold one character per byte in the windows-1252 code page; the records keep
// them as UTF-8. The WHATWG mapping is used, which maps every byte to a character (the five bytes that
// the code page leaves undefined, 0x81 0x8D 0x8F 0x90 0x9D, become the C1 controls U+0081 ... U+009D),
// so decoding never fails and encoding a decoded text gives back the same bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace imp_kzv {

// Appends the UTF-8 form of the windows-1252 bytes to `out`; a NUL byte becomes a NUL character.
void AppendWindows1252AsUtf8(std::span<const std::byte> bytes, std::string& out);

// The windows-1252 bytes of a UTF-8 text, or nothing when the text is not valid UTF-8 or holds a
// character that the code page cannot represent.
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);

}  // namespace imp_kzv
