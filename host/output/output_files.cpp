#include "host/output/output_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace kzv::host {
namespace fs = std::filesystem;

// A file under construction: written under a temporary name in its destination's folder and
// renamed into place by commit(), or removed when dropped uncommitted.
class FileOutput::PendingFile final : public ByteSink {
  public:
    explicit PendingFile(fs::path destination) : destination_(std::move(destination)) {
        static std::atomic<unsigned> counter{0};
        const fs::path folder = destination_.has_parent_path() ? destination_.parent_path() : fs::path(".");
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            temporary_ = folder / ("." + destination_.filename().string() + ".tmp-" +
                                   std::to_string(::getpid()) + "-" + std::to_string(counter++));
            fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) error_ = "cannot create " + temporary_.string() + ": " + std::strerror(errno);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() override {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    }

    const fs::path& destination() const { return destination_; }
    const std::string& error() const override { return error_; }

    bool write(const void* data, std::size_t size) override {
        const auto* bytes = static_cast<const char*>(data);
        while (error_.empty() && size > 0) {
            const ssize_t written = ::write(fd_, bytes, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
                break;
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
            start_writeback(static_cast<std::size_t>(written));
        }
        return error_.empty();
    }

    bool write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* bytes = static_cast<const char*>(data);
        while (error_.empty() && size > 0) {
            const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
                break;
            }
            bytes += written;
            offset += static_cast<std::uint64_t>(written);
            size -= static_cast<std::size_t>(written);
            start_writeback(static_cast<std::size_t>(written));
        }
        return error_.empty();
    }

    bool set_size(std::uint64_t size) override {
        if (error_.empty() && ::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
        return error_.empty();
    }

    // Flushes the data to disk before the rename, so that a crash cannot leave a renamed but
    // empty file behind.
    bool commit() {
        if (!error_.empty()) return false;
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            fd_ = -1;
            error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
            return false;
        }
        fd_ = -1;
        if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
            error_ = "cannot rename " + temporary_.string() + " to " + destination_.string() + ": " +
                     std::strerror(errno);
            return false;
        }
        committed_ = true;
        return true;
    }

  private:
    // Every few MiB written, the disk starts on them while the rest is still being made, so that
    // commit()'s flush waits only for the last part instead of the whole file. Only a start: the
    // call does not wait, and its outcome is left to the flush, which reports any failure.
    void start_writeback(std::size_t written) {
#ifdef SYNC_FILE_RANGE_WRITE
        constexpr std::size_t kWritebackEvery = 8 << 20;
        unflushed_ += written;
        if (unflushed_ < kWritebackEvery) return;
        unflushed_ = 0;
        (void)::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
        (void)written;
#endif
    }

    fs::path destination_;
    fs::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
    std::size_t unflushed_ = 0;  // bytes written since the last start of write-back
    std::string error_;
};

FileOutput::FileOutput(fs::path folder) : folder_(folder.empty() ? fs::path(".") : std::move(folder)) {}

FileOutput::~FileOutput() = default;

ByteSink& FileOutput::add(const std::string& name) {
    pending_.push_back(std::make_unique<PendingFile>(folder_ / name));
    return *pending_.back();
}

bool FileOutput::commit() {
    if (!error_.empty()) return false;
    for (const auto& file : pending_) {
        if (!file->error().empty()) {
            error_ = file->error();
            return false;
        }
    }
    for (const auto& file : pending_) {
        if (!file->commit()) {
            error_ = file->error();
            return false;
        }
        committed_.push_back(file->destination());
    }
    return true;
}

// A file in memory: a string that grows as it is written.
class MemoryOutput::MemoryFile final : public ByteSink {
  public:
    bool write(const void* data, std::size_t size) override {
        return write_at(appended_, data, size) && ((appended_ += size), true);
    }
    bool write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        if (offset + size > bytes_.size()) bytes_.resize(offset + size);
        if (size > 0) std::memcpy(bytes_.data() + offset, data, size);
        return true;
    }
    bool set_size(std::uint64_t size) override {
        bytes_.resize(size);
        return true;
    }
    const std::string& error() const override { return error_; }

    std::string take() { return std::move(bytes_); }

  private:
    std::string bytes_;
    std::uint64_t appended_ = 0;
    std::string error_;
};

ByteSink& MemoryOutput::add(const std::string& name) {
    pending_.emplace_back(name, std::make_unique<MemoryFile>());
    return *pending_.back().second;
}

bool MemoryOutput::commit() {
    for (auto& [name, file] : pending_) {
        order_.push_back(name);
        contents_[name] = file->take();
    }
    pending_.clear();
    return true;
}

std::vector<fs::path> MemoryOutput::files() const {
    return {order_.begin(), order_.end()};
}

}  // namespace kzv::host
