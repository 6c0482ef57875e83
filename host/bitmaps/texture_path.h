// Turns the Windows-style texture paths that the plug-in builds ("<scene folder>/Bitmaps\wood.bmp")
// into open files on this machine, and keeps them inside the scene file's folder.
//
// The file is found and opened in one walk from a descriptor of the scene folder, component by
// component, and the descriptor that was checked is the one read: swapping a folder for links to
// other files, or a file for a FIFO, while an import runs cannot make it read anything else.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kzv::host {

// An open file descriptor, closed with the object.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Which file: the same device and inode is the same file, whatever its names (hard links too).
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct TexturePolicy {
    // Folder of the scene file, absolute. Textures must resolve to files inside it.
    std::filesystem::path scene_folder;
    // Lets textures name files outside the scene folder (absolute names, "..", links).
    bool allow_outside = false;
};

enum class TextureVerdict { found, missing, refused };

struct TextureLookup {
    TextureVerdict verdict = TextureVerdict::missing;
    std::filesystem::path file;  // the file found, for names and messages (verdict found)
    FileDescriptor descriptor;   // that file opened for reading: a regular file (verdict found)
    FileIdentity identity;       // of the file found
    std::uint64_t size = 0;      // its size in bytes when it was opened
    std::string reason;          // why it is missing or refused
};

// Resolves and opens `requested`: `\` is a separator, an empty component (a doubled separator) is
// nothing, and a path component that does not exist with its exact name matches an entry that
// differs only in letter case (ASCII and Latin-1 letters). A texture name that begins with a
// separator or holds a drive letter is absolute. Inside the scene folder, links are followed where
// they stay inside it (on kernels without openat2, links are not followed at all). Only regular
// files are found; special files are opened without blocking and refused. Never throws for bad
// paths; filesystem errors count as "missing".
TextureLookup resolve_texture_path(std::string_view requested, const TexturePolicy& policy);

// Folds the letter case of a UTF-8 name: ASCII and Latin-1 capitals become small letters.
std::string fold_case(std::string_view name);

}  // namespace kzv::host
