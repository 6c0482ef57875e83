// kzv-import's outputs when the program is stopped while writing them, when names are long or
// files are private, and when an output would replace one of the inputs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "run_program.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kzv_test::read_text;

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Starts kzv-import with its messages thrown away; the caller waits for it.
pid_t start_import(const std::vector<std::string>& args) {
    std::vector<std::string> all{KZV_IMPORT};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : -1;
}

int wait_for(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Whether the filesystem of `folder` has unnamed files (some, such as older overlay filesystems,
// have not; the output then uses named temporaries, which a kill -9 cannot remove).
bool has_unnamed_files(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

// A scene whose import writes a few MB, in a folder of its own, and the output it becomes.
class StoppedWhileWriting : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(in_);
        fs::create_directories(out_);
        imp_kzv::scenewriter::WriteSceneFile(*imp_kzv::scenewriter::MakeGridWorld(300, 200), scene_.string());
    }

    // The complete output for `name`, made once without interruption, and how long that took.
    std::string reference(const std::string& name, std::chrono::microseconds& took) {
        const fs::path folder = dir_.path() / "reference";
        fs::create_directories(folder);
        const auto start = std::chrono::steady_clock::now();
        const int status = wait_for(start_import({"-q", scene_.string(), "-o", (folder / name).string()}));
        took =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return read_text(folder / name);
    }

    // Runs the import of `name` into out_ and stops it with `signal_number` at a random moment from
    // a third of `took` (most of the import) to a little after it, when the output is written.
    int stop_at_random(const std::string& name, int signal_number, std::chrono::microseconds took) {
        std::uniform_int_distribution<long> moment(took.count() / 3, took.count() * 11 / 10);
        const pid_t pid = start_import({"-q", scene_.string(), "-o", (out_ / name).string()});
        EXPECT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random_)));
        ::kill(pid, signal_number);
        return wait_for(pid);
    }

    kzv_test::TempDir dir_;
    fs::path in_ = dir_.path() / "in", out_ = dir_.path() / "out";
    fs::path scene_ = in_ / "grid.KZV";
    std::mt19937 random_{20261208};
};

// kill -9 at any moment leaves the old output or the complete new one, and never a partial file.
// A complete file may remain under a temporary name (killed between naming it and renaming it);
// the next run in the folder removes it.
TEST_F(StoppedWhileWriting, KillLeavesTheOldOutputOrTheNewOne) {
    std::chrono::microseconds took{};
    const std::string complete = reference("grid.glb", took);
    ASSERT_GT(complete.size(), 1000000u);
    const std::string old = "an earlier output";
    std::ofstream(out_ / "grid.glb") << old;
    int replaced = 0;
    const bool unnamed = has_unnamed_files(out_);
    if (!unnamed)
        RecordProperty("note", "no unnamed files here: partial named temporaries go on the next run");
    for (int run = 0; run < 20; ++run) {
        stop_at_random("grid.glb", SIGKILL, took);
        const std::string now = read_text(out_ / "grid.glb");
        ASSERT_TRUE(now == old || now == complete) << "run " << run << ": " << now.size() << " bytes";
        if (now == complete) {
            ++replaced;
            std::ofstream(out_ / "grid.glb") << old;
        }
        for (const std::string& name : entries(out_)) {
            if (name == "grid.glb") continue;
            EXPECT_EQ(name.rfind(".kzv-", 0), 0u) << name;
            if (unnamed) {
                EXPECT_EQ(read_text(out_ / name), complete) << "a partial file: " << name;
            }
        }
    }
    ASSERT_EQ(wait_for(start_import({"-q", scene_.string(), "-o", (out_ / "grid.glb").string()})), 0);
    EXPECT_EQ(entries(out_), std::vector<std::string>{"grid.glb"});
    RecordProperty("runs_that_replaced_the_output", replaced);
}

