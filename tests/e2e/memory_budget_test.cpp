// kzv-import under its memory budget: scenes that would take more memory than the budget fail
// with out of memory (error 7) through the usual error path, and big scenes that fit still import.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "run_program.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using imp_kzv::p3dGroup;
using imp_kzv::p3dWorld;

// Sanitizer builds keep their own allocator, which the budget cannot count.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapCounted = false;
#else
constexpr bool kHeapCounted = true;
#endif
#define SKIP_WITHOUT_COUNTED_HEAP()                                               \
    if (!kHeapCounted)                                                            \
    GTEST_SKIP() << "sanitizer builds keep their own allocator: the budget does " \
                    "not count the heap there"

class MemoryBudget : public ::testing::Test {
  protected:
    kzv_test::ProgramRun import(std::vector<std::string> args) {
        const auto start = std::chrono::steady_clock::now();
        kzv_test::ProgramRun run = kzv_test::run_checked(KZV_IMPORT, std::move(args), scratch_.path());
        seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return run;
    }
    fs::path file(const std::string& name) const { return dir_.path() / name; }

    // The failure the budget makes: error 7 reported, the import failed, nothing written.
    void expect_out_of_memory(const kzv_test::ProgramRun& run, const fs::path& output) {
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.err.rfind("error 7: Out of memory", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("kzv-import: import failed; nothing written"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(output));
    }

    kzv_test::TempDir dir_;
    kzv_test::TempDir scratch_;
    double seconds_ = 0;
};

// 40 groups, each listing the next twice: 2^40 group visits from a file of a few KB.
TEST_F(MemoryBudget, DoublingGroupsFailWithinTheBudget) {
    SKIP_WITHOUT_COUNTED_HEAP();
    p3dWorld world = *imp_kzv::scenewriter::MakeGridWorld(1, 1);
    std::vector<std::shared_ptr<p3dGroup>> groups;
    for (int i = 0; i < 40; ++i) {
        auto group = std::make_shared<p3dGroup>();
        group->name = "g" + std::to_string(i);
        group->pivot = std::make_shared<imp_kzv::p3dPt3D>();
        if (i + 1 < 40) group->Set_iChildGroupList({i + 1, i + 1});
        groups.push_back(group);
    }
    world.Set_GroupList(groups);
    imp_kzv::scenewriter::WriteSceneFile(world, file("doubling.KZV").string());
    ASSERT_LT(fs::file_size(file("doubling.KZV")), 8192u);

    const kzv_test::ProgramRun run = import({"-q", "--memory-limit", "1G", file("doubling.KZV").string()});
    expect_out_of_memory(run, file("doubling.glb"));
    RecordProperty("seconds", std::to_string(seconds_));
}

// The reader's records count too: a sparse file of 2^27 vertices (2 GiB, all zeros) fails at once
// instead of filling gigabytes with them.
TEST_F(MemoryBudget, RecordsOfTheReaderCount) {
    SKIP_WITHOUT_COUNTED_HEAP();
    // A scene with one vertex at a position that marks where the vertex list is in the file.
    std::shared_ptr<p3dWorld> world = imp_kzv::scenewriter::MakeGridWorld(1, 1);
    auto marker = std::make_shared<imp_kzv::p3dVert>();
    marker->loc = std::make_shared<imp_kzv::p3dPt3D>();
    marker->loc->x = 1234.5f;
    world->View_MeshGeomList().front()->Set_VertexList({marker});
    const std::vector<std::byte> bytes = imp_kzv::scenewriter::WriteScene(*world);
    const float x = 1234.5f;
    std::byte pattern[16] = {};
    std::memcpy(pattern, &x, sizeof x);
    const auto found = std::search(bytes.begin(), bytes.end(), std::begin(pattern), std::end(pattern));
    ASSERT_NE(found, bytes.end());
    const std::size_t list = static_cast<std::size_t>(found - bytes.begin()) - 4;  // the list's count

    // The count becomes 2^27 and the vertex 2^27 zero vertices of 16 bytes, as a hole in the file.
    constexpr std::uint32_t kVertices = 1u << 27;
    const int fd = ::open(file("sparse.KZV").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), list), static_cast<ssize_t>(list));
    ASSERT_EQ(::write(fd, &kVertices, 4), 4);
    const off_t after = static_cast<off_t>(list + 4) + off_t{kVertices} * 16;
    const std::size_t rest = bytes.size() - (list + 4 + 16);
    ASSERT_EQ(::pwrite(fd, bytes.data() + list + 4 + 16, rest, after), static_cast<ssize_t>(rest));
    ::close(fd);

    const kzv_test::ProgramRun run = import({"-q", "--memory-limit", "1G", file("sparse.KZV").string()});
    expect_out_of_memory(run, file("sparse.glb"));
    EXPECT_NE(run.err.find("Imp_KZV.meshGeom"), std::string::npos) << run.err;
    RecordProperty("seconds", std::to_string(seconds_));
}

// A million triangles with normals, both texture coordinate sets and colours fit in 1G; a budget
// too small for them fails the same way as the scenes above.
TEST_F(MemoryBudget, BigScenesThatFitStillImport) {
    imp_kzv::scenewriter::WriteSceneFile(*imp_kzv::scenewriter::MakeGridWorld(1000, 500),
                                         file("million.KZV").string());
    const kzv_test::ProgramRun fits = import({"-q", "--memory-limit", "1G", file("million.KZV").string()});
    EXPECT_EQ(fits.status, 0) << fits.err;
    EXPECT_TRUE(fs::exists(file("million.glb")));
    fs::remove(file("million.glb"));
    if (!kHeapCounted) return;
    expect_out_of_memory(import({"-q", "--memory-limit", "64M", file("million.KZV").string()}),
                         file("million.glb"));
}

TEST_F(MemoryBudget, SizesAreCheckedAsUsageErrors) {
    for (const char* size : {"lots", "15M"}) {
        const kzv_test::ProgramRun run =
            import({"--memory-limit", size, KZV_DEMO_SCENE, "-o", file("x.glb")});
        EXPECT_EQ(run.status, 2) << size;
        EXPECT_NE(run.err.find("--memory-limit"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(file("x.glb")));
    EXPECT_EQ(import({"-q", "--memory-limit", "1.5g", KZV_DEMO_SCENE, "-o", file("x.glb")}).status, 0);
    const kzv_test::ProgramRun help = import({"--help"});
    EXPECT_NE(help.out.find("default: half the physical memory, here "), std::string::npos) << help.out;
}

}  // namespace
