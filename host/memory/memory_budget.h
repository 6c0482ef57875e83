// The process's memory budget: how many bytes of memory the program holds, counted where it is
// allocated, and the limit past which an allocation is refused (std::bad_alloc), so that a scene
// too big for the machine fails through the usual out-of-memory path instead of exhausting it.
//
// What is counted: every block of the program's global operator new (host/memory/huge_page_new.cpp;
// the plug-in, loaded into the process, allocates through it too, and so do the image decoders),
// and the memory that the scene's big arrays map for themselves (MappedArray), which reserves and
// releases its bytes here. Programs without that operator new, and sanitizer builds, which keep
// their own allocator, count only the mapped memory (heap_counted() says which).
//
// Once an allocation has been refused, the last part of the budget (a 32nd of it, at most 32 MiB)
// is kept for what the failure itself needs (its error report and messages); before that, the
// limit stands that much lower. The total never passes the limit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kzv::host::memory_budget {

namespace detail {
// Signed, so that a block freed that was never counted (memory from malloc given to operator
// delete) can only make the budget more lenient, never refuse everything.
inline std::atomic<std::int64_t> used{0};
inline std::atomic<std::size_t> limit{0};  // 0: none
inline std::atomic<bool> refused{false};   // an allocation was refused, and the total is still high
inline std::atomic<bool> heap_counted{false};

// No block is this big; bigger requests are refused before they are counted.
inline constexpr std::size_t kLargest = std::size_t{1} << 60;

inline std::int64_t reporting_reserve(std::size_t limit) noexcept {
    constexpr std::size_t kMostReserved = std::size_t{32} << 20;
    return static_cast<std::int64_t>(limit / 32 < kMostReserved ? limit / 32 : kMostReserved);
}
}  // namespace detail

// Counts `bytes` more, or refuses them (false, nothing counted) when they would take the total
// past the budget.
inline bool reserve(std::size_t bytes) noexcept {
    const std::size_t limit = detail::limit.load(std::memory_order_relaxed);
    if (bytes > detail::kLargest || (limit != 0 && bytes > limit)) return false;
    const auto count = static_cast<std::int64_t>(bytes);
    const std::int64_t total = detail::used.fetch_add(count, std::memory_order_relaxed) + count;
    if (limit == 0) return true;
    const auto most = static_cast<std::int64_t>(limit > detail::kLargest ? detail::kLargest : limit);
    const std::int64_t reserve = detail::reporting_reserve(limit);
    if (total <= most - reserve) {
        if (total < most - 2 * reserve && detail::refused.load(std::memory_order_relaxed))
            detail::refused.store(false, std::memory_order_relaxed);
        return true;
    }
    if (total <= most && detail::refused.load(std::memory_order_relaxed)) return true;
    detail::used.fetch_sub(count, std::memory_order_relaxed);
    detail::refused.store(true, std::memory_order_relaxed);
    return false;
}

// Counts `bytes` more whatever the budget (memory that is already there).
inline void add(std::size_t bytes) noexcept {
    detail::used.fetch_add(static_cast<std::int64_t>(bytes), std::memory_order_relaxed);
}

inline void release(std::size_t bytes) noexcept {
    detail::used.fetch_sub(static_cast<std::int64_t>(bytes), std::memory_order_relaxed);
}

// The budget in bytes; 0 lifts it.
inline void set_limit(std::size_t bytes) noexcept {
    detail::limit.store(bytes, std::memory_order_relaxed);
    detail::refused.store(false, std::memory_order_relaxed);
}

inline std::size_t limit() noexcept {
    return detail::limit.load(std::memory_order_relaxed);
}

inline std::size_t used() noexcept {
    const std::int64_t used = detail::used.load(std::memory_order_relaxed);
    return used > 0 ? static_cast<std::size_t>(used) : 0;
}

// Whether the program's operator new counts into the budget.
inline bool heap_counted() noexcept {
    return detail::heap_counted.load(std::memory_order_relaxed);
}

// The default budget: half of the memory the program may use (the machine's physical memory, or
// its control group's limit where that is lower).
std::size_t default_limit();

// "512M", "2G", "1500K", "4096" (bytes): a number with an optional suffix K, M, G or T (powers of
// 1024, either case, optionally followed by "B" or "iB"). None for anything else or for sizes that
// do not fit.
std::optional<std::size_t> parse_size(std::string_view text);

// A size as parse_size reads it, in the largest unit that keeps one decimal: "11.7G", "512M".
std::string format_size(std::size_t bytes);

}  // namespace kzv::host::memory_budget
