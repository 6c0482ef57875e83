// Gives the pages of freed heap memory back to the system, so that a program that has just freed
// a big, scattered structure (the plug-in's records) peaks lower while it goes on.
#pragma once

#include <malloc.h>

#include "host/memory/sanitizer_allocator.h"

namespace kzv::host {

inline void give_back_free_heap() noexcept {
#if !defined(KZV_SANITIZER_ALLOCATOR)
    // Under a sanitizer its allocator holds the memory, and the C library's trim would walk arenas
    // it never set up.
    ::malloc_trim(0);
#endif
}

}  // namespace kzv::host
