// The command line of kzv-import.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kzv::cli {

// One scene file and the glTF file it becomes.
struct ImportJob {
    std::filesystem::path input;
    std::filesystem::path output;
};

struct CliOptions {
    // After parsing: one job per scene file, directories expanded, in the order given (a directory's
    // files by name), each file once.
    std::vector<ImportJob> jobs;
    // Several inputs or a directory: lines name their file, the progress bar counts files, and a
    // final line counts the files imported and failed.
    bool batch = false;
    int threads = 1;                   // files imported at the same time
    std::filesystem::path host_log;    // empty: no call log (one input only)
    std::filesystem::path report;      // empty: no report; else one JSON line per input
    std::filesystem::path plugin;      // empty: the plug-in installed beside the program
    std::filesystem::path output_dir;  // empty: each output as -o says or beside its input
    std::int32_t lcid = 1033;
    // The process's memory budget in bytes: the default, half the physical memory, unless given.
    std::size_t memory_limit = 0;
    bool summary = false;
    bool quiet = false;
    bool allow_outside_textures = false;
    bool keep_axes = false;
    bool display_colours = false;  // colours as the editor's display values, not converted to linear
    bool double_sided = false;
    bool flip_winding = false;  // reverse polygons that face against their vertex normals
};

enum class ParseStatus {
    run,          // options are complete
    exit_ok,      // --help or --version was answered
    usage_error,  // a message was written to err
};

struct ParsedCommandLine {
    ParseStatus status = ParseStatus::usage_error;
    CliOptions options;
};

// Parses argv; --help and --version write to out, usage errors to err.
ParsedCommandLine parse_command_line(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// A locale identifier: decimal, or hexadecimal after 0x, optionally negative; 32-bit signed.
std::optional<std::int32_t> parse_lcid(std::string_view text);

// The input's name with the extension .glb, in the input's folder.
std::filesystem::path default_output_path(const std::filesystem::path& input);

// The scene files of a folder: regular files (or links to them) whose extension is .KZV in any
// letter case, sorted by name; not its subfolders.
std::vector<std::filesystem::path> scene_files_in(const std::filesystem::path& folder,
                                                  std::error_code& error);

// Why the files of one job would overwrite one another (the log or a file the output writes being
// the input, the log being such a file), or empty when they are distinct. A .gltf output writes
// its .bin and its images (<name>_<n>.png or .jpg) beside it.
std::string file_collision(const ImportJob& job, const std::filesystem::path& host_log);

// Why the jobs would overwrite one another's files (two outputs the same, a file an output writes
// being another job's input), or empty.
std::string jobs_collision(const std::vector<ImportJob>& jobs);

}  // namespace kzv::cli
