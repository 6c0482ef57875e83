// MappedArray: a growable array of plain values for the scene's big arrays (millions of corners).
//
// Why not std::vector: a vector grows by copying into a new block while the old one is still alive,
// so it touches up to three times the memory it ends with. Once this array is big, it lives in pages
// of its own, grows by remapping them (no copying) and asks the kernel for transparent huge pages.
// Both matter because every first touch of a fresh 4 KiB page is a page fault, and on virtual
// machines a fault can cost as much as copying a few hundred KiB; with 2 MiB pages a large array
// costs a few hundred faults instead of tens of thousands. Small arrays stay on the heap, whose
// memory a process reuses, as the scenes of a batch of small files do.
//
// Only for trivially copyable types (values move without running constructors). Move-only.
// Allocation failures throw std::bad_alloc.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "host/memory/huge_pages.h"
#include "host/memory/memory_budget.h"

namespace kzv::host {

namespace mapped_memory {

// Arrays from this size on get pages of their own.
inline constexpr std::size_t kMappedFrom = 1 << 20;
// Their blocks are whole huge pages on huge-page boundaries, so that none of their memory is
// faulted in 4 KiB at a time.
inline constexpr std::size_t kHugePage = huge_pages::kPageSize;

// Fresh pages of `bytes` (whole huge pages) starting on a huge-page boundary; std::bad_alloc on
// failure. Maps a huge page more than asked and gives back what lies outside the aligned block.
inline void* map(std::size_t bytes) {
    const std::size_t span = bytes + kHugePage;
    void* mapped = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    auto* const raw = static_cast<char*>(mapped);
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    char* const block = raw + ((kHugePage - start % kHugePage) % kHugePage);
    if (block > raw) (void)::munmap(raw, static_cast<std::size_t>(block - raw));
    if (char* const end = block + bytes; end < raw + span)
        (void)::munmap(end, static_cast<std::size_t>(raw + span - end));
    huge_pages::advise(block, bytes);
    return block;
}

// The pages of `old_bytes` moved, without copying, to the start of a fresh block of `new_bytes`
// (both whole huge pages). std::bad_alloc on failure, the old pages then staying as they were.
inline void* remap(void* block, std::size_t old_bytes, std::size_t new_bytes) {
    void* const bigger = map(new_bytes);
    void* const moved = ::mremap(block, old_bytes, old_bytes, MREMAP_MAYMOVE | MREMAP_FIXED, bigger);
    if (moved == MAP_FAILED) {
        (void)::munmap(bigger, new_bytes);
        throw std::bad_alloc();
    }
    return moved;
}

inline void release(void* block, std::size_t bytes) noexcept {
    memory_budget::release(bytes);
    if (bytes >= kMappedFrom) {
        (void)::munmap(block, bytes);
    } else {
        std::free(block);
    }
}

// `block` of `old_bytes` (null for none) resized to `new_bytes`, contents kept: on the heap while
// small, in pages of its own once big (`new_bytes` then being whole huge pages).
inline void* resize(void* block, std::size_t old_bytes, std::size_t new_bytes) {
    if (new_bytes < kMappedFrom) {
        void* moved = std::realloc(block, new_bytes);
        if (moved == nullptr) throw std::bad_alloc();
        return moved;
    }
    if (old_bytes >= kMappedFrom) return remap(block, old_bytes, new_bytes);
    void* mapped = map(new_bytes);
    if (old_bytes > 0) std::memcpy(mapped, block, old_bytes);
    std::free(block);
    return mapped;
}

}  // namespace mapped_memory

template <class T>
requires std::is_trivially_copyable_v<T>
class MappedArray {
  public:
    MappedArray() = default;
    MappedArray(MappedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          bytes_(std::exchange(other.bytes_, 0)) {}
    MappedArray& operator=(MappedArray&& other) noexcept {
        MappedArray moved(std::move(other));
        std::swap(data_, moved.data_);
        std::swap(size_, moved.size_);
        std::swap(bytes_, moved.bytes_);
        return *this;
    }
    MappedArray(const MappedArray&) = delete;
    MappedArray& operator=(const MappedArray&) = delete;
    ~MappedArray() {
        if (data_ != nullptr) mapped_memory::release(data_, bytes_);
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    T& back() noexcept { return data_[size_ - 1]; }
    const T& back() const noexcept { return data_[size_ - 1]; }

    // By value: `value` may be an element of this array, which growing moves.
    T& push_back(T value) {
        if (size_ == capacity()) grow(size_ + 1);
        return *::new (static_cast<void*>(data_ + size_++)) T(value);
    }

    // Room for `count` values in all without growing again.
    void reserve(std::size_t count) {
        if (count > capacity()) grow(count);
    }

    // Drops the values from `count` on (count <= size()); their memory stays for reuse.
    void truncate(std::size_t count) noexcept { size_ = count; }

    // Gives back the room beyond size() of an array still on the heap (a mapped one keeps its
    // pages: those never touched cost nothing). Keeps everything as it is if the heap refuses.
    void shrink_to_fit() noexcept {
        if (bytes_ >= mapped_memory::kMappedFrom || size_ == capacity() || size_ == 0) return;
        const std::size_t bytes = size_ * sizeof(T);
        void* smaller = std::realloc(data_, bytes);
        if (smaller == nullptr) return;
        memory_budget::release(bytes_ - bytes);
        data_ = static_cast<T*>(smaller);
        bytes_ = bytes;
    }

  private:
    static constexpr std::size_t kFirstSize = 4;  // small: a scene may hold many small arrays
    static constexpr std::size_t kMaxSize = (std::size_t{1} << 46) / sizeof(T);

    std::size_t capacity() const noexcept { return bytes_ / sizeof(T); }

    // Doubles the capacity (or more, up to `at_least`); for a big array only page tables move.
    void grow(std::size_t at_least) {
        if (at_least > kMaxSize) throw std::bad_alloc();
        std::size_t wanted = std::max(capacity(), kFirstSize);
        while (wanted < at_least) wanted = std::min(wanted * 2, kMaxSize);
        std::size_t bytes = wanted * sizeof(T);
        if (bytes >= mapped_memory::kMappedFrom) bytes = huge_pages::rounded(bytes);
        const std::size_t more = bytes - bytes_;  // counted in the memory budget (big arrays move pages)
        if (!memory_budget::reserve(more)) throw std::bad_alloc();
        try {
            data_ = static_cast<T*>(mapped_memory::resize(data_, bytes_, bytes));
        } catch (...) {
            memory_budget::release(more);
            throw;
        }
        bytes_ = bytes;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t bytes_ = 0;  // of the block at data_: heap memory below kMappedFrom, pages from it on
};

}  // namespace kzv::host
