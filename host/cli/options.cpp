#include "host/cli/options.h"

#include <CLI/CLI.hpp>

#include "host/memory/memory_budget.h"
#include "host/terminal/terminal_output.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <set>
#include <system_error>
#include <vector>

namespace kzv::cli {
namespace fs = std::filesystem;
namespace {

constexpr char kDescription[] =
    "Imports .KZV scene files through the import plug-in and writes them as glTF 2.0 (.glb or .gltf).\n"
    "Exit status: 0 every import completed and was written, 1 an import or its writing failed, 2 usage\n"
    "error or the plug-in cannot be loaded.";

constexpr int kMaxThreads = 256;
constexpr std::size_t kLeastMemoryLimit = std::size_t{16} << 20;  // below it nothing could be imported

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

// The absolute, normalised path, resolving the links of the part that exists.
fs::path full_path(const fs::path& path) {
    std::error_code error;
    fs::path full = fs::weakly_canonical(fs::absolute(path), error);
    return error ? fs::absolute(path).lexically_normal() : full;
}

// The files an output writes: a .gltf also writes its buffer, <name>.bin, beside it.
std::vector<fs::path> written_files(const fs::path& output) {
    std::vector<fs::path> files{output};
    if (lowercase_extension(output) == ".gltf") files.push_back(fs::path(output).replace_extension(".bin"));
    return files;
}

// For a name that a .gltf output gives its images beside it (<stem>_<n>.png or .jpg, n counting
// from 0), the output's path without its extension: <folder>/<stem>.
std::optional<fs::path> image_owner(const fs::path& file) {
    const std::string extension = lowercase_extension(file);
    if (extension != ".png" && extension != ".jpg") return std::nullopt;
    const std::string stem = file.stem().string();
    const std::size_t underscore = stem.rfind('_');
    if (underscore == std::string::npos) return std::nullopt;
    const std::string number = stem.substr(underscore + 1);
    const bool counted =
        !number.empty() && (number == "0" || number.front() != '0') &&
        std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
    if (!counted) return std::nullopt;
    return file.parent_path() / stem.substr(0, underscore);
}

// A .gltf output's path without its extension, the one its images are named after; none for .glb.
std::optional<fs::path> images_stem(const fs::path& output) {
    if (lowercase_extension(output) != ".gltf") return std::nullopt;
    return fs::path(output).replace_extension();
}

// Whether `file` is one of the files `output` writes, images included.
bool written_by(const fs::path& output, const fs::path& file) {
    for (const fs::path& written : written_files(output)) {
        if (same_file(written, file)) return true;
    }
    const std::optional<fs::path> owner = image_owner(file), stem = images_stem(output);
    return owner && stem && full_path(*owner) == full_path(*stem);
}

ParsedCommandLine usage_error(std::ostream& err, const std::string& message) {
    err << "kzv-import: " << host::printable(message) << "\nRun with --help for more information.\n";
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

std::vector<fs::path> scene_files_in(const fs::path& folder, std::error_code& error) {
    std::vector<fs::path> files;
    error.clear();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code type_error;
        if (lowercase_extension(it->path()) == ".kzv" && it->is_regular_file(type_error))
            files.push_back(it->path());
    }
    if (error) return {};
    std::sort(files.begin(), files.end());
    return files;
}

std::string file_collision(const ImportJob& job, const fs::path& host_log) {
    if (written_by(job.output, job.input))
        return "the output would overwrite the input: " + job.input.string();
    if (!host_log.empty() && written_by(job.output, host_log))
        return "the host log and the output are the same file: " + host_log.string();
    if (!host_log.empty() && same_file(host_log, job.input))
        return "the host log would overwrite the input: " + host_log.string();
    return {};
}

std::string jobs_collision(const std::vector<ImportJob>& jobs) {
    std::map<fs::path, const ImportJob*> inputs, outputs, image_stems;
    for (const ImportJob& job : jobs) {
        inputs.emplace(full_path(job.input), &job);
        if (const std::optional<fs::path> stem = images_stem(job.output))
            image_stems.emplace(full_path(*stem), &job);
    }
    for (const ImportJob& job : jobs) {
        const std::optional<fs::path> owner = image_owner(job.input);
        const auto writer = owner ? image_stems.find(full_path(*owner)) : image_stems.end();
        if (writer != image_stems.end() && writer->second != &job)
            return "the output of " + writer->second->input.string() + " would overwrite the input " +
                   job.input.string();
    }
    for (const ImportJob& job : jobs) {
        for (const fs::path& file : written_files(job.output)) {
            const fs::path full = full_path(file);
            if (const auto input = inputs.find(full); input != inputs.end() && input->second != &job)
                return "the output of " + job.input.string() + " would overwrite the input " + file.string();
            const auto [earlier, added] = outputs.emplace(full, &job);
            if (!added && earlier->second != &job)
                return earlier->second->input.string() + " and " + job.input.string() +
                       " would both be written to " + file.string();
        }
    }
    return {};
}

namespace {

// The inputs as scene files: folders replaced by their scene files, each file once (the first time
// it is named). Empty with a message in `problem` on failure.
std::vector<fs::path> expand_inputs(const std::vector<std::string>& inputs, std::string& problem) {
    std::vector<fs::path> files;
    std::set<fs::path> seen;
    const auto add = [&](const fs::path& file) {
        if (seen.insert(full_path(file)).second) files.push_back(file);
    };
    for (const std::string& input : inputs) {
        std::error_code error;
        if (!fs::is_directory(input, error)) {
            add(input);
            continue;
        }
        const std::vector<fs::path> found = scene_files_in(input, error);
        if (error) {
            problem = "cannot list the folder " + input + ": " + error.message();
            return {};
        }
        for (const fs::path& file : found) add(file);
    }
    if (files.empty()) problem = "no .KZV files in the folders given";
    return files;
}

bool any_folder(const std::vector<std::string>& inputs) {
    return std::any_of(inputs.begin(), inputs.end(), [](const std::string& input) {
        std::error_code error;
        return fs::is_directory(input, error);
    });
}

fs::path output_for(const fs::path& input, const std::string& output, const std::string& output_dir) {
    if (!output.empty()) return output;
    if (output_dir.empty()) return default_output_path(input);
    return fs::path(output_dir) / fs::path(input.filename()).replace_extension(".glb");
}

// Why the report would overwrite an input, an output or the host log, or empty.
std::string report_collision(const CliOptions& options) {
    if (options.report.empty()) return {};
    if (!options.host_log.empty() && same_file(options.report, options.host_log))
        return "the report and the host log are the same file: " + options.report.string();
    for (const ImportJob& job : options.jobs) {
        if (same_file(options.report, job.input))
            return "the report would overwrite the input " + job.input.string();
        for (const fs::path& file : written_files(job.output))
            if (same_file(options.report, file))
                return "the report and an output are the same file: " + file.string();
    }
    return {};
}

// Checks what the parser cannot: the combinations of inputs and outputs, and the jobs they make.
ParsedCommandLine finish_parse(CliOptions options, const std::vector<std::string>& inputs,
                               const std::string& output, std::ostream& err) {
    options.batch = inputs.size() > 1 || any_folder(inputs);
    if (options.batch && !output.empty())
        return usage_error(err, "--output names one file; use --output-dir for several inputs");
    if (options.batch && !options.host_log.empty())
        return usage_error(err, "--host-log needs a single input file");
    if (!output.empty() && !has_gltf_extension(output))
        return usage_error(err, "--output: the file must end in .glb or .gltf: " + output);
    std::string problem;
    for (const fs::path& input : expand_inputs(inputs, problem))
        options.jobs.push_back({input, output_for(input, output, options.output_dir.string())});
    if (options.jobs.empty()) return usage_error(err, problem);
    for (const ImportJob& job : options.jobs) {
        if (const std::string collision = file_collision(job, options.host_log); !collision.empty())
            return usage_error(err, collision);
    }
    if (const std::string collision = jobs_collision(options.jobs); !collision.empty())
        return usage_error(err, collision);
    if (const std::string collision = report_collision(options); !collision.empty())
        return usage_error(err, collision);
    return {ParseStatus::run, std::move(options)};
}

}  // namespace

ParsedCommandLine parse_command_line(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err) {
    CLI::App app(kDescription, "kzv-import");
    CliOptions options;
    std::vector<std::string> inputs;
    std::string output, output_dir, host_log, report, plugin, lcid = "1033";
    app.add_option("FILE.KZV", inputs, "Scene files to import, or folders: every .KZV file in them")
        ->required()
        ->check(CLI::ExistingPath)
        ->type_name("");
    auto* output_option =
        app.add_option("-o,--output", output,
                       "Output file of a single input, .glb (one file) or .gltf (with .bin and images "
                       "beside it); default: the input's name with .glb, beside the input")
            ->type_name("FILE");
    app.add_option("-O,--output-dir", output_dir,
                   "Write every output into DIR (created if missing), named after its input with .glb")
        ->type_name("DIR")
        ->excludes(output_option);
    app.add_option("-j,--jobs", options.threads, "Import N files at the same time (default 1)")
        ->type_name("N")
        ->check(CLI::Range(1, kMaxThreads));
    app.add_option("--lcid", lcid, "Locale identifier the host reports to the plug-in (default 1033)")
        ->type_name("N");
    std::string memory_limit;
    app.add_option("--memory-limit", memory_limit,
                   "Fail an import with out of memory (error 7) rather than take the program past SIZE "
                   "(512M, 2G, ...; K, M, G, T are powers of 1024); default: half the physical memory, "
                   "here " +
                       host::memory_budget::format_size(host::memory_budget::default_limit()))
        ->type_name("SIZE");
    app.add_option("--host-log", host_log,
                   "Write every call of the plug-in towards the host and the user to FILE, "
                   "one JSON object per line (single input only)")
        ->type_name("FILE");
    app.add_option("--report", report,
                   "Write one JSON object per input file to FILE, one line each, in input order: "
                   "its status, output or error, warnings, time and the scene's counts")
        ->type_name("FILE");
    app.add_flag("--summary", options.summary, "Print the imported scene's counts and tree on stdout");
    app.add_flag("-q,--quiet", options.quiet, "Show errors only: no notices, warnings or progress bar");
    app.add_flag("--allow-outside-textures", options.allow_outside_textures,
                 "Let texture names reach files outside the scene file's folder");
    app.add_flag("--keep-axes", options.keep_axes,
                 "Write coordinates as the scene holds them (left-handed) instead of converting "
                 "them to glTF's right-handed axes");
    app.add_flag("--display-colours", options.display_colours,
                 "Write colours as the editor's display values (byte / 255) instead of converting "
                 "them from sRGB to glTF's linear values");
    app.add_flag("--double-sided", options.double_sided,
                 "Write materials that show both sides of their faces");
    app.add_flag("--flip-winding", options.flip_winding,
                 "Reverse the corner order of polygons that face against their vertex normals");
    app.add_option("--plugin", plugin, "The plug-in library (default: lib/libImp_KZV.so beside bin/)")
        ->type_name("PATH");
    app.set_version_flag("--version", std::string("kzv-import ") + KZV_IMPORT_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11 writes help and version to out; its errors name arguments, escaped here.
        if (e.get_exit_code() == 0) {
            app.exit(e, out, err);
            return {ParseStatus::exit_ok, {}};
        }
        return usage_error(err, e.what());
    }

    const std::optional<std::int32_t> parsed_lcid = parse_lcid(lcid);
    if (!parsed_lcid) return usage_error(err, "--lcid: not a 32-bit integer: " + lcid);
    options.lcid = *parsed_lcid;
    const std::optional<std::size_t> limit = memory_limit.empty()
                                                 ? host::memory_budget::default_limit()
                                                 : host::memory_budget::parse_size(memory_limit);
    if (!limit) return usage_error(err, "--memory-limit: not a size such as 512M or 2G: " + memory_limit);
    if (*limit < kLeastMemoryLimit) return usage_error(err, "--memory-limit: at least 16M: " + memory_limit);
    options.memory_limit = *limit;
    options.host_log = host_log;
    options.report = report;
    options.plugin = plugin;
    options.output_dir = output_dir;
    return finish_parse(std::move(options), inputs, output, err);
}

}  // namespace kzv::cli
