#include "tessavo/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tessavo/server.h"

namespace tessavo {
namespace {

namespace fs = std::filesystem;

// A registry is a few kilobytes; a file far beyond that is not one, and reading it whole would only
// cost memory.
constexpr std::uintmax_t kMaxRegistryBytes = 16u << 20;

class RegistryFailure : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '\\' || c == '=' || c == '[' || c == ']' || c == '#';
}

std::string Escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscape(c)) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (text.size() - i < 4 || text[i + 1] != 'x') return false;
        const int high = HexDigit(text[i + 2]), low = HexDigit(text[i + 3]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 3;
    }
    return true;
}

std::string SystemError(std::string_view what, const std::string& path) {
    std::string message(what);
    message += ' ';
    message += path;
    message += ": ";
    message += std::strerror(errno);
    return message;
}

// An exclusive advisory lock on a lock file beside the registry, held for the object's lifetime.
class FileLock {
  public:
    explicit FileLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_ < 0) throw RegistryFailure(SystemError("Cannot open the lock file", path));
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const std::string message = SystemError("Cannot lock", path);
                ::close(fd_);
                throw RegistryFailure(message);
            }
        }
    }
    ~FileLock() { ::close(fd_); }  // closing releases the lock
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_;
};

void WriteAll(int fd, std::string_view text, const std::string& path) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw RegistryFailure(SystemError("Cannot write", path));
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Writes text to a new file beside path and renames it over path, so readers never see a
// partial registry.
void ReplaceFile(const std::string& path, std::string_view text) {
    static std::atomic<unsigned> counter{0};
    const std::string temp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw RegistryFailure(SystemError("Cannot create", temp));
    try {
        WriteAll(fd, text, temp);
        if (::fsync(fd) != 0) throw RegistryFailure(SystemError("Cannot flush", temp));
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string message = SystemError("Cannot replace", path);
        ::unlink(temp.c_str());
        throw RegistryFailure(message);
    }
}

void ReadFileText(const std::string& path, std::string& text) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error == std::errc::no_such_file_or_directory) {
        text.clear();
        return;
    }
    if (error) throw RegistryFailure("Cannot read " + path + ": " + error.message());
    if (size > kMaxRegistryBytes) throw RegistryFailure("The registry file " + path + " is too large");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RegistryFailure(SystemError("Cannot open", path));
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) throw RegistryFailure(SystemError("Cannot read", path));
    text = std::move(contents).str();
}

Status RegistryStatus(const std::exception& e) noexcept {
    return FailureNoThrow(kErrRegistry, e.what(), kFrameworkSource);
}

}  // namespace

const std::string* RegistrySection::Find(std::string_view name) const noexcept {
    for (const auto& value : values) {
        if (IdsEqual(value.name, name)) return &value.value;
    }
    return nullptr;
}

void RegistrySection::Set(std::string_view name, std::string_view value) {
    for (auto& existing : values) {
        if (IdsEqual(existing.name, name)) {
            existing.value = value;
            return;
        }
    }
    values.push_back({std::string(name), std::string(value)});
}

const RegistrySection* RegistryData::Find(std::string_view name) const noexcept {
    for (const auto& section : sections) {
        if (IdsEqual(section.name, name)) return &section;
    }
    return nullptr;
}

void RegistryData::Put(RegistrySection section) {
    const auto same = [&](const RegistrySection& s) { return IdsEqual(s.name, section.name); };
    const auto first = std::find_if(sections.begin(), sections.end(), same);
    if (first == sections.end()) {
        sections.push_back(std::move(section));
        return;
    }
    // Later duplicates of the name would only confuse readers: keep one section, in the first place.
    sections.erase(std::remove_if(std::next(first), sections.end(), same), sections.end());
    *first = std::move(section);
}

bool RegistryData::Remove(std::string_view name) {
    return std::erase_if(sections, [&](const RegistrySection& s) { return IdsEqual(s.name, name); }) > 0;
}

