#include "host/output/output_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/output/temporary_names.h"
#include "temp_dir.h"

namespace kzv::host {
namespace {

namespace fs = std::filesystem;
using Temporaries = FileOutput::Temporaries;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether the filesystem of `folder` has unnamed files (some, such as older overlay filesystems,
// have not; the output then uses named temporaries).
bool has_unnamed_files(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

// A process number that no process has now: a child's, once it has ended.
pid_t ended_process() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

class OutputFiles : public ::testing::TestWithParam<Temporaries> {
  protected:
    fs::path file(const std::string& name) const { return dir_.path() / name; }

    // A .gltf set as the writer makes it: the buffer, an image, and the .gltf last.
    bool write_set(const std::string& tag) {
        FileOutput output(dir_.path(), GetParam());
        output.add("a.bin").write("bin " + tag);
        output.add("a_0.png").write("png " + tag);
        output.add("a.gltf").write("gltf " + tag);
        return output.commit();
    }

    kzv_test::TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Temporaries, OutputFiles,
                         ::testing::Values(Temporaries::unnamed_where_possible, Temporaries::named),
                         [](const auto& info) {
                             return info.param == Temporaries::named ? "Named" : "Unnamed";
                         });

TEST_P(OutputFiles, NothingButTheCommittedFilesRemain) {
    {
        FileOutput output(dir_.path(), GetParam());
        output.add("x.glb").write("partial");
        // While written, a file is unnamed where the filesystem allows; otherwise it has one
        // short temporary name.
        const std::vector<std::string> during = entries(dir_.path());
        if (GetParam() == Temporaries::named || !has_unnamed_files(dir_.path())) {
            ASSERT_EQ(during.size(), 1u);
            EXPECT_EQ(during[0].rfind(".kzv-", 0), 0u) << during[0];
        } else {
            EXPECT_TRUE(during.empty()) << during[0];
        }
    }
    EXPECT_TRUE(entries(dir_.path()).empty());  // dropped without commit

    ASSERT_TRUE(write_set("new"));
    EXPECT_EQ(entries(dir_.path()), (std::vector<std::string>{"a.bin", "a.gltf", "a_0.png"}));
    EXPECT_EQ(read_file(file("a.gltf")), "gltf new");
}

TEST_P(OutputFiles, NamesOfAnyLengthTheFolderAllows) {
    const std::string longest(255, 'n');
    FileOutput output(dir_.path(), GetParam());
    output.add(longest).write("data");
    ASSERT_TRUE(output.commit()) << output.error();
    EXPECT_EQ(read_file(file(longest)), "data");
    EXPECT_EQ(output.files(), std::vector<fs::path>{file(longest)});
}

TEST_P(OutputFiles, ReplacedFilesKeepTheirPermissions) {
    write_file(file("private.glb"), "old");
    fs::permissions(file("private.glb"), fs::perms::owner_read | fs::perms::owner_write);
    const mode_t umask_before = ::umask(022);
    FileOutput output(dir_.path(), GetParam());
    output.add("private.glb").write("new");
    output.add("fresh.glb").write("new");
    const bool committed = output.commit();
    ::umask(umask_before);
    ASSERT_TRUE(committed) << output.error();
    EXPECT_EQ(read_file(file("private.glb")), "new");
    EXPECT_EQ(fs::status(file("private.glb")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(file("fresh.glb")).permissions(), fs::perms::owner_read | fs::perms::owner_write |
                                                               fs::perms::group_read |
                                                               fs::perms::others_read);
}

// When one file of a set cannot be put in place, the files placed before it are put back.
TEST_P(OutputFiles, AFailedSetLeavesTheOldSet) {
    ASSERT_TRUE(write_set("old"));
    // The .gltf cannot replace a folder that holds something.
    fs::remove(file("a.gltf"));
    fs::create_directories(file("a.gltf") / "inside");
    EXPECT_FALSE(write_set("new"));
    EXPECT_EQ(read_file(file("a.bin")), "bin old");
    EXPECT_EQ(read_file(file("a_0.png")), "png old");
    EXPECT_EQ(entries(dir_.path()), (std::vector<std::string>{"a.bin", "a.gltf", "a_0.png"}));

    // Nor can the image; the buffer comes back, and a buffer that was not there goes.
    fs::remove_all(file("a.gltf"));
    fs::remove(file("a_0.png"));
    fs::remove(file("a.bin"));
    write_file(file("a.gltf"), "gltf old");
    fs::create_directories(file("a_0.png") / "inside");
    EXPECT_FALSE(write_set("new"));
    EXPECT_EQ(read_file(file("a.gltf")), "gltf old");
    EXPECT_EQ(entries(dir_.path()), (std::vector<std::string>{"a.gltf", "a_0.png"}));
}

TEST_P(OutputFiles, FailedWritesReportTheFileAndPlaceNothing) {
    write_file(file("a.gltf"), "gltf old");
    FileOutput output(dir_.path(), GetParam());
    output.add("a.bin").write("bin new");
    ByteSink& broken = output.add("a.gltf");
    EXPECT_FALSE(broken.write_at(std::uint64_t{1} << 62, "x", 1));  // past any file size
    EXPECT_FALSE(output.commit());
    EXPECT_NE(output.error().find("cannot write " + file("a.gltf").string()), std::string::npos)
        << output.error();
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>{"a.gltf"});
    EXPECT_TRUE(output.files().empty());

    FileOutput into_missing(dir_.path() / "missing", GetParam());
    into_missing.add("x.glb").write("data");
    EXPECT_FALSE(into_missing.commit());
    EXPECT_NE(into_missing.error().find("cannot open the folder"), std::string::npos) << into_missing.error();

    FileOutput names(dir_.path(), GetParam());
    names.add("x.glb");
    names.add("x.glb");
    EXPECT_FALSE(names.commit());
}

// A stopping signal removes the named temporaries of the files being written.
TEST(OutputFileSignals, StopSignalsLeaveNoTemporaries) {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        kzv_test::TempDir dir;
        const FileOutput installs_the_handlers(dir.path());
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileOutput output(dir.path(), Temporaries::named);
            output.add("big.glb").write(std::string(1 << 20, 'x'));
            ::raise(signal_number);
            ::_exit(3);  // not reached: the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
        EXPECT_TRUE(entries(dir.path()).empty()) << signal_number << ": " << entries(dir.path())[0];
    }
}

// A stopping signal that arrives while a set is being put in place waits until it is in place.
TEST(OutputFileSignals, StopSignalsWaitForTheSetBeingPlaced) {
    kzv_test::TempDir dir;
    const FileOutput installs_the_handlers(dir.path());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        {
            const temporary_names::PlacingScope placing;
            ::raise(SIGTERM);
            write_file(dir.path() / "placed", "after the signal");
        }
        ::_exit(3);  // not reached: the signal ends the process when the scope ends
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(read_file(dir.path() / "placed"), "after the signal");
}

// Temporaries that an ended process left behind go when an output is next made in their folder;
// those of running processes stay.
TEST(OutputFileSignals, TemporariesOfEndedProcessesAreRemoved) {
    kzv_test::TempDir dir;
    const std::string gone = std::to_string(ended_process());
    const std::string running = std::to_string(::getppid());
    const std::string self = std::to_string(::getpid());
    for (const std::string& name : std::vector<std::string>{
             ".kzv-" + gone + "-1a2b-0.tmp", ".scene.glb.tmp-" + gone + "-4",
             ".kzv-" + self + "-0-7.tmp",  // this process's number, but from an earlier run
             ".kzv-" + running + "-1a2b-0.tmp", ".scene.glb.tmp-" + running + "-4", ".kzv-" + gone + "-x.tmp",
             ".hidden", "scene.glb"})
        write_file(dir.path() / name, "left");
    // A kept previous file that is the only copy of its file stays; one its destination still
    // has (a second name of the same file) goes.
    const std::string only_copy = ".kzv-" + gone + "-1a2b-2.old";
    write_file(dir.path() / only_copy, "the only copy");
    fs::create_hard_link(dir.path() / "scene.glb", dir.path() / (".kzv-" + gone + "-1a2b-3.old"));
    FileOutput output(dir.path());
    std::vector<std::string> kept{".hidden",
                                  only_copy,
                                  ".kzv-" + gone + "-x.tmp",
                                  ".kzv-" + running + "-1a2b-0.tmp",
                                  ".scene.glb.tmp-" + running + "-4",
                                  "scene.glb"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(entries(dir.path()), kept);
}

// The memory variant keeps what was committed, by name.
TEST(MemoryOutputFiles, KeepsCommittedFilesByName) {
    MemoryOutput output;
    output.add("a.bin").write("bin");
    ByteSink& gltf = output.add("a.gltf");
    gltf.write("gl");
    gltf.write_at(4, "!", 1);
    EXPECT_TRUE(output.files().empty());
    ASSERT_TRUE(output.commit());
    EXPECT_EQ(output.files(), (std::vector<fs::path>{"a.bin", "a.gltf"}));
    EXPECT_EQ(output.contents().at("a.gltf"), std::string("gl\0\0!", 5));

    MemoryOutput too_big;
    EXPECT_FALSE(too_big.add("x.glb").write_at(std::uint64_t{1} << 62, "x", 1));
    EXPECT_FALSE(too_big.commit());
    EXPECT_FALSE(too_big.error().empty());
    EXPECT_TRUE(too_big.contents().empty());
}

}  // namespace
}  // namespace kzv::host
