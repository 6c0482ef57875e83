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

// Files in a folder. Each is written under a temporary name beside its destination, flushed to
// disk, and renamed into place by commit(); files of a set not committed are removed.
class FileOutput final : public OutputFiles {
  public:
    explicit FileOutput(std::filesystem::path folder);
    ~FileOutput() override;
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;

    ByteSink& add(const std::string& name) override;
    bool commit() override;
    const std::string& error() const override { return error_; }
    std::vector<std::filesystem::path> files() const override { return committed_; }

    class PendingFile;

  private:
    std::filesystem::path folder_;
    std::vector<std::unique_ptr<PendingFile>> pending_;
    std::vector<std::filesystem::path> committed_;
    std::string error_;
};

// Files kept in memory, by name.
class MemoryOutput final : public OutputFiles {
  public:
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
