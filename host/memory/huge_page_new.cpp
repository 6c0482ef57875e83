// The programs' global operator new (kzv-import, the benchmark's reader): the standard allocation,
// with every large block made of transparent huge pages where the kernel has them.
//
// A big scene is a few large blocks: the plug-in's record lists, the scene's corner arrays, the
// writer's vertex batches. Each fresh 4 KiB page costs a page fault on first touch, and on virtual
// machines a fault costs far more than the copy that caused it; with 2 MiB pages a block of 64 MiB
// costs 32 faults instead of 16,384. The kernel only gives huge pages to memory that asks for them
// (its usual setting), and the C library's allocator does not ask, so this does it for the whole
// program: the plug-in, loaded into the process, allocates through this function too.
//
// Only the allocation is replaced. The memory comes from std::malloc or std::aligned_alloc, so the
// library's operator delete (std::free) and every other form of new, which call this one, stay as
// they are. Sanitizer builds keep their own allocator.
#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "host/memory/huge_pages.h"

#if defined(__SANITIZE_ADDRESS__)
#define KZV_KEEP_STANDARD_NEW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define KZV_KEEP_STANDARD_NEW 1
#endif
#endif

#if !defined(KZV_KEEP_STANDARD_NEW) && defined(MADV_HUGEPAGE)

namespace {

using kzv::host::huge_pages::kPageSize;

// Blocks from this size on are whole huge pages, starting on a huge-page boundary: otherwise the
// parts of a block outside its whole aligned 2 MiB pages, up to 4 MiB of each, would still be
// faulted in 4 KiB at a time. A block then costs less than 2 MiB more memory than it asks for.
constexpr std::size_t kHugePagesFrom = 1 << 20;

// Memory for `size` bytes, or null. Large blocks come from aligned_alloc (which std::free
// releases, as the library's operator delete does) and are advised before anything touches them.
void* allocate(std::size_t size) noexcept {
    if (size < kHugePagesFrom) return std::malloc(size);
    const std::size_t rounded = kzv::host::huge_pages::rounded(size);
    if (rounded == 0) return nullptr;
    void* block = std::aligned_alloc(kPageSize, rounded);
    if (block != nullptr) kzv::host::huge_pages::advise(block, rounded);
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* block = allocate(size)) return block;
        // As the standard allocation does: the installed handler may free memory and let us retry.
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

#endif
