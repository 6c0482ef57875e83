// Named temporary files of the output stage: their names, their removal when the program is
// stopped by a signal, and the removal of those that a process which ended without cleaning up
// left behind.
//
// Output is written to unnamed files where the filesystem has them; a name exists only for the
// moment a finished file is being put in place, or for the whole write where the filesystem has
// no unnamed files. Every such name is `.kzv-<pid>-<run>-<n>.tmp` (new data) or `.old` (a file
// being replaced, kept until the set is in place), short whatever the output is called.
#pragma once

#include <filesystem>
#include <string>

namespace kzv::host::temporary_names {

// What a named temporary holds.
enum class Kind {
    new_data,  // a file being written or put in place
    previous,  // a replaced file, kept to put back if the set fails
};

// A fresh name in the program's pattern (unique in this process).
std::string make(Kind kind);

// A named temporary that a signal should remove: SIGINT, SIGTERM and SIGHUP (where the program
// left their default action) remove every file registered and then end the program as the signal
// would. While an output set is being put in place, the signal waits until it is done, so that a
// set is never left half replaced. Registration and removal are safe to use from any thread.
class Registration {
  public:
    Registration() = default;
    // Files in the folder of `folder_fd` (which must stay open while registered).
    Registration(int folder_fd, const std::string& name);
    Registration(Registration&& other) noexcept;
    Registration& operator=(Registration&& other) noexcept;
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration() { release(); }

    // The file no longer needs removing (renamed into place, or removed).
    void release() noexcept;

  private:
    int slot_ = -1;
};

// Holds back SIGINT, SIGTERM and SIGHUP while it lives: a signal that arrives meanwhile ends the
// program when the last such scope ends.
class PlacingScope {
  public:
    PlacingScope();
    ~PlacingScope();
    PlacingScope(const PlacingScope&) = delete;
    PlacingScope& operator=(const PlacingScope&) = delete;
};

// Installs the signal handlers (once; signals the program ignores stay ignored).
void install_signal_handlers();

// Removes the named temporaries in the folder of `folder_fd` that belong to processes that have
// ended (also those of earlier versions, `.NAME.tmp-<pid>-<n>`). Each folder (`folder` and the
// file it is) is looked through once per process.
void remove_stale(int folder_fd, const std::filesystem::path& folder);

}  // namespace kzv::host::temporary_names
