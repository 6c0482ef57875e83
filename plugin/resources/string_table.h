// The component's string table, compiled in (stored with the language tag 1033).
//
// Ids 101 to 104 are the block of base index 100 (title, caption, the two completion messages),
// 201 to 206 the block of base index 200. The table a thread loads from can be replaced for tests
// (ScopedStringTable) to exercise the failure of a missing id.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace imp_kzv {

struct StringTableEntry {
    std::int32_t id;
    std::string_view text;
};

// The table compiled into the component.
std::span<const StringTableEntry> BuiltInStringTable() noexcept;

// The text of id in the calling thread's table, or nothing if the table lacks it.
std::optional<std::string_view> FindString(std::int32_t id) noexcept;

// Makes the calling thread load from table (which must outlive the guard) until the guard ends.
class ScopedStringTable {
  public:
    explicit ScopedStringTable(std::span<const StringTableEntry> table) noexcept;
    ~ScopedStringTable();
    ScopedStringTable(const ScopedStringTable&) = delete;
    ScopedStringTable& operator=(const ScopedStringTable&) = delete;

  private:
    std::span<const StringTableEntry> previous_;
};

}  // namespace imp_kzv
