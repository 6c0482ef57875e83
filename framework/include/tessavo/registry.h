// The framework's registry file: where in-process servers record their classes, programmatic ids
// and type libraries, and where hosts look them up.
//
// The file is text: "[section name]" lines open a section, "name=value" lines fill it, lines
// starting with '#' and blank lines are ignored. Names and values escape '\', '=', '[', ']', '#' and
// control characters as \xHH. Section and value names compare without regard to ASCII letter case.
// Servers write sections such as "CLSID/{...}", "ProgID/Imp_KZV.clsPlugin" and "TypeLib/{...}/1.0".
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tessavo/status.h"

namespace tessavo {

// Environment variable that names the registry file.
inline constexpr char kRegistryEnvironmentVariable[] = "TESSAVO_REGISTRY";
// Status number of a registry file that cannot be read, parsed or written.
inline constexpr std::int32_t kErrRegistry = 75;  // the platform's "path/file access error"

struct RegistryValue {
    std::string name;
    std::string value;
};

struct RegistrySection {
    std::string name;
    std::vector<RegistryValue> values;

    // The value of name, or null.
    const std::string* Find(std::string_view name) const noexcept;
    // Sets name to value, replacing an earlier value of that name.
    void Set(std::string_view name, std::string_view value);
};

struct RegistryData {
    std::vector<RegistrySection> sections;  // in file order

    const RegistrySection* Find(std::string_view name) const noexcept;
    // Replaces the section of the same name (keeping its place), or appends it.
    void Put(RegistrySection section);
    // Removes the section of that name; false if there was none.
    bool Remove(std::string_view name);
};

// The registry file's path: $TESSAVO_REGISTRY if set and not empty, else
// $XDG_CONFIG_HOME/tessavo/registry if XDG_CONFIG_HOME is an absolute path, else
// $HOME/.config/tessavo/registry. Empty when none of these is available.
std::string RegistryPath();

std::string FormatRegistry(const RegistryData& data);
// Parses text into data; on a malformed line returns false with a description in error.
bool ParseRegistry(std::string_view text, RegistryData& data, std::string& error);

// Reads the file at path; a missing file is an empty registry. Fails with kErrRegistry.
Status ReadRegistry(const std::string& path, RegistryData& data) noexcept;

// Read-modify-write of the file at path as one atomic step: takes an exclusive lock (the file
// path + ".lock"), reads the current contents, lets edit change them, writes a temporary file in
// the same folder and renames it over the registry. Concurrent updaters in other threads or
// processes wait for each other, so none loses another's entries; readers see the old or the new
// file, never a partial one. Creates the folder if needed. A file that does not parse is left
// untouched and the update fails with kErrRegistry. edit may throw: the update then fails and the
// file is unchanged.
Status UpdateRegistry(const std::string& path, const std::function<void(RegistryData&)>& edit) noexcept;

// Looks up a programmatic id (e.g. "Imp_KZV.clsPlugin"): its class id and the library that serves it.
Status FindInprocServer(const std::string& registry_path, std::string_view prog_id, std::string& class_id,
                        std::string& library_path) noexcept;

}  // namespace tessavo
