// MappedArray: a growable array of plain values in pages of its own, for the scene's and the glTF
// writer's big arrays (millions of corners).
//
// Why not std::vector: a vector grows by copying into a new block while the old one is still alive,
// so it touches up to three times the memory it ends with. This array grows by remapping its pages
// (no copying) and asks the kernel for transparent huge pages. Both matter because every first touch
// of a fresh 4 KiB page is a page fault, and on virtual machines a fault can cost as much as copying
// a few hundred KiB; with 2 MiB pages a large array costs a few hundred faults instead of tens of
// thousands.
//
// Only for trivially copyable types (the pages move without running constructors). Move-only.
// Allocation failures throw std::bad_alloc.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace kzv::host {

namespace mapped_memory {

// Huge pages are a request, not a need: where the kernel has none (or they are off), ordinary
// pages serve, so the advice's outcome is ignored.
inline void advise_huge_pages(void* block, std::size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
    (void)::madvise(block, bytes, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

// `bytes` rounded up to whole pages.
inline std::size_t page_rounded(std::size_t bytes) noexcept {
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

// Fresh zeroed pages of at least `bytes` (> 0); std::bad_alloc on failure.
inline void* allocate(std::size_t bytes) {
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    advise_huge_pages(block, bytes);
    return block;
}

// The block of `old_bytes` resized to `new_bytes`, contents kept; it may move. std::bad_alloc on
// failure, the old block then staying as it was.
inline void* resize(void* block, std::size_t old_bytes, std::size_t new_bytes) {
    void* moved = ::mremap(block, old_bytes, new_bytes, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    advise_huge_pages(moved, new_bytes);
    return moved;
}

inline void release(void* block, std::size_t bytes) noexcept {
    (void)::munmap(block, bytes);
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
          mapped_bytes_(std::exchange(other.mapped_bytes_, 0)) {}
    MappedArray& operator=(MappedArray&& other) noexcept {
        MappedArray moved(std::move(other));
        std::swap(data_, moved.data_);
        std::swap(size_, moved.size_);
        std::swap(mapped_bytes_, moved.mapped_bytes_);
        return *this;
    }
    MappedArray(const MappedArray&) = delete;
    MappedArray& operator=(const MappedArray&) = delete;
    ~MappedArray() {
        if (data_ != nullptr) mapped_memory::release(data_, mapped_bytes_);
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

    T& push_back(const T& value) {
        if (size_ == capacity()) grow(size_ + 1);
        return *::new (static_cast<void*>(data_ + size_++)) T(value);
    }

    // Room for `count` values in all without growing again.
    void reserve(std::size_t count) {
        if (count > capacity()) grow(count);
    }

    // `count` more values, zero-filled bytes (fresh pages are zero); answers the first of them.
    // For arrays that are filled in place right away.
    T* extend_zeroed(std::size_t count) {
        reserve(size_ + count);
        T* first = data_ + size_;
        size_ += count;
        return first;
    }

  private:
    static constexpr std::size_t kFirstBytes = 64 * 1024;

    std::size_t capacity() const noexcept { return mapped_bytes_ / sizeof(T); }

    // Doubles the capacity (or more, up to `at_least`); growth is cheap, since only page tables move.
    void grow(std::size_t at_least) {
        if (at_least > kMaxSize) throw std::bad_alloc();
        std::size_t wanted = std::max(capacity(), kFirstBytes / sizeof(T));
        while (wanted < at_least) wanted = std::min(wanted * 2, kMaxSize);
        const std::size_t bytes = mapped_memory::page_rounded(wanted * sizeof(T));
        data_ = static_cast<T*>(data_ == nullptr ? mapped_memory::allocate(bytes)
                                                 : mapped_memory::resize(data_, mapped_bytes_, bytes));
        mapped_bytes_ = bytes;
    }

    static constexpr std::size_t kMaxSize = (std::size_t{1} << 46) / sizeof(T);

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_bytes_ = 0;
};

}  // namespace kzv::host
