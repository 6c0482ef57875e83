#include "host/cli/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>
#include <vector>

namespace kzv::cli {
namespace fs = std::filesystem;
namespace {

constexpr char kDescription[] =
    "Imports a .KZV scene file through the import plug-in and writes it as glTF 2.0 (.glb or .gltf).\n"
    "Exit status: 0 import completed and written, 1 import or writing failed, 2 usage error or the\n"
    "plug-in cannot be loaded.";

std::string lowercase_extension(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool has_gltf_extension(const fs::path& path) {
    const std::string extension = lowercase_extension(path);
    return extension == ".glb" || extension == ".gltf";
}

// Whether a and b name the same file, now or (for files not yet written) by their normalised
// absolute paths.
bool same_file(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    const fs::path full_a = fs::weakly_canonical(fs::absolute(a), error);
    if (error) return false;
    const fs::path full_b = fs::weakly_canonical(fs::absolute(b), error);
    return !error && full_a == full_b;
}

ParsedCommandLine usage_error(std::ostream& err, const std::string& message) {
    err << "kzv-import: " << message << "\nRun with --help for more information.\n";
    return {};
}

}  // namespace

std::optional<std::int32_t> parse_lcid(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || !std::isxdigit(static_cast<unsigned char>(text.front()))) return std::nullopt;
    std::int64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

fs::path default_output_path(const fs::path& input) {
    return fs::path(input).replace_extension(".glb");
}

std::string file_collision(const CliOptions& options) {
    // A .gltf output also writes its buffer, <name>.bin, beside it.
    std::vector<fs::path> written{options.output};
    if (lowercase_extension(options.output) == ".gltf")
        written.push_back(fs::path(options.output).replace_extension(".bin"));
    for (const fs::path& file : written) {
        if (same_file(options.input, file)) return "the output would overwrite the input: " + file.string();
        if (!options.host_log.empty() && same_file(options.host_log, file))
            return "the host log and the output are the same file: " + file.string();
    }
    if (!options.host_log.empty() && same_file(options.host_log, options.input))
        return "the host log would overwrite the input: " + options.host_log.string();
    return {};
}

ParsedCommandLine parse_command_line(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
    CLI::App app(kDescription, "kzv-import");
    CliOptions options;
    std::string input, output, host_log, plugin, lcid = "1033";
    app.add_option("FILE.KZV", input, "The scene file to import")
        ->required()
        ->check(CLI::ExistingFile)
        ->type_name("");
    app.add_option("-o,--output", output,
                   "Output file, .glb (one file) or .gltf (with .bin and images beside it); "
                   "default: the input's name with .glb, beside the input")
        ->type_name("FILE");
    app.add_option("--lcid", lcid, "Locale identifier the host reports to the plug-in (default 1033)")
        ->type_name("N");
    app.add_option("--host-log", host_log,
                   "Write every call of the plug-in towards the host and the user to FILE, "
                   "one JSON object per line")
        ->type_name("FILE");
    app.add_flag("--summary", options.summary, "Print the imported scene's counts and tree on stdout");
    app.add_flag("-q,--quiet", options.quiet, "Show errors only: no notices, warnings or progress bar");
    app.add_flag("--allow-outside-textures", options.allow_outside_textures,
                 "Let texture names reach files outside the scene file's folder");
    app.add_flag("--keep-axes", options.keep_axes,
                 "Write coordinates as the scene holds them (left-handed) instead of converting "
                 "them to glTF's right-handed axes");
    app.add_option("--plugin", plugin, "The plug-in library (default: lib/libImp_KZV.so beside bin/)")
        ->type_name("PATH");
    app.set_version_flag("--version", std::string("kzv-import ") + KZV_IMPORT_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11 writes help and version to out, errors with a hint to err.
        if (app.exit(e, out, err) == 0) return {ParseStatus::exit_ok, {}};
        return {};
    }

    const std::optional<std::int32_t> parsed_lcid = parse_lcid(lcid);
    if (!parsed_lcid) return usage_error(err, "--lcid: not a 32-bit integer: " + lcid);
    options.lcid = *parsed_lcid;
    options.input = input;
    options.output = output.empty() ? default_output_path(options.input) : fs::path(output);
    if (!has_gltf_extension(options.output))
        return usage_error(err, "--output: the file must end in .glb or .gltf: " + output);
    options.host_log = host_log;
    options.plugin = plugin;
    if (const std::string collision = file_collision(options); !collision.empty())
        return usage_error(err, collision);
    return {ParseStatus::run, options};
}

}  // namespace kzv::cli
