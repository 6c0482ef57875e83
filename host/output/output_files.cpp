#include "host/output/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/output/temporary_names.h"

namespace kzv::host {
namespace fs = std::filesystem;
namespace names = temporary_names;

namespace {

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Opens the output folder for the *at() calls; read access is needed only to list and flush it.
int open_folder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != EACCES) return fd;
    return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

bool plain_file_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool same_file(int folder_fd, const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::fstatat(folder_fd, a.c_str(), &first, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstatat(folder_fd, b.c_str(), &second, AT_SYMLINK_NOFOLLOW) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

// A file under construction: an unnamed file in the destination's folder, or a named temporary
// there; put in place by place(), or gone when dropped.
class FileOutput::PendingFile final : public ByteSink {
  public:
    PendingFile(int folder_fd, const fs::path& folder, std::string name, Temporaries temporaries)
        : folder_fd_(folder_fd), name_(std::move(name)), shown_((folder / name_).string()) {
        if (temporaries == Temporaries::unnamed_where_possible) open_unnamed();
        if (fd_ < 0) open_named(folder);
    }
    // A file that cannot be written: every write fails with `error`.
    explicit PendingFile(std::string error) : error_(std::move(error)) {}
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() override { close(); }

    // Closes the file; a temporary name it still has goes.
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        if (!temporary_.empty()) (void)::unlinkat(folder_fd_, temporary_.c_str(), 0);
        temporary_.clear();
        registration_.release();
    }

    const std::string& name() const { return name_; }
    const std::string& error() const override { return error_; }

    bool write(const void* data, std::size_t size) override {
        const auto* bytes = static_cast<const char*>(data);
        while (error_.empty() && size > 0) {
            const ssize_t written = ::write(fd_, bytes, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                fail("cannot write " + shown_);
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
                fail("cannot write " + shown_);
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
        if (error_.empty() && ::ftruncate(fd_, static_cast<off_t>(size)) != 0) fail("cannot write " + shown_);
        return error_.empty();
    }

    // Flushes the data to disk, so that a crash after the rename cannot leave an empty or partial
    // file under the destination's name.
    bool flush() {
        if (error_.empty() && ::fsync(fd_) != 0) fail("cannot write " + shown_);
        return error_.empty();
    }

    // The permission bits of the file being replaced.
    bool take_mode(mode_t mode) {
        if (error_.empty() && ::fchmod(fd_, mode) != 0) fail("cannot set the permissions of " + shown_);
        return error_.empty();
    }

    // Puts the file under its destination's name, replacing what is there in one step.
    bool place(bool destination_exists) {
        if (!error_.empty()) return false;
        if (temporary_.empty()) {
            // Unnamed: a free name takes it directly; otherwise it gets a name of its own first.
            if (!destination_exists && link_unnamed(name_)) return true;
            if (!destination_exists && errno != EEXIST) return fail("cannot put " + shown_ + " in place");
            const std::string temporary = names::make(names::Kind::new_data);
            registration_ = names::Registration(folder_fd_, temporary);
            if (!link_unnamed(temporary)) {
                registration_.release();
                return fail("cannot put " + shown_ + " in place");
            }
            temporary_ = temporary;
        }
        if (::renameat(folder_fd_, temporary_.c_str(), folder_fd_, name_.c_str()) != 0)
            return fail("cannot put " + shown_ + " in place");
        temporary_.clear();
        registration_.release();
        return true;
    }

  private:
    // An unnamed file can be given a name only through its descriptor: directly with the
    // privilege for it (which even root may lack in a container), else through /proc. Without
    // /proc, the named way is taken from the start.
    void open_unnamed() {
#ifdef O_TMPFILE
        fd_ = ::openat(folder_fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ < 0) return;
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::access(self.c_str(), F_OK) == 0) return;
        ::close(fd_);
        fd_ = -1;
#endif
    }

    void open_named(const fs::path& folder) {
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            const std::string temporary = names::make(names::Kind::new_data);
            // Registered before it exists, so that no moment leaves it to a signal.
            registration_ = names::Registration(folder_fd_, temporary);
            fd_ = ::openat(folder_fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) temporary_ = temporary;
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) {
            registration_.release();
            fail("cannot create a file in " + folder.string());
        }
    }

    bool link_unnamed(const std::string& target) {
#ifdef AT_EMPTY_PATH
        if (::linkat(fd_, "", folder_fd_, target.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno == EEXIST) return false;
#endif
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        return ::linkat(AT_FDCWD, self.c_str(), folder_fd_, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }

    bool fail(const std::string& what) {
        if (error_.empty()) error_ = system_error(what);
        return false;
    }

    // Every few MiB written, the disk starts on them while the rest is still being made, so that
    // the flush waits only for the last part instead of the whole file. Only a start: the call
    // does not wait, and its outcome is left to the flush, which reports any failure.
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

    int folder_fd_ = -1;
    std::string name_;
    std::string shown_;      // the destination as messages name it
    std::string temporary_;  // the file's name while it has a temporary one
    names::Registration registration_;
    int fd_ = -1;
    std::size_t unflushed_ = 0;  // bytes written since the last start of write-back
    std::string error_;
};

// A file put in place, and the name that keeps the file it replaced until the set is complete.
struct FileOutput::Placed {
    std::string name;
    std::string previous;  // empty: there was no file, or the last file's needs no keeping
    names::Registration previous_registration;
};

FileOutput::FileOutput(fs::path folder, Temporaries temporaries)
    : folder_(folder.empty() ? fs::path(".") : std::move(folder)), temporaries_(temporaries) {
    folder_fd_ = open_folder(folder_);
    if (folder_fd_ < 0) {
        error_ = system_error("cannot open the folder " + folder_.string());
        return;
    }
    names::install_signal_handlers();
    names::remove_stale(folder_fd_, folder_);
}

FileOutput::~FileOutput() {
    pending_.clear();  // removes their temporaries while the folder is open
    if (folder_fd_ >= 0) ::close(folder_fd_);
}

ByteSink& FileOutput::add(const std::string& name) {
    const bool repeated =
        std::any_of(pending_.begin(), pending_.end(), [&](const auto& file) { return file->name() == name; });
    if (!error_.empty()) {
        pending_.push_back(std::make_unique<PendingFile>(error_));
    } else if (!plain_file_name(name) || repeated) {
        error_ = "not a file name of its own in the output folder: " + name;
        pending_.push_back(std::make_unique<PendingFile>(error_));
    } else {
        pending_.push_back(std::make_unique<PendingFile>(folder_fd_, folder_, name, temporaries_));
    }
    return *pending_.back();
}

bool FileOutput::commit() {
    if (error_.empty() && !committed_.empty()) error_ = "the files were put in place already";
    for (const auto& file : pending_) {
        if (!error_.empty()) break;
        if (!file->flush()) error_ = file->error();
    }
    bool placed = false;
    if (error_.empty()) {
        const names::PlacingScope placing;  // a stop signal waits until the set is in place or put back
        placed = place_all();
    }
    for (const auto& file : pending_) {
        file->close();
        if (placed) committed_.push_back(folder_ / file->name());
    }
    return placed;
}

// Places the files in order. Each replaced file but the last is first kept under a second name (a
// hard link, where the filesystem has them), so that a failure can put it back.
bool FileOutput::place_all() {
    std::vector<Placed> placed;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        PendingFile& file = *pending_[i];
        Placed step{file.name(), {}, {}};
        struct stat old {};
        const bool exists = ::fstatat(folder_fd_, file.name().c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
        const bool regular = exists && S_ISREG(old.st_mode);
        bool ok = !regular || file.take_mode(old.st_mode & 0777);
        if (ok && i + 1 < pending_.size() && (regular || (exists && S_ISLNK(old.st_mode)))) {
            step.previous = names::make(names::Kind::previous);
            step.previous_registration = names::Registration(folder_fd_, step.previous);
            const char* from = step.name.c_str();
            const char* to = step.previous.c_str();
            ok = ::linkat(folder_fd_, from, folder_fd_, to, 0) == 0 ||
                 ::renameat(folder_fd_, from, folder_fd_, to) == 0;
            if (!ok)
                error_ =
                    system_error("cannot keep " + (folder_ / step.name).string() + " while replacing it");
        }
        if (ok) ok = file.place(exists);
        if (!ok) {
            if (error_.empty()) error_ = file.error();
            if (!step.previous.empty()) placed.push_back(std::move(step));  // a moved file must come back
            put_back(placed);
            return false;
        }
        placed.push_back(std::move(step));
    }
    (void)::fsync(folder_fd_);  // the renames themselves on disk, where the filesystem allows
    for (const Placed& step : placed) {
        if (!step.previous.empty()) (void)::unlinkat(folder_fd_, step.previous.c_str(), 0);
    }
    return true;
}

// Undoes the placed files, last first: each replaced file comes back under its name, each new one
// is removed.
void FileOutput::put_back(std::vector<Placed>& placed) {
    for (auto step = placed.rbegin(); step != placed.rend(); ++step) {
        if (step->previous.empty()) {
            (void)::unlinkat(folder_fd_, step->name.c_str(), 0);
        } else {
            (void)::renameat(folder_fd_, step->previous.c_str(), folder_fd_, step->name.c_str());
            // Renaming a name onto another name of the same file does nothing: the kept one goes.
            if (same_file(folder_fd_, step->previous, step->name))
                (void)::unlinkat(folder_fd_, step->previous.c_str(), 0);
        }
    }
    (void)::fsync(folder_fd_);
}

// A file in memory: a string that grows as it is written.
class MemoryOutput::MemoryFile final : public ByteSink {
  public:
    static constexpr std::uint64_t kLargest = std::uint64_t{1} << 40;  // more than any memory here

    bool write(const void* data, std::size_t size) override {
        return write_at(appended_, data, size) && ((appended_ += size), true);
    }
    bool write_at(std::uint64_t offset, const void* data, std::size_t size) override {
        if (!error_.empty()) return false;
        if (offset > kLargest || size > kLargest - offset) return fail();
        if (offset + size > bytes_.size() && !set_size(offset + size)) return false;
        if (size > 0) std::memcpy(bytes_.data() + offset, data, size);
        return true;
    }
    bool set_size(std::uint64_t size) override {
        if (!error_.empty()) return false;
        if (size > kLargest) return fail();
        try {
            bytes_.resize(size);
        } catch (const std::exception&) {
            return fail();
        }
        return true;
    }
    const std::string& error() const override { return error_; }

    std::string take() { return std::move(bytes_); }

  private:
    bool fail() {
        error_ = "out of memory for a file of the output";
        return false;
    }

    std::string bytes_;
    std::uint64_t appended_ = 0;
    std::string error_;
};

void remove_stale_temporaries(const fs::path& folder) {
    const int folder_fd = open_folder(folder.empty() ? fs::path(".") : folder);
    if (folder_fd < 0) return;
    names::remove_stale(folder_fd, folder.empty() ? fs::path(".") : folder);
    ::close(folder_fd);
}

MemoryOutput::MemoryOutput() = default;

MemoryOutput::~MemoryOutput() = default;

ByteSink& MemoryOutput::add(const std::string& name) {
    pending_.emplace_back(name, std::make_unique<MemoryFile>());
    return *pending_.back().second;
}

bool MemoryOutput::commit() {
    for (const auto& [name, file] : pending_) {
        if (error_.empty() && !file->error().empty()) error_ = file->error();
    }
    if (!error_.empty()) {
        pending_.clear();
        return false;
    }
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
