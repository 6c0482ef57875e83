// The programs' global operator new (kzv-import, the benchmark's reader): the standard allocation,
// plus a request for transparent huge pages on every large block.
//
// A big scene is a few large blocks: the plug-in's record lists, the scene's corner arrays, the
// writer's vertex batches. Each fresh 4 KiB page costs a page fault on first touch, and on virtual
// machines a fault costs far more than the copy that caused it; with 2 MiB pages a block of 64 MiB
// costs 32 faults instead of 16,384. The kernel only gives huge pages to memory that asks for them
// (its usual setting), and the C library's allocator does not ask, so this does it for the whole
// program: the plug-in, loaded into the process, allocates through this function too.
//
// Only the allocation is replaced. The memory comes from std::malloc, so the library's operator
// delete (std::free) and every other form of new, which call this one, stay as they are. Sanitizer
// builds keep their own allocator.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KZV_KEEP_STANDARD_NEW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define KZV_KEEP_STANDARD_NEW 1
#endif
#endif

#if !defined(KZV_KEEP_STANDARD_NEW) && defined(MADV_HUGEPAGE)

namespace {

// Blocks from this size on ask for huge pages: they hold at least one whole aligned 2 MiB page.
constexpr std::size_t kHugePagesFrom = 4 << 20;
constexpr std::uintptr_t kPage = 4096;

// The whole pages inside [block, block + size). The advice is a request: where huge pages are off
// or none are free, ordinary pages serve, so its outcome is ignored. The block is still untouched
// beyond the allocator's header, so its pages are not faulted in yet.
void advise_huge_pages(void* block, std::size_t size) noexcept {
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (start + size) & ~(kPage - 1);
    if (end > first) (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace

void* operator new(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* block = std::malloc(size)) {
            if (size >= kHugePagesFrom) advise_huge_pages(block, size);
            return block;
        }
        // As the standard allocation does: the installed handler may free memory and let us retry.
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

#endif
