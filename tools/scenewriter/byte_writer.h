// A little-endian byte writer that mirrors SceneReader, for building scene files and odd bytes in code.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace imp_kzv::scenewriter {

class ByteWriter {
  public:
    ByteWriter& int32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::byte>(u >> shift));
        return *this;
    }
    ByteWriter& float32(float v) { return int32(std::bit_cast<std::int32_t>(v)); }
    ByteWriter& byte(std::uint8_t v) {
        bytes_.push_back(static_cast<std::byte>(v));
        return *this;
    }
    ByteWriter& bytes(std::span<const std::byte> data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    // A text field with these exact bytes (no conversion): int32 length, then the bytes.
    ByteWriter& raw_text(std::string_view text_bytes) {
        int32(static_cast<std::int32_t>(text_bytes.size()));
        for (const char c : text_bytes) byte(static_cast<std::uint8_t>(c));
        return *this;
    }
    ByteWriter& point3(float x, float y, float z) { return float32(x).float32(y).float32(z); }
    ByteWriter& point2(float x, float y) { return float32(x).float32(y); }
    ByteWriter& zeros(std::size_t n) {
        bytes_.insert(bytes_.end(), n, std::byte{0});
        return *this;
    }

    std::size_t size() const noexcept { return bytes_.size(); }
    const std::vector<std::byte>& data() const noexcept { return bytes_; }
    std::vector<std::byte> take() noexcept { return std::move(bytes_); }

  private:
    std::vector<std::byte> bytes_;
};

}  // namespace imp_kzv::scenewriter
