#include "host/output/temporary_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

namespace kzv::host::temporary_names {
namespace {

constexpr std::string_view kPrefix = ".kzv-";

// Tells this process's files from those of an earlier process that had the same number.
unsigned run_token() {
    static const unsigned token = [] {
        std::random_device random;
        return static_cast<unsigned>(random()) ^ static_cast<unsigned>(::time(nullptr));
    }();
    return token;
}

std::string hex(unsigned value) {
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value, 16).ptr;
    return std::string(text, end);
}

// ---- Files a signal removes ----------------------------------------------------------------

// A fixed table, so that the signal handler reads it without locks or allocation.
struct Slot {
    enum : int { free, filling, active };
    std::atomic<int> state{free};
    int folder_fd = -1;
    char name[64] = {};
};
constexpr int kSlots = 512;
Slot g_slots[kSlots];

std::atomic<int> g_placing{0};   // scopes putting a set in place
std::atomic<int> g_deferred{0};  // a signal that arrived meanwhile

void remove_registered() noexcept {
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == Slot::active)
            (void)::unlinkat(slot.folder_fd, slot.name, 0);
    }
}

extern "C" void on_stop_signal(int signal_number) {
    if (g_placing.load() > 0) {
        g_deferred.store(signal_number);
        return;
    }
    remove_registered();
    // The handler was installed to run once: the signal, raised again, ends the program as it
    // would have without us when the handler returns.
    (void)::raise(signal_number);
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// ---- Stale files ---------------------------------------------------------------------------

bool process_gone(long pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Parses an unsigned number in `base` from the front of `text`, consuming it.
bool take_number(std::string_view& text, unsigned long& value, int base) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

bool take(std::string_view& text, std::string_view expected) {
    if (text.substr(0, expected.size()) != expected) return false;
    text.remove_prefix(expected.size());
    return true;
}

// `.kzv-<pid>-<run>-<n>.tmp|.old`: stale when its process has ended, or when it has this
// process's number but not its run (an earlier process with the same number).
bool stale_current_name(std::string_view name) {
    unsigned long pid = 0, token = 0, counter = 0;
    if (!take(name, kPrefix) || !take_number(name, pid, 10) || !take(name, "-") ||
        !take_number(name, token, 16) || !take(name, "-") || !take_number(name, counter, 10))
        return false;
    if (name != ".tmp" && name != ".old") return false;
    if (static_cast<pid_t>(pid) == ::getpid()) return token != run_token();
    return process_gone(static_cast<long>(pid));
}

// Earlier versions wrote `.NAME.tmp-<pid>-<n>`: stale when that process has ended.
bool stale_earlier_name(std::string_view name) {
    const std::size_t marker = name.rfind(".tmp-");
    if (name.size() < 2 || name.front() != '.' || marker == std::string_view::npos || marker == 0)
        return false;
    std::string_view rest = name.substr(marker + 5);
    unsigned long pid = 0, counter = 0;
    if (!take_number(rest, pid, 10) || !take(rest, "-") || !take_number(rest, counter, 10) || !rest.empty())
        return false;
    return static_cast<pid_t>(pid) != ::getpid() && process_gone(static_cast<long>(pid));
}

// A kept previous file goes only while its destination still has it: otherwise it may be the
// only copy of a file whose set was being replaced when its process was killed.
bool has_other_name(int folder_fd, const char* name) {
    struct stat file {};
    return ::fstatat(folder_fd, name, &file, AT_SYMLINK_NOFOLLOW) == 0 && file.st_nlink > 1;
}

// Whether this process has looked through the folder already (by its path, device and inode: a
// folder removed and made again may get the inode of the one before).
bool first_visit(int folder_fd, const std::filesystem::path& path) {
    struct stat folder {};
    if (::fstat(folder_fd, &folder) != 0) return false;
    static std::mutex mutex;
    static std::set<std::tuple<dev_t, ino_t, std::string>> visited;
    const std::lock_guard lock(mutex);
    std::error_code error;
    return visited.emplace(folder.st_dev, folder.st_ino, std::filesystem::absolute(path, error).string())
        .second;
}

}  // namespace

std::string make(Kind kind) {
    static std::atomic<unsigned long> counter{0};
    return std::string(kPrefix) + std::to_string(::getpid()) + "-" + hex(run_token()) + "-" +
           std::to_string(counter++) + (kind == Kind::new_data ? ".tmp" : ".old");
}

Registration::Registration(int folder_fd, const std::string& name) {
    if (name.size() >= sizeof Slot::name) return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = Slot::free;
        if (!g_slots[i].state.compare_exchange_strong(expected, Slot::filling)) continue;
        g_slots[i].folder_fd = folder_fd;
        std::memcpy(g_slots[i].name, name.c_str(), name.size() + 1);
        g_slots[i].state.store(Slot::active, std::memory_order_release);
        slot_ = i;
        return;
    }
    // Every slot taken: the file goes unregistered, and a later run removes it if it stays.
}

Registration::Registration(Registration&& other) noexcept : slot_(std::exchange(other.slot_, -1)) {}

Registration& Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        release();
        slot_ = std::exchange(other.slot_, -1);
    }
    return *this;
}

void Registration::release() noexcept {
    if (slot_ >= 0) g_slots[slot_].state.store(Slot::free, std::memory_order_release);
    slot_ = -1;
}

PlacingScope::PlacingScope() {
    g_placing.fetch_add(1);
}

PlacingScope::~PlacingScope() {
    if (g_placing.fetch_sub(1) != 1) return;
    if (const int signal_number = g_deferred.exchange(0); signal_number != 0) {
        remove_registered();
        (void)::raise(signal_number);  // the handler has run: this is the signal's default action
    }
}

void install_signal_handlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = on_stop_signal;
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (const int signal_number : kStopSignals) sigaddset(&action.sa_mask, signal_number);
        for (const int signal_number : kStopSignals) {
            struct sigaction current {};
            if (::sigaction(signal_number, nullptr, &current) != 0) continue;
            const bool default_action = (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL;
            if (default_action) (void)::sigaction(signal_number, &action, nullptr);
        }
    });
}

void remove_stale(int folder_fd, const std::filesystem::path& folder) {
    if (!first_visit(folder_fd, folder)) return;
    const int listing_fd = ::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing_fd < 0) return;
    DIR* const listing = ::fdopendir(listing_fd);
    if (listing == nullptr) {
        ::close(listing_fd);
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() != '.') continue;
        if (!stale_current_name(name) && !stale_earlier_name(name)) continue;
        if (name.ends_with(".old") && !has_other_name(folder_fd, entry->d_name)) continue;
        (void)::unlinkat(folder_fd, entry->d_name, 0);
    }
    ::closedir(listing);
}

}  // namespace kzv::host::temporary_names
