#include "host/bitmaps/texture_path.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <vector>

namespace kzv::host {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> split_components(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t slash = path.find('/', start);
        parts.emplace_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return parts;
}

bool is_drive(std::string_view part) {
    return part.size() == 2 && part[1] == ':' &&
           ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

// The folder as text without a trailing separator ("/" stays "/").
std::string folder_text(const fs::path& folder) {
    std::string text = folder.lexically_normal().generic_string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// Removes "." and resolves ".." against the components before it. Answers nothing when a ".."
// climbs above the first component, i.e. out of the base folder.
std::optional<std::vector<std::string>> normalise(const std::vector<std::string>& parts) {
    std::vector<std::string> out;
    for (const std::string& part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            if (out.empty()) return std::nullopt;
            out.pop_back();
            continue;
        }
        out.push_back(part);
    }
    return out;
}

// The entry of `dir` whose name equals `name` up to letter case; the smallest such name when
// several differ only in case, so that the choice does not depend on the listing order.
std::optional<fs::path> find_entry_ignoring_case(const fs::path& dir, const std::string& name) {
    const std::string wanted = fold_case(name);
    std::optional<std::string> best;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (fold_case(entry) == wanted && (!best || entry < *best)) best = std::move(entry);
    }
    if (!best) return std::nullopt;
    return dir / *best;
}

std::optional<fs::path> resolve_components(fs::path current, const std::vector<std::string>& parts) {
    for (const std::string& part : parts) {
        std::error_code ec;
        fs::path exact = current / part;
        if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found && !ec) {
            current = std::move(exact);
            continue;
        }
        auto match = find_entry_ignoring_case(current, part);
        if (!match) return std::nullopt;
        current = std::move(*match);
    }
    return current;
}

bool is_inside(const fs::path& file, const fs::path& folder) {
    std::error_code ec;
    const fs::path real_file = fs::canonical(file, ec);
    if (ec) return false;
    const fs::path real_folder = fs::canonical(folder, ec);
    if (ec) return false;
    const fs::path relative = real_file.lexically_relative(real_folder);
    return !relative.empty() && *relative.begin() != "..";
}

TextureLookup missing(std::string reason) {
    return {TextureVerdict::missing, {}, std::move(reason)};
}
TextureLookup refused(std::string reason) {
    return {TextureVerdict::refused, {}, std::move(reason)};
}

TextureLookup check_file(const std::optional<fs::path>& file) {
    if (!file) return missing("no such file");
    std::error_code ec;
    if (!fs::is_regular_file(*file, ec)) return missing("not a regular file");
    return {TextureVerdict::found, *file, {}};
}

// A path that the policy allows to leave the scene folder: resolved from the root, or from the
// working folder when relative.
TextureLookup resolve_unconfined(const std::string& text) {
    if (text.empty()) return missing("empty path");
    std::vector<std::string> parts = split_components(text);
    const bool absolute = text.front() == '/';
    if (std::any_of(parts.begin(), parts.end(), is_drive))
        return missing("a drive-letter path does not exist on this system");
    std::erase_if(parts, [](const std::string& part) { return part.empty(); });
    const fs::path start = absolute ? fs::path("/") : fs::path(".");
    auto normalised = normalise(parts);
    if (!normalised) return missing("no such file");
    return check_file(resolve_components(start, *normalised));
}

}  // namespace

std::string fold_case(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + ('a' - 'A'));
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // U+00C0..U+00DE (except U+00D7, the multiplication sign) fold to U+00E0..U+00FE.
            const auto next = static_cast<unsigned char>(out[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) out[i + 1] = static_cast<char>(next + 0x20);
            ++i;
        }
    }
    return out;
}

TextureLookup resolve_texture_path(std::string_view requested, const TexturePolicy& policy) {
    std::string text(requested);
    std::replace(text.begin(), text.end(), '\\', '/');
    if (text.empty()) return missing("empty path");
    // The system would cut the path at a NUL and open another file than the one checked here.
    if (text.find('\0') != std::string::npos) return missing("NUL character in path");
    if (policy.scene_folder.empty()) {
        if (policy.allow_outside) return resolve_unconfined(text);
        return refused("no scene folder to keep textures in");
    }

    const std::string folder = folder_text(policy.scene_folder);
    const std::string prefix = folder == "/" ? folder : folder + "/";
    if (text.compare(0, prefix.size(), prefix) != 0) {
        if (policy.allow_outside) return resolve_unconfined(text);
        return refused("outside the scene folder");
    }

    const std::vector<std::string> parts = split_components(text.substr(prefix.size()));
    // An empty component is a texture name that began with a separator; a drive letter is an
    // absolute Windows name. Both name files outside the scene folder.
    const auto absolute = std::find_if(parts.begin(), parts.end(),
                                       [](const std::string& p) { return p.empty() || is_drive(p); });
    if (absolute != parts.end() && absolute + 1 != parts.end()) {
        if (!policy.allow_outside) return refused("absolute texture name");
        std::string rest;
        for (auto it = absolute + 1; it != parts.end(); ++it) rest += "/" + *it;
        return resolve_unconfined(absolute->empty() ? rest : *absolute + rest);
    }
    if (parts.back().empty()) return missing("names a folder");

    auto normalised = normalise(parts);
    if (!normalised) {
        if (!policy.allow_outside) return refused("\"..\" leaves the scene folder");
        return resolve_unconfined(text);
    }
    TextureLookup lookup = check_file(resolve_components(fs::path(folder), *normalised));
    if (lookup.verdict == TextureVerdict::found && !policy.allow_outside &&
        !is_inside(lookup.file, policy.scene_folder))
        return refused("a link leads outside the scene folder");
    return lookup;
}

}  // namespace kzv::host
