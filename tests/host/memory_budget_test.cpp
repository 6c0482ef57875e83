// The memory budget: sizes as the command line gives them, refusals past the limit, the part kept
// for reporting a failure, and what counts (the program's operator new, the scene's mapped arrays).
// Linked with the programs' operator new, as kzv-import is.
#include "host/memory/memory_budget.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "host/scene/mapped_array.h"
#include "host/scene/scene_host.h"
#include "scene_driver.h"

namespace kzv::host {
namespace {

namespace budget = memory_budget;
constexpr std::size_t kMiB = std::size_t{1} << 20;

// A budget for one test, lifted again at its end.
class MemoryBudget : public ::testing::Test {
  protected:
    void TearDown() override { budget::set_limit(0); }
};

TEST(MemorySizes, ParseAndFormat) {
    const std::vector<std::pair<std::string, std::optional<std::size_t>>> cases = {
        {"4096", 4096},         {"512M", 512 * kMiB},           {"2G", 2048 * kMiB},
        {"3KiB", 3072},         {"1.5G", 1536 * kMiB},          {"1T", std::size_t{1} << 40},
        {"", std::nullopt},     {"-1G", std::nullopt},          {"1.G", std::nullopt},
        {"1GB2", std::nullopt}, {"99999999999T", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(budget::parse_size(text), expected) << text;
    EXPECT_EQ(budget::format_size(512 * kMiB), "512M");
    EXPECT_EQ(budget::format_size(1536 * kMiB), "1.5G");
    EXPECT_EQ(budget::format_size(100), "100");
    EXPECT_EQ(budget::parse_size(budget::format_size(12 * 1024 * kMiB)), 12 * 1024 * kMiB);
    EXPECT_GT(budget::default_limit(), 0u);
}

TEST_F(MemoryBudget, RefusesPastTheLimitAndKeepsThePartForReporting) {
    budget::set_limit(64 * kMiB);  // 2 MiB of it kept for reporting a failure
    const std::size_t start = budget::used();
    ASSERT_LT(start, 8 * kMiB);
    ASSERT_TRUE(budget::reserve(60 * kMiB - start));
    EXPECT_FALSE(budget::reserve(3 * kMiB)) << "into the reporting part";
    EXPECT_EQ(budget::used(), 60 * kMiB) << "a refusal counts nothing";
    EXPECT_TRUE(budget::reserve(1 * kMiB));
    EXPECT_TRUE(budget::reserve(2 * kMiB)) << "the failure's report may use the reporting part";
    EXPECT_FALSE(budget::reserve(2 * kMiB)) << "never past the limit";
    EXPECT_FALSE(budget::reserve(std::size_t{1} << 62));

    // Once the total is well below the limit again, the reporting part is kept back again.
    budget::release(63 * kMiB - start);
    EXPECT_TRUE(budget::reserve(1));
    ASSERT_TRUE(budget::reserve(61 * kMiB - budget::used()));
    EXPECT_FALSE(budget::reserve(2 * kMiB));
    budget::release(budget::used() - start);

    budget::set_limit(0);
    EXPECT_TRUE(budget::reserve(std::size_t{1} << 40)) << "no limit: only counted";
    budget::release(std::size_t{1} << 40);
    EXPECT_EQ(budget::used(), start);
}

TEST_F(MemoryBudget, MappedArraysCountTheirMemory) {
    const std::size_t start = budget::used();
    {
        MappedArray<std::uint64_t> values;
        for (std::uint64_t i = 0; i < 1'000'000; ++i) values.push_back(i);
        EXPECT_GE(budget::used(), start + 8'000'000);
        budget::set_limit(budget::used() + 4 * kMiB);
        EXPECT_THROW(
            {
                for (std::uint64_t i = 0; i < 4'000'000; ++i) values.push_back(i);
            },
            std::bad_alloc);
        EXPECT_EQ(values[999'999], 999'999u) << "a refused growth keeps the values";
    }
    EXPECT_EQ(budget::used(), start);
}

TEST_F(MemoryBudget, OperatorNewCountsAndRefuses) {
    if (!budget::heap_counted()) GTEST_SKIP() << "sanitizer builds keep their own allocator, uncounted";
    const std::size_t start = budget::used();
    auto block = std::make_unique<char[]>(10 * kMiB);
    EXPECT_GE(budget::used(), start + 10 * kMiB);
    block.reset();
    EXPECT_LE(budget::used(), start + kMiB);

    budget::set_limit(budget::used() + 64 * kMiB);
    EXPECT_THROW((void)std::make_unique<char[]>(100 * kMiB), std::bad_alloc);
    std::vector<int> growing;
    EXPECT_THROW(
        {
            for (int i = 0; i < 100'000'000; ++i) growing.push_back(i);
        },
        std::bad_alloc);
    EXPECT_EQ(new (std::nothrow) char[100 * kMiB], nullptr);
    struct alignas(64) Aligned {
        char bytes[64];
    };
    EXPECT_THROW((void)std::make_unique<Aligned[]>(2 * kMiB), std::bad_alloc);
    auto aligned = std::make_unique<Aligned[]>(1024);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned.get()) % 64, 0u);
}

// A scene of many instances of a small geometry: each mesh node of two triangles (four distinct
// corner values, 176 bytes of them) must not keep room for many more values than it holds.
TEST_F(MemoryBudget, SmallMeshNodesKeepLittleSpareRoom) {
    if (!budget::heap_counted()) GTEST_SKIP() << "sanitizer builds keep their own allocator, uncounted";
    constexpr int kNodes = 3000;
    auto host = SceneHost::create();
    const std::size_t start = budget::used();
    for (int n = 0; n < kNodes; ++n) {
        const tessavo::Handle node = testing::add_group(*host, "Quad", 0);
        testing::TriangleSpec first = testing::facing_triangle();
        testing::TriangleSpec second = first;
        second.corners[1].position = {1, 1, 0};
        testing::add_triangle(*host, node, first);
        testing::add_triangle(*host, node, second);
    }
    const double per_node = static_cast<double>(budget::used() - start) / kNodes;
    EXPECT_LT(per_node, 650.0) << "bytes a mesh node of two triangles costs, growing arrays' room included";
}

}  // namespace
}  // namespace kzv::host
