// Write, read, write gives the same bytes; reading through the file buffer gives the same world as
// reading from memory, whatever the buffer size.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_support.h"

namespace imp_kzv::testing {
namespace {

std::vector<std::byte> Rewrite(const std::vector<std::byte>& bytes) {
    const ReadResult r = ReadWorld(bytes);
    EXPECT_EQ(r.error.number, 0) << r.error.description;
    EXPECT_EQ(r.end_offset, bytes.size());
    return scenewriter::WriteScene(r.world);
}

std::vector<std::byte> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* begin = reinterpret_cast<const std::byte*>(chars.data());
    return {begin, begin + chars.size()};
}

TEST(RoundTrip, DemoSceneGivesIdenticalBytes) {
    const auto bytes = scenewriter::WriteScene(*scenewriter::MakeDemoWorld());
    EXPECT_EQ(Rewrite(bytes), bytes);
}

TEST(RoundTrip, RandomScenesGiveIdenticalBytes) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        const auto bytes = scenewriter::WriteScene(*scenewriter::MakeRandomWorld(seed));
        ASSERT_EQ(Rewrite(bytes), bytes) << "seed " << seed;
    }
}

TEST(RoundTrip, GridSceneGivesIdenticalBytes) {
    const auto bytes = scenewriter::WriteScene(*scenewriter::MakeGridWorld(40, 25));
    const ReadResult r = ReadWorld(bytes);
    ASSERT_EQ(r.world.View_MeshGeomList()[0]->View_TriList().size(), 2000u);
    EXPECT_EQ(scenewriter::WriteScene(r.world), bytes);
}

TEST(RoundTrip, FieldOfViewSurvivesForEveryTenthOfADegree) {
    for (int tenth = -3600; tenth <= 3600; ++tenth) {
        const float degrees = static_cast<float>(tenth) / 10.0f;
        const float radians = scenewriter::FovRadiansFor(degrees);
        const float read = p3dCamera::DegreesFromFileRadians(radians);
        ASSERT_EQ(scenewriter::FovRadiansFor(read), radians) << degrees;
    }
}

TEST(BundledExample, MatchesTheDemoScene) {
    const auto on_disk = ReadFileBytes(KZV_SOURCE_DIR "/examples/demo.KZV");
    EXPECT_EQ(on_disk, scenewriter::WriteScene(*scenewriter::MakeDemoWorld()))
        << "examples/demo.KZV is stale: run make-demo";
}

TEST(FileReader, AnyBufferSizeReadsTheSameWorldAsMemory) {
    const auto path = (std::filesystem::temp_directory_path() / "kzv_buffer_test.KZV").string();
    for (std::uint32_t seed : {3u, 17u, 99u}) {
        const auto bytes = scenewriter::WriteScene(*scenewriter::MakeRandomWorld(seed));
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        }
        for (std::size_t buffer : {1u, 64u, 65u, 100u, 127u, 4096u}) {
            SceneReader file = SceneReader::open_file(path, "test", buffer);
            ASSERT_EQ(file.remaining(), bytes.size());
            p3dWorld world;
            world.Read(file);
            EXPECT_EQ(file.remaining(), 0u);
            EXPECT_EQ(scenewriter::WriteScene(world), bytes) << "seed " << seed << ", buffer " << buffer;
        }
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace imp_kzv::testing
