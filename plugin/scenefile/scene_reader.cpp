#include "scenefile/scene_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace imp_kzv {

namespace {

[[noreturn]] void raise_number(Err number, const std::string& detail, std::string_view source) {
    raise(number, detail, std::string(source));
}

std::string in_quotes(const std::string& path) {
    return "'" + path + "'";
}

// Checks the path before opening it, so that a missing file, a directory and a special file each get
// their own number; returns the size of the regular file.
std::uint64_t regular_file_size(const std::string& path, const std::string& source) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found || (ec && ec == std::errc::no_such_file_or_directory)) {
        raise_number(Err::FileNotFound, in_quotes(path), source);
    }
    if (ec) {
        raise_number(Err::PathFileAccess, in_quotes(path) + ": " + ec.message(), source);
    }
    if (status.type() == fs::file_type::directory) {
        raise_number(Err::PathFileAccess, in_quotes(path) + " is a folder, not a file", source);
    }
    if (status.type() != fs::file_type::regular) {
        raise_number(Err::PathFileAccess, in_quotes(path) + " is not a regular file", source);
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        raise_number(Err::PathFileAccess, in_quotes(path) + ": " + ec.message(), source);
    }
    return size;
}

[[noreturn]] void raise_open_failure(const std::string& path, int error, const std::string& source) {
    const std::string reason = std::generic_category().message(error);
    if (error == ENOENT) {
        raise_number(Err::FileNotFound, in_quotes(path), source);
    }
    if (error == EACCES || error == EPERM) {
        raise_number(Err::PermissionDenied, in_quotes(path), source);
    }
    raise_number(Err::PathFileAccess, in_quotes(path) + ": " + reason, source);
}

}  // namespace

SceneReader::SceneReader(std::span<const std::byte> bytes) noexcept
    : data_(bytes.data()), window_size_(bytes.size()), size_(bytes.size()) {}

SceneReader::SceneReader(std::span<const std::uint8_t> bytes) noexcept : SceneReader(std::as_bytes(bytes)) {}

SceneReader::SceneReader(SceneReader&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      window_size_(std::exchange(other.window_size_, 0)),
      pos_(std::exchange(other.pos_, 0)),
      window_offset_(std::exchange(other.window_offset_, 0)),
      size_(std::exchange(other.size_, 0)),
      open_(std::exchange(other.open_, false)),
      file_(std::move(other.file_)),
      buffer_(std::move(other.buffer_)),
      path_(std::move(other.path_)),
      descriptor_(std::exchange(other.descriptor_, -1)) {}

SceneReader& SceneReader::operator=(SceneReader&& other) noexcept {
    if (this != &other) {
        SceneReader moved(std::move(other));
        std::swap(data_, moved.data_);
        std::swap(window_size_, moved.window_size_);
        std::swap(pos_, moved.pos_);
        std::swap(window_offset_, moved.window_offset_);
        std::swap(size_, moved.size_);
        std::swap(open_, moved.open_);
        std::swap(file_, moved.file_);
        std::swap(buffer_, moved.buffer_);
        std::swap(path_, moved.path_);
        std::swap(descriptor_, moved.descriptor_);
    }
    return *this;
}

SceneReader SceneReader::open_file(const std::string& path, const std::string& source) {
    return open_file(path, source, kDefaultBufferSize);
}

SceneReader SceneReader::open_file(const std::string& path, const std::string& source,
                                   std::size_t buffer_size) {
    const std::uint64_t size = regular_file_size(path, source);
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) raise_open_failure(path, errno, source);

    SceneReader reader;
    reader.file_.reset(f);
    // Our own buffer already batches the reads; a second stdio buffer would only copy every byte twice.
    std::setvbuf(f, nullptr, _IONBF, 0);
    reader.buffer_.resize(std::max(buffer_size, kMaxContiguous));
    reader.data_ = reader.buffer_.data();
    reader.size_ = size;
    reader.path_ = path;
    return reader;
}

