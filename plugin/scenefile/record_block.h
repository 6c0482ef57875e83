// Block allocation of records. A list of n records costs one allocation instead of n: the records live
// in a shared block, and every std::shared_ptr handed out shares ownership of the whole block (aliasing
// constructor). Record semantics stay: a pointer keeps its record alive however long the list lives.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>

namespace imp_kzv {

template <class T>
class RecordArena {
  public:
    // Makes sure that the next `n` records come from one block; a new block holds max(n, preferred).
    void reserve(std::size_t n, std::size_t preferred) {
        if (size_ - used_ >= n) return;
        size_ = std::max(n, preferred);
        block_ = std::make_shared<T[]>(size_);
        used_ = 0;
    }
    // A fresh default record.
    std::shared_ptr<T> next() { return take(1, 1); }
    // `n` consecutive fresh records (n >= 1) from one block, a new one holding max(n, preferred); the
    // result points at the first and shares ownership of the block.
    std::shared_ptr<T> take(std::size_t n, std::size_t preferred) {
        reserve(n, preferred);
        T* const first = &block_[used_];
        used_ += n;
        return std::shared_ptr<T>(block_, first);
    }

  private:
    std::shared_ptr<T[]> block_;
    std::size_t used_ = 0;
    std::size_t size_ = 0;
};

}  // namespace imp_kzv
