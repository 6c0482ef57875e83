#include "allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> g_largest{0};
std::atomic<std::size_t> g_count{0};
}  // namespace

// Kept in their own file: where the compiler sees these bodies next to a new-expression it warns about
// malloc/free pairing, although the pair is consistent.
void* operator new(std::size_t size) {
    g_count.fetch_add(1, std::memory_order_relaxed);
    std::size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace imp_kzv::testing {

void ResetLargestAllocation() noexcept {
    g_largest = 0;
}
std::size_t LargestAllocation() noexcept {
    return g_largest.load();
}
std::size_t AllocationCount() noexcept {
    return g_count.load();
}

}  // namespace imp_kzv::testing
