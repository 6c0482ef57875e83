#include "host/scene/mapped_array.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace kzv::host {
namespace {

struct Item {
    std::uint32_t index;
    std::array<float, 5> values;
};

// Growing moves the pages, several times over for a few MiB: every value stays where it was.
TEST(MappedArray, GrowingKeepsEveryValue) {
    constexpr std::uint32_t kCount = 300'000;  // about 7 MiB
    MappedArray<Item> items;
    for (std::uint32_t i = 0; i < kCount; ++i) items.push_back({i, {1.0f * i, 2, 3, 4, 5}});
    ASSERT_EQ(items.size(), kCount);
    std::uint32_t wrong = 0;
    for (std::uint32_t i = 0; i < kCount; ++i) wrong += items[i].index != i || items[i].values[0] != 1.0f * i;
    EXPECT_EQ(wrong, 0u);

    MappedArray<Item> moved = std::move(items);
    EXPECT_EQ(moved.size(), kCount);
    EXPECT_TRUE(items.empty());  // NOLINT(bugprone-use-after-move): a moved-from array is empty
    items = std::move(moved);
    EXPECT_EQ(items.back().index, kCount - 1);
}

TEST(MappedArray, ExtendedValuesStartAsZeros) {
    MappedArray<std::uint64_t> values;
    values.push_back(7);
    std::uint64_t* added = values.extend_zeroed(100'000);
    EXPECT_EQ(added, values.data() + 1);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < 100'000; ++i) sum += added[i];
    EXPECT_EQ(sum, 0u);
    EXPECT_EQ(values.size(), 100'001u);
    EXPECT_EQ(values[0], 7u);
}

TEST(MappedArray, RefusesSizesNoMachineHas) {
    MappedArray<std::uint64_t> values;
    EXPECT_THROW(values.reserve(std::size_t{1} << 60), std::bad_alloc);
    EXPECT_TRUE(values.empty());
}

}  // namespace
}  // namespace kzv::host
