// Transparent huge pages: the page size, sizes rounded to whole pages, and the request for them.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <limits>

namespace kzv::host::huge_pages {

inline constexpr std::size_t kPageSize = 2 << 20;

// `bytes` rounded up to whole huge pages, or 0 when that does not fit a size_t.
inline std::size_t rounded(std::size_t bytes) noexcept {
    if (bytes > std::numeric_limits<std::size_t>::max() - kPageSize) return 0;
    return (bytes + kPageSize - 1) / kPageSize * kPageSize;
}

// Huge pages are a request, not a need: where the kernel has none (or they are off), ordinary
// pages serve, so the advice's outcome is ignored. Call it before the memory is first touched.
inline void advise(void* block, std::size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
    (void)::madvise(block, bytes, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

}  // namespace kzv::host::huge_pages
