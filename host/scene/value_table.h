// ValueTable: finds a mesh node's corner value among the distinct ones it holds, exactly.
//
// An open-addressing hash table of indices into the node's values (linear probing, at most half
// full). Each entry keeps the upper half of its value's hash beside the index, so that the value
// itself is compared only when it very likely matches. Values are equal when their bytes are
// (0 and -0, or two NaNs with different bits, are different values in a file).
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/scene/scene.h"

namespace kzv::host {

// Multiplies of independent words, so that the processor can work on them side by side.
inline std::uint64_t corner_hash(const Corner& corner) {
    static_assert(sizeof(Corner) == 44, "Corner has no padding bytes");
    std::uint64_t words[6] = {};
    std::memcpy(words, &corner, sizeof(Corner));
    constexpr std::uint64_t kFactors[6] = {0x9E3779B97F4A7C15u, 0xC2B2AE3D27D4EB4Fu, 0x165667B19E3779F9u,
                                           0xD6E8FEB86659FD93u, 0xFF51AFD7ED558CCDu, 0xC4CEB9FE1A85EC53u};
    std::uint64_t h = 0;
    for (int i = 0; i < 6; ++i) h ^= words[i] * kFactors[i];
    return h ^ (h >> 29) ^ (h >> 47);
}

inline bool same_bytes(const Corner& a, const Corner& b) {
    return std::memcmp(&a, &b, sizeof(Corner)) == 0;
}

class ValueTable {
  public:
    // Room for `more` entries beyond those held, so that the next `more` inserts cannot fail;
    // std::bad_alloc when there is no memory, the table then staying as it was.
    void reserve(std::size_t more, const MappedArray<Corner>& values) {
        const std::size_t wanted_count = count_ + more;
        if (entries_.empty() && wanted_count <= kFew) return;
        if (2 * wanted_count <= entries_.size()) [[likely]]
            return;
        std::size_t wanted = entries_.empty() ? kFirstSize : entries_.size();
        while (wanted < 2 * wanted_count) wanted *= 2;
        rehash(wanted, values);
    }

    // The index of the value equal to values[candidate] if the table holds one; else candidate,
    // which the table then holds. Needs room (reserve).
    std::uint32_t find_or_add(std::uint32_t candidate, const MappedArray<Corner>& values) {
        const Corner& corner = values[candidate];
        if (entries_.empty()) return find_or_add_few(candidate, values);
        const std::uint64_t hash = corner_hash(corner);
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        const std::size_t mask = entries_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Entry& entry = entries_[at];
            if (entry.index == kNoIndex) {
                entry = {candidate, tag};
                ++count_;
                return candidate;
            }
            if (entry.tag == tag && same_bytes(values[entry.index], corner)) return entry.index;
        }
    }

    std::size_t size() const noexcept { return count_; }

    // The smallest table that holds the entries, when that is smaller; keeps the table as it is
    // if there is no memory for the smaller one.
    void shrink(const MappedArray<Corner>& values) noexcept {
        if (entries_.empty()) return;
        if (count_ <= kFew) {
            std::size_t n = 0;
            for (const Entry& entry : entries_)
                if (entry.index != kNoIndex) few_[n++] = entry.index;
            entries_ = {};
            return;
        }
        std::size_t wanted = kFirstSize;
        while (wanted < 2 * count_) wanted *= 2;
        if (wanted >= entries_.size()) return;
        try {
            rehash(wanted, values);
        } catch (const std::bad_alloc&) {
        }
    }

  private:
    // Up to this many values are held in the table object itself and found by comparing each:
    // a scene of many small instances would otherwise spend more on tables than on values.
    static constexpr std::size_t kFew = 8;
    static constexpr std::size_t kFirstSize = 16;

    struct Entry {
        std::uint32_t index = kNoIndex;  // in the node's values
        std::uint32_t tag = 0;           // the upper half of the value's hash
    };

    std::uint32_t find_or_add_few(std::uint32_t candidate, const MappedArray<Corner>& values) {
        const Corner& corner = values[candidate];
        for (std::size_t n = 0; n < count_; ++n)
            if (same_bytes(values[few_[n]], corner)) return few_[n];
        few_[count_++] = candidate;
        return candidate;
    }

    // A hashed table of `size` entries (a power of two) with everything held so far.
    void rehash(std::size_t size, const MappedArray<Corner>& values) {
        std::vector<Entry> table(size);
        const std::size_t mask = size - 1;
        const auto put = [&](std::uint32_t index) {
            const std::uint64_t hash = corner_hash(values[index]);
            std::size_t at = hash & mask;
            while (table[at].index != kNoIndex) at = (at + 1) & mask;
            table[at] = {index, static_cast<std::uint32_t>(hash >> 32)};
        };
        if (entries_.empty()) {
            for (std::size_t n = 0; n < count_; ++n) put(few_[n]);
        } else {
            for (const Entry& entry : entries_)
                if (entry.index != kNoIndex) put(entry.index);
        }
        entries_.swap(table);
    }

    std::vector<Entry> entries_;  // hashed: a power of two in size; empty while the few_ hold all
    std::array<std::uint32_t, kFew> few_{};
    std::uint32_t count_ = 0;
};

}  // namespace kzv::host
