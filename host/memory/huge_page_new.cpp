// The programs' global operator new and delete (kzv-import, the benchmark's reader): the standard
// allocation, counted in the memory budget, with every large block made of transparent huge pages
// where the kernel has them.
//
// A big scene is a few large blocks: the plug-in's record lists, the scene's corner arrays, the
// writer's vertex batches. Each fresh 4 KiB page costs a page fault on first touch, and on virtual
// machines a fault costs far more than the copy that caused it; with 2 MiB pages a block of 64 MiB
// costs 32 faults instead of 16,384. The kernel only gives huge pages to memory that asks for them
// (its usual setting), and the C library's allocator does not ask, so this does it for the whole
// program: the plug-in, loaded into the process, allocates through these functions too.
//
// The budget (host/memory/memory_budget.h) is asked before the memory is: a refused block throws
// std::bad_alloc without touching anything, which the plug-in and the host turn into their
// out-of-memory failures. A block counts with the size the C library gives it
// (malloc_usable_size), the same when it is allocated and when it is freed.
//
// The memory comes from std::malloc or std::aligned_alloc and goes back with std::free. The other
// forms of new and delete (arrays, nothrow) call these. Sanitizer builds keep their own allocator,
// and with it their checks of mismatched new and delete; the budget then counts mapped memory only.
#include <malloc.h>
#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "host/memory/huge_pages.h"
#include "host/memory/memory_budget.h"
#include "host/memory/sanitizer_allocator.h"

#if !defined(KZV_SANITIZER_ALLOCATOR)

namespace {

namespace budget = kzv::host::memory_budget;
using kzv::host::huge_pages::kPageSize;

// Blocks from this size on are whole huge pages, starting on a huge-page boundary: otherwise the
// parts of a block outside its whole aligned 2 MiB pages, up to 4 MiB of each, would still be
// faulted in 4 KiB at a time. A block then costs less than 2 MiB more memory than it asks for.
constexpr std::size_t kHugePagesFrom = 1 << 20;

// Memory for `size` bytes aligned to `alignment` (0: malloc's own), or null. Large blocks come
// from aligned_alloc (which std::free releases) and are advised before anything touches them.
void* allocate(std::size_t size, std::size_t alignment) noexcept {
#ifdef MADV_HUGEPAGE
    if (size >= kHugePagesFrom) {
        const std::size_t rounded = kzv::host::huge_pages::rounded(size);
        if (rounded == 0) return nullptr;
        void* block = std::aligned_alloc(alignment > kPageSize ? alignment : kPageSize, rounded);
        if (block != nullptr) kzv::host::huge_pages::advise(block, rounded);
        return block;
    }
#endif
    if (alignment == 0) return std::malloc(size);
    const std::size_t whole = (size + alignment - 1) / alignment * alignment;  // as aligned_alloc wants
    return whole < size ? nullptr : std::aligned_alloc(alignment, whole);
}

// A block counted in the budget, or null when the budget or the C library refuses it.
void* counted_allocate(std::size_t size, std::size_t alignment) noexcept {
    if (!budget::reserve(size)) return nullptr;
    void* block = allocate(size, alignment);
    if (block == nullptr) {
        budget::release(size);
        return nullptr;
    }
    budget::add(::malloc_usable_size(block) - size);  // what the block really holds
    return block;
}

void* new_block(std::size_t size, std::size_t alignment) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* block = counted_allocate(size, alignment)) return block;
        // As the standard allocation does: the installed handler may free memory and let us retry.
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void delete_block(void* block) noexcept {
    if (block == nullptr) return;
    budget::release(::malloc_usable_size(block));
    std::free(block);
}

// Tells the budget that the heap is counted, before main() starts.
[[maybe_unused]] const bool kHeapCounted = (budget::detail::heap_counted.store(true), true);

}  // namespace

void* operator new(std::size_t size) {
    return new_block(size, 0);
}

void* operator new(std::size_t size, std::align_val_t alignment) {
    return new_block(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept {
    delete_block(block);
}

void operator delete(void* block, std::size_t) noexcept {
    delete_block(block);
}

void operator delete(void* block, std::align_val_t) noexcept {
    delete_block(block);
}

void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    delete_block(block);
}

#endif
