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

// A value pushed from the array itself survives the growth that the push causes.
TEST(MappedArray, PushesItsOwnElementsAndTruncates) {
    MappedArray<std::uint64_t> values;
    values.push_back(7);
    for (int i = 0; i < 20'000; ++i) values.push_back(values[static_cast<std::size_t>(i)] + 1);
    EXPECT_EQ(values.back(), 7u + 20'000u);
    values.truncate(3);
    values.push_back(1);
    EXPECT_EQ(values.size(), 4u);
    EXPECT_EQ(values[2], 9u);
    EXPECT_EQ(values[3], 1u);
}

TEST(MappedArray, RefusesSizesNoMachineHas) {
    MappedArray<std::uint64_t> values;
    EXPECT_THROW(values.reserve(std::size_t{1} << 60), std::bad_alloc);
    EXPECT_TRUE(values.empty());
}

}  // namespace
}  // namespace kzv::host
