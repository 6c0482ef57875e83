// The editor's colours are display values (sRGB-encoded, as a monitor shows them); glTF's colour
// factors, vertex colours and light colours are linear. These convert between the two.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace kzv::host::gltf {

// The sRGB transfer function undone: a display value in 0..1 to linear light in 0..1.
inline double srgb_to_linear(double display) {
    if (display <= 0.04045) return display / 12.92;
    return std::pow((display + 0.055) / 1.055, 2.4);
}

// A colour component of the editor's 0..255 scale as a glTF factor: linear unless `linear` is false,
// which keeps the value as it stands (byte / 255).
inline double colour_factor(std::int32_t byte, bool linear) {
    const double display = byte / 255.0;
    return linear ? srgb_to_linear(display) : display;
}

// The linear byte nearest to each display byte, for normalised-byte vertex colours.
inline const std::array<std::uint8_t, 256>& linear_bytes() {
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(std::lround(255.0 * srgb_to_linear(i / 255.0)));
        return t;
    }();
    return table;
}

// A vertex colour's three components in the form written.
inline std::array<std::uint8_t, 3> colour_bytes(const std::array<std::uint8_t, 3>& display, bool linear) {
    if (!linear) return display;
    const auto& table = linear_bytes();
    return {table[display[0]], table[display[1]], table[display[2]]};
}

}  // namespace kzv::host::gltf
