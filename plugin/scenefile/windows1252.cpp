#include "scenefile/windows1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace imp_kzv {

namespace {

// Code points of the bytes 0x80 to 0x9F; every other byte stands for the code point of its own value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t code_point_of(std::uint8_t byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kHighControls[byte - 0x80] : char32_t{byte};
}

void append_utf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `pos` (advancing it); nothing for a malformed or overlong sequence.
std::optional<char32_t> next_code_point(std::string_view s, std::size_t& pos) {
    const auto lead = static_cast<std::uint8_t>(s[pos++]);
    if (lead < 0x80) return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || pos + extra > s.size()) return std::nullopt;
    char32_t cp = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const auto cont = static_cast<std::uint8_t>(s[pos++]);
        if ((cont & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (cont & 0x3F);
    }
    constexpr std::array<char32_t, 4> kSmallest = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[extra]) return std::nullopt;
    return cp;
}

std::optional<std::uint8_t> byte_of(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<std::uint8_t>(cp);
    const auto* it = std::find(kHighControls.begin(), kHighControls.end(), cp);
    if (it == kHighControls.end()) return std::nullopt;
    return static_cast<std::uint8_t>(0x80 + (it - kHighControls.begin()));
}

}  // namespace

void AppendWindows1252AsUtf8(std::span<const std::byte> bytes, std::string& out) {
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b < std::byte{0x80}; });
    if (ascii) {
        out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return;
    }
    for (const std::byte b : bytes) append_utf8(code_point_of(std::to_integer<std::uint8_t>(b)), out);
}

std::optional<std::string> Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::optional<char32_t> cp = next_code_point(utf8, pos);
        if (!cp) return std::nullopt;
        const std::optional<std::uint8_t> byte = byte_of(*cp);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
    }
    return out;
}

}  // namespace imp_kzv
