// A list of records that costs no allocation per record. It holds either
//  - records read from a file: values side by side in a shared block (often a slice of a block that
//    several lists share), or
//  - a caller's pointers, kept as given (null elements included), after a Set_ accessor.
// Either way a record has one identity: pointers() hands out std::shared_ptrs to the very records the
// list holds (a change through one is seen by the list), and each of them keeps its record alive
// however long the list lives. Copies of a list share its records, as copies of a vector of pointers
// would.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace imp_kzv {

template <class T>
class RecordList {
  public:
    // Walks the list in order; each step yields the record, or null where the caller's list had a null.
    class Iterator {
      public:
        Iterator(const RecordList* list, std::size_t index) noexcept : list_(list), index_(index) {}
        const T* operator*() const noexcept { return (*list_)[index_]; }
        Iterator& operator++() noexcept {
            ++index_;
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return index_ == other.index_; }

      private:
        const RecordList* list_;
        std::size_t index_;
    };

    RecordList() = default;
    // Keeps the caller's records themselves (reference semantics), nulls included.
    explicit RecordList(std::vector<std::shared_ptr<T>> records) {
        if (records.empty()) return;
        owner_ = std::make_shared<Pointers>(std::move(records));
        size_ = kPointers;
    }
    RecordList(const RecordList&) = default;
    RecordList& operator=(const RecordList&) = default;
    // A moved-from list is empty (its owner is gone, so its size must go too).
    RecordList(RecordList&& other) noexcept
        : owner_(std::move(other.owner_)), size_(std::exchange(other.size_, 0)) {}
    RecordList& operator=(RecordList&& other) noexcept {
        owner_ = std::move(other.owner_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }
    ~RecordList() = default;

    std::size_t size() const noexcept { return holds_pointers() ? pointer_list().size() : size_; }
    bool empty() const noexcept { return size() == 0; }
    // The record at `index` (< size()); null where the caller's list had a null.
    const T* operator[](std::size_t index) const noexcept {
        return holds_pointers() ? pointer_list()[index].get() : values() + index;
    }
    Iterator begin() const noexcept { return {this, 0}; }
    Iterator end() const noexcept { return {this, size()}; }

    // Shared pointers to the list's own records, in order.
    std::vector<std::shared_ptr<T>> pointers() const {
        if (holds_pointers()) return pointer_list();
        std::vector<std::shared_ptr<T>> result;
        result.reserve(size_);
        for (std::size_t i = 0; i < size_; ++i) result.emplace_back(owner_, values() + i);
        return result;
    }

    void clear() noexcept { *this = RecordList(); }

    // Reads `count` records into a block of their own, each by `read_item(T&)`. A record joins the list
    // before it reads itself, so after a failure the list holds the records read so far, the failing
    // one included, and no empty slot.
    template <class ReadItem>
    void Read(std::size_t count, ReadItem&& read_item) {
        clear();
        if (count == 0) return;
        std::shared_ptr<T[]> block = std::make_shared<T[]>(count);
        T* const first = block.get();
        ReadInto(std::shared_ptr<T>(std::move(block), first), count, read_item);
    }
    // The same into `count` consecutive default records from `first` on, whose block `first` shares.
    template <class ReadItem>
    void ReadInto(std::shared_ptr<T> first, std::size_t count, ReadItem&& read_item) {
        clear();
        T* const slots = first.get();
        owner_ = std::move(first);
        for (std::size_t i = 0; i < count; ++i) {
            size_ = i + 1;
            read_item(slots[i]);
        }
    }

  private:
    using Pointers = std::vector<std::shared_ptr<T>>;
    // size_ takes this value while the list holds a caller's pointers.
    static constexpr std::size_t kPointers = std::numeric_limits<std::size_t>::max();

    bool holds_pointers() const noexcept { return size_ == kPointers; }
    const Pointers& pointer_list() const noexcept { return *static_cast<const Pointers*>(owner_.get()); }
    T* values() const noexcept { return static_cast<T*>(owner_.get()); }

    // The block of values (pointing at the first of ours), or the caller's pointers.
    std::shared_ptr<void> owner_;
    std::size_t size_ = 0;
};

}  // namespace imp_kzv