SceneReader SceneReader::open_descriptor(int fd, const std::string& source) {
    const std::string name = "file number " + std::to_string(fd);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0)
        raise_number(Err::BadFileNumber, name + " is not an open file", source);
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    if (!S_ISREG(info.st_mode) || start < 0) {
        raise_number(Err::PathFileAccess, name + " is not a seekable regular file", source);
    }
    // A duplicate shares the position: reads go on where the caller's descriptor stands.
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    std::FILE* f = copy < 0 ? nullptr : ::fdopen(copy, "rb");
    if (f == nullptr) {
        if (copy >= 0) ::close(copy);
        raise_number(Err::PathFileAccess, name + " cannot be read", source);
    }
    SceneReader reader;
    reader.file_.reset(f);
    std::setvbuf(f, nullptr, _IONBF, 0);
    reader.buffer_.resize(64 * 1024);  // a window that also suits one small record
    reader.data_ = reader.buffer_.data();
    reader.window_offset_ = static_cast<std::uint64_t>(start);
    reader.size_ = std::max<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), reader.window_offset_);
    reader.path_ = name;
    reader.descriptor_ = fd;
    return reader;
}

void SceneReader::release_descriptor() noexcept {
    if (descriptor_ < 0) return;
    ::lseek(descriptor_, static_cast<off_t>(offset()), SEEK_SET);
    descriptor_ = -1;
    close();
}

void SceneReader::close() noexcept {
    const std::uint64_t at = offset();
    file_.reset();
    buffer_ = {};
    data_ = nullptr;
    window_size_ = 0;
    pos_ = 0;
    window_offset_ = at;
    size_ = at;
    open_ = false;
}

void SceneReader::require_open(std::string_view what, std::string_view source) const {
    if (!open_) {
        raise_number(Err::BadFileNumber, "the " + std::string(what) + " was read after the file was closed",
                     source);
    }
}

void SceneReader::raise_past_end(std::string_view what, std::uint64_t at, std::uint64_t needed,
                                 std::uint64_t left, std::string_view source) {
    raise_number(Err::InputPastEndOfFile,
                 "the " + std::string(what) + " at byte " + std::to_string(at) + " needs " +
                     std::to_string(needed) + " bytes, " + std::to_string(left) + " left",
                 source);
}

void SceneReader::refill() {
    const std::size_t unread = window_size_ - pos_;
    std::memmove(buffer_.data(), data_ + pos_, unread);
    window_offset_ += pos_;
    pos_ = 0;
    window_size_ = unread;
    const std::uint64_t file_left = size_ - window_offset_ - window_size_;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size() - window_size_, file_left));
    if (want > 0) window_size_ += std::fread(buffer_.data() + window_size_, 1, want, file_.get());
}

const std::byte* SceneReader::take_slow(std::size_t n, std::string_view what, std::string_view source) {
    require_open(what, source);
    if (n > remaining()) raise_past_end(what, offset(), n, remaining(), source);
    if (file_) refill();
    if (n > window_size_ - pos_) {
        raise_number(Err::DeviceIO,
                     "the " + std::string(what) + " at byte " + std::to_string(offset()) +
                         " could not be read from " + in_quotes(path_) +
                         " (the file shrank or a read failed)",
                     source);
    }
    const std::byte* p = data_ + pos_;
    pos_ += n;
    return p;
}

std::span<const std::byte> SceneReader::take_some(std::uint64_t max, std::string_view what,
                                                  std::string_view source) {
    if (pos_ == window_size_) {
        take_slow(1, what, source);  // refills the window, or fails at the end of the file
        --pos_;                      // gives that byte back: it is handed out below
    }
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(max, window_size_ - pos_));
    const std::byte* p = data_ + pos_;
    pos_ += n;
    return {p, n};
}

void SceneReader::skip(std::uint64_t n, std::string_view what, std::string_view source) {
    require_open(what, source);
    if (n > remaining()) raise_past_end(what, offset(), n, remaining(), source);
    while (n > 0) n -= take_some(n, what, source).size();
}

}  // namespace imp_kzv
