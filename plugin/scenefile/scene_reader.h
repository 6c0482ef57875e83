// The "file number" of the scene-file reader: a sequential, bounds-checked little-endian cursor.
//
// A SceneReader reads either an in-memory span of bytes (tests, fuzzing) or an open file through a buffer
// of its own, so a scene file is never read byte by byte and never has to be held in memory whole. It
// knows the total size in both cases, so remaining() tells how much a count may still claim.
//
// Errors raised while opening and reading a scene file (all as PluginError, numbers in
// common/plugin_error.h): 53 FileNotFound, 70 PermissionDenied and 75 PathFileAccess when opening;
// 57 DeviceIO when a read from the open file fails or the file shrank; 52 BadFileNumber for a read after
// close(); 62 InputPastEndOfFile when a field, text or user-data block runs past the end of the file, or
// a list count is larger than the rest of the file could hold; 9 SubscriptOutOfRange for a negative list
// count, a track with fewer than one point or a negative user-data length (sizing a list to invalid
// bounds); 7 OutOfMemory when an allocation for a record, list or text fails. Every description says
// what was being read and at which byte offset.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/plugin_error.h"

namespace imp_kzv {

// Little-endian decoding from raw bytes, independent of the host's byte order and alignment.
namespace le {

inline std::uint32_t u32(const std::byte* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }
    return v;
}
inline std::int32_t i32(const std::byte* p) noexcept {
    return static_cast<std::int32_t>(u32(p));
}
inline float f32(const std::byte* p) noexcept {
    return std::bit_cast<float>(u32(p));
}

}  // namespace le

class SceneReader {
  public:
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;
    // The largest fixed-size field that take() hands out in one piece (a triangle record).
    static constexpr std::size_t kMaxContiguous = 64;

    explicit SceneReader(std::span<const std::byte> bytes) noexcept;
    explicit SceneReader(std::span<const std::uint8_t> bytes) noexcept;

    // Opens the file at `path` for reading; failures are raised with `source`. The buffer size is a
    // parameter so that tests can make it tiny and cross every refill boundary (at least kMaxContiguous).
    static SceneReader open_file(const std::string& path, const std::string& source);
    static SceneReader open_file(const std::string& path, const std::string& source, std::size_t buffer_size);
    // Reads the open, seekable file descriptor fd from its current position on (a client's file number);
    // fd stays the caller's. Offsets count from the start of the file. An invalid descriptor fails with
    // 52, one that is not a seekable regular file with 75. Call release_descriptor() when done.
    static SceneReader open_descriptor(int fd, const std::string& source);
    // Puts the descriptor's position just behind the bytes read so far and lets go of it.
    void release_descriptor() noexcept;

    // A moved-from reader is closed.
    SceneReader(SceneReader&& other) noexcept;
    SceneReader& operator=(SceneReader&& other) noexcept;
    SceneReader(const SceneReader&) = delete;
    SceneReader& operator=(const SceneReader&) = delete;
    ~SceneReader() = default;

    std::uint64_t offset() const noexcept { return window_offset_ + pos_; }
    std::uint64_t remaining() const noexcept { return size_ - offset(); }
    bool is_open() const noexcept { return open_; }
    // Releases the file; later reads fail with number 52. Safe to call more than once.
    void close() noexcept;

    // Every read below names the field it reads (`what`, e.g. "vertex count") and the source of the
    // record that reads it, so that a failure can say what was read where, and who raised it.

    // Consumes the next n bytes (n <= kMaxContiguous) and returns a pointer to them, valid until the next
    // read.
    const std::byte* take(std::size_t n, std::string_view what, std::string_view source) {
        if (n <= window_size_ - pos_) [[likely]] {
            const std::byte* p = data_ + pos_;
            pos_ += n;
            return p;
        }
        return take_slow(n, what, source);
    }
    std::int32_t read_int32(std::string_view what, std::string_view source) {
        return le::i32(take(4, what, source));
    }
    float read_float32(std::string_view what, std::string_view source) {
        return le::f32(take(4, what, source));
    }
    std::uint8_t read_byte(std::string_view what, std::string_view source) {
        return std::to_integer<std::uint8_t>(*take(1, what, source));
    }
    // Consumes between 1 and `max` bytes (max >= 1) and returns them; for long runs such as texts.
    std::span<const std::byte> take_some(std::uint64_t max, std::string_view what, std::string_view source);
    // Consumes n bytes without keeping them; fails before consuming anything if fewer remain.
    void skip(std::uint64_t n, std::string_view what, std::string_view source);

    // "Input past end of file: the <what> at byte <at> needs <needed> bytes, <left> left".
    [[noreturn]] static void raise_past_end(std::string_view what, std::uint64_t at, std::uint64_t needed,
                                            std::uint64_t left, std::string_view source);

  private:
    struct FileCloser {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };

    SceneReader() = default;
    const std::byte* take_slow(std::size_t n, std::string_view what, std::string_view source);
    void require_open(std::string_view what, std::string_view source) const;
    // Moves the unread bytes to the front of the buffer and fills the rest from the file.
    void refill();

    const std::byte* data_ = nullptr;  // the window: the in-memory bytes, or the buffer's filled part
    std::size_t window_size_ = 0;
    std::size_t pos_ = 0;              // read position inside the window
    std::uint64_t window_offset_ = 0;  // file offset of data_[0]
    std::uint64_t size_ = 0;           // total size of the file or span
    bool open_ = true;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<std::byte> buffer_;
    std::string path_;
    int descriptor_ = -1;  // the caller's descriptor of open_descriptor, repositioned on release
};

}  // namespace imp_kzv
