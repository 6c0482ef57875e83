// The --report file: one JSON object per input file, as a line, in the order the files were given,
// whatever order their imports end in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/scene/summary.h"

namespace kzv::cli {

// What became of one input file.
struct ImportRecord {
    std::string input;
    bool imported = false;
    std::string output;  // when imported
    // When failed: the plug-in's error report (its number and description), or number 0 with the
    // host's reason (the plug-in could not be started, the output could not be written).
    std::int32_t error_number = 0;
    std::string error_description;
    std::vector<std::string> warnings;
    double seconds = 0;
    std::optional<host::SceneCounts> counts;  // when the plug-in built a scene
};

// The record as one line of JSON, without the line end: "input", "status" ("imported" or
// "failed"), "output" or "error" ({"number", "description"}), "warnings", "seconds", and the
// scene's counts ("group_nodes", "mesh_nodes", "polygons", "corners", "cameras", "lights",
// "tracks", "bitmaps").
std::string report_line(const ImportRecord& record);

// Writes the lines of `count` files in their order: a line waits until those of every earlier file
// are written. Each line is written whole and flushed under one lock. Thread-safe.
class ReportWriter {
  public:
    ReportWriter(std::ostream& out, std::size_t count) : out_(out), pending_(count) {}

    void add(std::size_t index, std::string line);
    // Whether every line written so far reached the stream.
    bool good() const;

  private:
    mutable std::mutex mutex_;
    std::ostream& out_;
    std::vector<std::optional<std::string>> pending_;
    std::size_t next_ = 0;
};

}  // namespace kzv::cli
