#include "resources/string_table.h"

#include <array>

namespace imp_kzv {
namespace {

constexpr std::array<StringTableEntry, 10> kStrings{{
    {101, "KZV Import Export Plugin"},
    {102, "KZV"},
    {103, "Import Complete"},
    {104, "Export Complete"},
    {201, "999999"},
    {202, "999999"},
    {203, "999999"},
    {204, "999999"},
    {205, "999999"},
    {206, "999999"},
}};

thread_local std::span<const StringTableEntry> active_table = kStrings;

}  // namespace

std::span<const StringTableEntry> BuiltInStringTable() noexcept {
    return kStrings;
}

std::optional<std::string_view> FindString(std::int32_t id) noexcept {
    for (const StringTableEntry& entry : active_table) {
        if (entry.id == id) return entry.text;
    }
    return std::nullopt;
}

ScopedStringTable::ScopedStringTable(std::span<const StringTableEntry> table) noexcept
    : previous_(active_table) {
    active_table = table;
}

ScopedStringTable::~ScopedStringTable() {
    active_table = previous_;
}

}  // namespace imp_kzv