std::string RegistryPath() {
    const auto env = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value ? value : "";
    };
    if (std::string explicit_path = env(kRegistryEnvironmentVariable); !explicit_path.empty())
        return explicit_path;
    if (std::string config = env("XDG_CONFIG_HOME"); !config.empty() && config.front() == '/') {
        return (fs::path(config) / "tessavo" / "registry").string();
    }
    if (std::string home = env("HOME"); !home.empty()) {
        return (fs::path(home) / ".config" / "tessavo" / "registry").string();
    }
    return {};
}

std::string FormatRegistry(const RegistryData& data) {
    std::string out =
        "# Tessavo registry of in-process servers. Written by the framework; keep the format.\n";
    for (const auto& section : data.sections) {
        out += '\n';
        out += '[' + Escape(section.name) + "]\n";
        for (const auto& value : section.values) out += Escape(value.name) + '=' + Escape(value.value) + '\n';
    }
    return out;
}

bool ParseRegistry(std::string_view text, RegistryData& data, std::string& error) {
    data.sections.clear();
    std::size_t line_number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const auto fail = [&](std::string_view why) {
            error = "line " + std::to_string(line_number) + ": " + std::string(why);
            return false;
        };
        std::string name, value;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) return fail("malformed section header");
            if (!Unescape(line.substr(1, line.size() - 2), name)) return fail("bad escape in a section name");
            data.sections.push_back({std::move(name), {}});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return fail("expected name=value");
        if (data.sections.empty()) return fail("value outside a section");
        if (!Unescape(line.substr(0, equals), name) || !Unescape(line.substr(equals + 1), value)) {
            return fail("bad escape");
        }
        data.sections.back().values.push_back({std::move(name), std::move(value)});
    }
    return true;
}

Status ReadRegistry(const std::string& path, RegistryData& data) noexcept {
    try {
        data.sections.clear();
        std::string text, error;
        ReadFileText(path, text);
        if (!ParseRegistry(text, data, error))
            throw RegistryFailure("The registry file " + path + " is damaged, " + error);
        return {};
    } catch (const std::exception& e) {
        return RegistryStatus(e);
    }
}

Status UpdateRegistry(const std::string& path, const std::function<void(RegistryData&)>& edit) noexcept {
    try {
        if (path.empty()) {
            throw RegistryFailure("No registry location: set TESSAVO_REGISTRY, XDG_CONFIG_HOME or HOME");
        }
        const fs::path folder = fs::path(path).parent_path();
        if (!folder.empty()) fs::create_directories(folder);
        FileLock lock(path + ".lock");
        RegistryData data;
        if (Status status = ReadRegistry(path, data); !status.ok()) return status;
        edit(data);
        ReplaceFile(path, FormatRegistry(data));
        return {};
    } catch (const std::exception& e) {
        return RegistryStatus(e);
    } catch (...) {
        return FailureNoThrow(kErrRegistry, "The registry update failed", kFrameworkSource);
    }
}

Status FindInprocServer(const std::string& registry_path, std::string_view prog_id, std::string& class_id,
                        std::string& library_path) noexcept {
    try {
        class_id.clear();
        library_path.clear();
        RegistryData data;
        if (Status status = ReadRegistry(registry_path, data); !status.ok()) return status;
        const RegistrySection* prog = data.Find("ProgID/" + std::string(prog_id));
        const std::string* id = prog ? prog->Find("CLSID") : nullptr;
        const RegistrySection* cls = id ? data.Find("CLSID/" + *id) : nullptr;
        const std::string* library = cls ? cls->Find("InprocServer") : nullptr;
        if (!library) {
            return FailureNoThrow(kErrClassNotAvailable,
                                  "No in-process server is registered for " + std::string(prog_id),
                                  kFrameworkSource);
        }
        class_id = *id;
        library_path = *library;
        return {};
    } catch (const std::exception& e) {
        return RegistryStatus(e);
    }
}

}  // namespace tessavo
