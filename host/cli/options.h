// The command line of kzv-import.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace kzv::cli {

struct CliOptions {
    std::filesystem::path input;
    std::filesystem::path output;    // after parsing: the given one, or default_output_path(input)
    std::filesystem::path host_log;  // empty: no call log
    std::filesystem::path plugin;    // empty: the plug-in installed beside the program
    std::int32_t lcid = 1033;
    bool summary = false;
    bool quiet = false;
    bool allow_outside_textures = false;
    bool keep_axes = false;
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

// Why the files of options would overwrite one another (the log or the output being the input,
// the log being the output), or empty when they are distinct.
std::string file_collision(const CliOptions& options);

}  // namespace kzv::cli