// SIGINT, SIGTERM and SIGHUP leave no temporary file, and a .gltf set either all old or all new.
TEST_F(StoppedWhileWriting, StopSignalsLeaveTheOldSetOrTheNewOne) {
    std::chrono::microseconds took{};
    const std::string gltf = reference("grid.gltf", took);
    const std::string bin = read_text(dir_.path() / "reference" / "grid.bin");
    const auto write_old_set = [&] {
        std::ofstream(out_ / "grid.gltf") << "old gltf";
        std::ofstream(out_ / "grid.bin") << "old bin";
    };
    write_old_set();
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int run = 0; run < 18; ++run) {
        const int signal_number = signals[run % 3];
        const int status = stop_at_random("grid.gltf", signal_number, took);
        EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == signal_number) ||
                    (WIFEXITED(status) && WEXITSTATUS(status) == 0))
            << status;
        EXPECT_EQ(entries(out_), (std::vector<std::string>{"grid.bin", "grid.gltf"})) << "run " << run;
        const bool all_old =
            read_text(out_ / "grid.gltf") == "old gltf" && read_text(out_ / "grid.bin") == "old bin";
        const bool all_new = read_text(out_ / "grid.gltf") == gltf && read_text(out_ / "grid.bin") == bin;
        EXPECT_TRUE(all_old || all_new) << "run " << run;
        if (all_new) write_old_set();
    }
}

class Outputs : public ::testing::Test {
  protected:
    kzv_test::ProgramRun import(std::vector<std::string> args) {
        return kzv_test::run_checked(KZV_IMPORT, std::move(args), scratch_.path());
    }
    fs::path file(const std::string& name) const { return dir_.path() / name; }

    kzv_test::TempDir dir_;
    kzv_test::TempDir scratch_;
};

TEST_F(Outputs, NamesUpToTheFilesystemsLimit) {
    fs::copy_file(KZV_DEMO_SCENE, file("demo.KZV"));
    for (const std::size_t length : {241u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".glb";
        const kzv_test::ProgramRun run = import({"-q", file("demo.KZV").string(), "-o", file(name).string()});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(read_text(file(name)).substr(0, 4), "glTF") << length;
    }
}

TEST_F(Outputs, ReplacedOutputsKeepTheirPermissions) {
    std::ofstream(file("demo.glb")) << "old";
    fs::permissions(file("demo.glb"), fs::perms::owner_read | fs::perms::owner_write);
    const kzv_test::ProgramRun run = import({"-q", KZV_DEMO_SCENE, "-o", file("demo.glb").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_text(file("demo.glb")).substr(0, 4), "glTF");
    EXPECT_EQ(fs::status(file("demo.glb")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// Temporaries that a stopped run left in an output folder go when the program starts, even when
// its import then fails; those of running processes stay.
TEST_F(Outputs, StaleTemporariesGoAtStartUp) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string stale = ".kzv-" + std::to_string(child) + "-5eed-0.tmp",
                      earlier = ".scene.glb.tmp-" + std::to_string(child) + "-0",
                      running = ".kzv-" + std::to_string(::getpid()) + "-5eed-0.tmp";
    for (const std::string& name : {stale, earlier, running}) std::ofstream(file(name)) << "left";
    std::ofstream(file("scene.KZV")) << "not a scene";
    const kzv_test::ProgramRun run = import({"-q", file("scene.KZV").string()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_FALSE(fs::exists(file(stale)));
    EXPECT_FALSE(fs::exists(file(earlier)));
    EXPECT_TRUE(fs::exists(file(running)));
}

// A scene file named like one of the images a .gltf output writes beside it.
TEST_F(Outputs, AnImageNameThatIsTheInputIsAUsageError) {
    fs::copy_file(KZV_DEMO_SCENE, file("out_0.png"));
    fs::copy(fs::path(KZV_DEMO_SCENE).parent_path() / "Bitmaps", file("Bitmaps"));  // so images are written
    const std::string scene = read_text(file("out_0.png"));
    const kzv_test::ProgramRun run = import({file("out_0.png").string(), "-o", file("out.gltf").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("would overwrite the input"), std::string::npos) << run.err;
    EXPECT_EQ(read_text(file("out_0.png")), scene);
    EXPECT_FALSE(fs::exists(file("out.gltf")));
}

}  // namespace
