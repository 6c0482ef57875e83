// KZV_SANITIZER_ALLOCATOR is defined in builds whose allocator a sanitizer replaces: there the
// program keeps the standard operator new and leaves the C library's heap alone.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KZV_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define KZV_SANITIZER_ALLOCATOR 1
#endif
#endif
