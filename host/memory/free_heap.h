// Gives the pages of freed heap memory back to the system, so that a program that has just freed
// a big, scattered structure (the plug-in's records) peaks lower while it goes on.
#pragma once

#include <malloc.h>

namespace kzv::host {

inline void give_back_free_heap() noexcept {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizer's allocator holds the memory; the C library's trim would walk arenas it never set up.
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer) && !__has_feature(thread_sanitizer) && !__has_feature(memory_sanitizer)
    ::malloc_trim(0);
#endif
#else
    ::malloc_trim(0);
#endif
}

}  // namespace kzv::host
