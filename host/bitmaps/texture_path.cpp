#include "host/bitmaps/texture_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace kzv::host {
namespace fs = std::filesystem;

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

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

// Removes empty components and "." and resolves ".." against the components before it. Answers
// nothing when a ".." climbs above the first component, i.e. out of the base folder.
std::optional<std::vector<std::string>> normalise(const std::vector<std::string>& parts) {
    std::vector<std::string> out;
    for (const std::string& part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (out.empty()) return std::nullopt;
            out.pop_back();
            continue;
        }
        out.push_back(part);
    }
    return out;
}

TextureLookup missing(std::string reason) {
    return {TextureVerdict::missing, {}, {}, {}, 0, std::move(reason)};
}
TextureLookup refused(std::string reason) {
    return {TextureVerdict::refused, {}, {}, {}, 0, std::move(reason)};
}

// Where a walk starts, and whether it must stay beneath that folder.
struct Walk {
    int root = -1;
    fs::path root_path;
    bool beneath = false;
};

// Opens `name` in `dir` (`relative`: the same file from the walk's root). A confined walk lets the
// kernel keep the whole path beneath the root (openat2 with RESOLVE_BENEATH, links followed only
// while they stay inside); without openat2 it follows no link at all.
int open_next(const Walk& walk, int dir, const std::string& relative, const std::string& name, int flags) {
    flags |= O_CLOEXEC;
    if (walk.beneath) {
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, walk.root, relative.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
        return ::openat(dir, name.c_str(), flags | O_NOFOLLOW);
    }
    return ::openat(dir, name.c_str(), flags);
}

// The entry of the folder `dir` whose name equals `name` up to letter case; the smallest such name
// when several differ only in case, so that the choice does not depend on the listing order.
std::optional<std::string> find_entry_ignoring_case(int dir, const std::string& name) {
    const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return std::nullopt;
    DIR* stream = ::fdopendir(listing);
    if (!stream) {
        ::close(listing);
        return std::nullopt;
    }
    const std::string wanted = fold_case(name);
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string_view entry_name = entry->d_name;
        if (entry_name == "." || entry_name == "..") continue;
        if (fold_case(entry_name) == wanted && (!best || entry_name < *best)) best = std::string(entry_name);
    }
    ::closedir(stream);
    return best;
}

TextureLookup failed_open(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return missing("no such file");
        case EXDEV:
            return refused("a link leads outside the scene folder");
        case ELOOP:
            return refused("a link (links are not followed on this system)");
        default:
            return missing(std::string("cannot open: ") + std::strerror(error));
    }
}

// The regular file just opened: its identity and size, blocking reads again.
TextureLookup found(FileDescriptor file, fs::path path) {
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return failed_open(errno);
    if (!S_ISREG(status.st_mode)) return missing("not a regular file");
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return failed_open(errno);
    TextureLookup lookup;
    lookup.verdict = TextureVerdict::found;
    lookup.file = std::move(path);
    lookup.descriptor = std::move(file);
    lookup.identity = {status.st_dev, status.st_ino};
    lookup.size = static_cast<std::uint64_t>(status.st_size);
    return lookup;
}

// Opens the components one by one from the walk's root: folders as paths, the last as a file for
// reading, without blocking on a special file.
TextureLookup walk_components(const Walk& walk, const std::vector<std::string>& parts) {
    if (parts.empty()) return missing("names a folder");
    std::string relative;
    FileDescriptor current;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const int flags = last ? O_RDONLY | O_NONBLOCK | O_NOCTTY : O_PATH | O_DIRECTORY;
        const int dir = current ? current.get() : walk.root;
        std::string name = parts[i];
        const auto joined = [&] { return relative.empty() ? name : relative + "/" + name; };
        FileDescriptor next(open_next(walk, dir, joined(), name, flags));
        if (!next && errno == ENOENT) {
            std::optional<std::string> match = find_entry_ignoring_case(dir, name);
            if (!match) return missing("no such file");
            name = std::move(*match);
            next = FileDescriptor(open_next(walk, dir, joined(), name, flags));
        }
        if (!next) return failed_open(errno);
        relative = joined();
        if (last) return found(std::move(next), walk.root_path / relative);
        current = std::move(next);
    }
    return missing("no such file");
}

TextureLookup walk_from(const fs::path& root, bool beneath, const std::vector<std::string>& parts) {
    Walk walk{-1, root, beneath};
    const FileDescriptor root_descriptor(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root_descriptor) return failed_open(errno);
    walk.root = root_descriptor.get();
    return walk_components(walk, parts);
}

// A path that the policy allows to leave the scene folder: resolved from the root, or from the
// working folder when relative.
TextureLookup resolve_unconfined(const std::string& text) {
    if (text.empty()) return missing("empty path");
    const std::vector<std::string> parts = split_components(text);
    if (std::any_of(parts.begin(), parts.end(), is_drive))
        return missing("a drive-letter path does not exist on this system");
    const auto normalised = normalise(parts);
    if (!normalised) return missing("no such file");
    return walk_from(text.front() == '/' ? fs::path("/") : fs::path("."), false, *normalised);
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
    try {
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

        // The plug-in's "Bitmaps" folder, then the texture name: a name that begins with a
        // separator, or holds a drive letter, is an absolute Windows name, outside the scene folder.
        const std::vector<std::string> parts = split_components(text.substr(prefix.size()));
        auto absolute = std::find_if(parts.begin(), parts.end(), is_drive);
        if (parts.size() > 2 && parts[1].empty()) absolute = parts.begin() + 1;
        if (absolute != parts.end() && absolute + 1 != parts.end()) {
            if (!policy.allow_outside) return refused("absolute texture name");
            std::string rest;
            for (auto it = absolute + 1; it != parts.end(); ++it) rest += "/" + *it;
            return resolve_unconfined(absolute->empty() ? rest : *absolute + rest);
        }
        if (parts.back().empty()) return missing("names a folder");

        const auto normalised = normalise(parts);
        if (!normalised) {
            if (!policy.allow_outside) return refused("\"..\" leaves the scene folder");
            return resolve_unconfined(text);
        }
        return walk_from(folder, !policy.allow_outside, *normalised);
    } catch (const std::bad_alloc&) {
        return missing("out of memory");
    }
}

}  // namespace kzv::host
