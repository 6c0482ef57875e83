// Where an output's bytes go. A container writer (the .glb, or the .gltf with its .bin and images)
// writes each of its files to a ByteSink that an OutputFiles hands out, then commits the set:
// FileOutput puts the files in place in a folder, MemoryOutput keeps them in memory (tests, fuzzing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kzv::host {

// One file being written. A failed write makes the later ones do nothing; error() keeps the first.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // Appends at the end of what was appended so far.
    virtual bool write(const void* data, std::size_t size) = 0;
    // Writes at `offset` from the start, wherever the appends are.
    virtual bool write_at(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Sets the length; bytes never written read as zeros.
    virtual bool set_size(std::uint64_t size) = 0;
    virtual const std::string& error() const = 0;

    bool write(std::string_view text) { return write(text.data(), text.size()); }
};

// The files of one output, named relative to the output's folder.
class OutputFiles {
  public:
    virtual ~OutputFiles() = default;
    // A new, empty file of the set. The file added last is the one that refers to the others (the
    // .gltf); it is put in place last.
    virtual ByteSink& add(const std::string& name) = 0;
    // Puts every file in place. False, with error(), when any write or the commit failed; the
    // files that were there before are then left as they were.
    virtual bool commit() = 0;
    virtual const std::string& error() const = 0;
    // The files put in place, the last one added last (empty before a successful commit).
    virtual std::vector<std::filesystem::path> files() const = 0;
};

// Files in a folder, put in place as one set.
//
// Each file is written to an unnamed file in the destination's folder (O_TMPFILE) where the
// filesystem has them, else under a short temporary name (`.kzv-<pid>-...tmp`), which SIGINT,
// SIGTERM and SIGHUP remove and a later run removes once its process has ended. commit() flushes
// every file to disk, gives each the permission bits of the file it replaces (new files get
// 0666 less the umask), and then puts them in place in the order added, the last one last:
//   - a file's own replacement is atomic: its name shows the old file or the complete new one,
//     whenever the program is stopped, even by kill -9 or a crash;
//   - a set of several files is replaced file by file (the filesystem cannot rename several names
//     in one step); if one cannot be put in place, those already placed are put back as they were
//     (new ones removed), so a failed commit leaves the old set. Signals that stop the program are
//     held back until the set is in place; only kill -9 or a crash in the middle of the renames
//     can leave the first files new and the last ones old.
// A set not committed, or whose commit failed, leaves no file of its own behind.
class FileOutput final : public OutputFiles {
  public:
    // How the files are written before commit(): unnamed where the filesystem allows, or always
    // under temporary names (as on a filesystem without unnamed files; for tests).
    enum class Temporaries { unnamed_where_possible, named };

    explicit FileOutput(std::filesystem::path folder,
                        Temporaries temporaries = Temporaries::unnamed_where_possible);
    ~FileOutput() override;
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;

    // `name` is a file name in the folder (no folders of its own).
    ByteSink& add(const std::string& name) override;
    bool commit() override;
    const std::string& error() const override { return error_; }
    std::vector<std::filesystem::path> files() const override { return committed_; }

    class PendingFile;

  private:
    struct Placed;
    bool place_all();
    void put_back(std::vector<Placed>& placed);

    std::filesystem::path folder_;
    int folder_fd_ = -1;
    Temporaries temporaries_;
    std::vector<std::unique_ptr<PendingFile>> pending_;
    std::vector<std::filesystem::path> committed_;
    std::string error_;
};

// Removes the named temporaries that ended processes left in `folder` (FileOutput does it too, the
// first time it writes into a folder); does nothing where the folder cannot be read.
void remove_stale_temporaries(const std::filesystem::path& folder);

// Files kept in memory, by name.
class MemoryOutput final : public OutputFiles {
  public:
    MemoryOutput();
    ~MemoryOutput() override;
    MemoryOutput(const MemoryOutput&) = delete;
    MemoryOutput& operator=(const MemoryOutput&) = delete;

    ByteSink& add(const std::string& name) override;
    bool commit() override;
    const std::string& error() const override { return error_; }
    std::vector<std::filesystem::path> files() const override;

    // The committed files' contents, by name.
    const std::map<std::string, std::string>& contents() const { return contents_; }

    class MemoryFile;

  private:
    std::vector<std::pair<std::string, std::unique_ptr<MemoryFile>>> pending_;
    std::map<std::string, std::string> contents_;
    std::vector<std::string> order_;
    std::string error_;
};

}  // namespace kzv::host
