// kzv-import against hostile input and surroundings: textures that would hang or exhaust the
// decoder, names that would forge lines, closed or full standard streams, a very deep error trace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "run_program.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kzv_test::ProgramRun;
using kzv_test::read_text;

using Descriptors = std::function<void(posix_spawn_file_actions_t&)>;

// Runs kzv-import with stdin on /dev/null and descriptors 1 and 2 as `descriptors` sets them up;
// answers the exit status, or 128 + the signal that ended it.
int run_with(std::vector<std::string> args, const Descriptors& descriptors) {
    args.insert(args.begin(), KZV_IMPORT);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    descriptors(actions);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class HostileInput : public ::testing::Test {
  protected:
    ProgramRun import(std::vector<std::string> args) {
        return kzv_test::run_checked(KZV_IMPORT, std::move(args), scratch_.path());
    }
    fs::path file(const std::string& name) const { return dir_.path() / name; }
    void write_bytes(const fs::path& path, const std::string& bytes) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    kzv_test::TempDir dir_;
    kzv_test::TempDir scratch_;
};

// A truncated run-length HDR scanline that made the decoder loop for ever, and a BMP header
// claiming 8000x8000 pixels that are not there: each a warning, and the import goes on.
TEST_F(HostileInput, TexturesThatWouldHangOrExhaustTheDecoderOnlyWarn) {
    fs::copy_file(KZV_DEMO_SCENE, file("scene.KZV"));
    write_bytes(file("Bitmaps/wood.bmp"),
                std::string("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 64 +X 64\n\x02\x02\x00\x40", 51));
    std::string bmp = "BM" + std::string(52, '\0');
    bmp[10] = 54, bmp[14] = 40, bmp[19] = 0x1F, bmp[18] = 0x40, bmp[23] = 0x1F,
    bmp[22] = 0x40;  // 8000 x 8000
    bmp[26] = 1, bmp[28] = 24;
    write_bytes(file("Bitmaps/checker.bmp"), bmp + std::string(64, '\0'));
    const ProgramRun run = import({file("scene.KZV").string(), "--summary"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("wood.bmp (unsupported image format HDR)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("checker.bmp (truncated image)"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("bitmaps: 0\n"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(file("scene.glb")));
}

// Names from the scene file and from the command line are printed with their line breaks and
// other control characters escaped, so that they cannot forge lines or command the terminal; the
// host log writes C1 controls as escapes too.
TEST_F(HostileInput, NamesCannotForgeLinesOrCommandTheTerminal) {
    auto world = imp_kzv::scenewriter::MakeDemoWorld();
    world->Get_GroupList()[1]->name = "Crate\nwrote /etc/passwd\n\x1b[2J";
    world->Get_GroupList()[2]->name =
        "osc \xC2\x9D"
        "0;title\x07";  // U+009D: windows-1252 0x9D
    world->Get_MaterialList()[0]->textureName = "wood\r\nwrote /etc/shadow.bmp";
    world->Get_CameraList()[0]->name = "Camera\ntracks: 99";
    imp_kzv::scenewriter::WriteSceneFile(*world, file("forged.KZV").string());
    const ProgramRun run =
        import({file("forged.KZV").string(), "--summary", "--host-log", file("log.jsonl")});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const std::string& text : {run.err, run.out}) {
        EXPECT_EQ(text.find_first_of("\x1b\x07\r"), std::string::npos) << text;
        EXPECT_EQ(text.find("\xC2\x9D"), std::string::npos) << text;
        for (const std::string& line : lines_of(text)) {
            EXPECT_NE(line.rfind("wrote /etc/", 0), 0u) << text;
            EXPECT_NE(line, "tracks: 99") << text;
        }
    }
    EXPECT_NE(run.out.find("Crate\\x0Awrote /etc/passwd\\x0A\\x1B[2J"), std::string::npos) << run.out;
    const std::string log = read_text(file("log.jsonl"));
    EXPECT_EQ(log.find("\xC2\x9D"), std::string::npos);
    EXPECT_NE(log.find("osc \\u009d0;title\\u0007"), std::string::npos) << log;
}

TEST_F(HostileInput, UsageErrorsEscapeTheNamesTheyPrint) {
    fs::create_directories(file("a"));
    fs::create_directories(file("b"));
    const std::string odd = "x\x1b]0;t\x07\nwrote y.KZV";
    fs::copy_file(KZV_DEMO_SCENE, file("a/" + odd));
    fs::copy_file(KZV_DEMO_SCENE, file("b/" + odd));
    const std::vector<std::vector<std::string>> commands{
        {file("missing " + odd)},                                            // the parser's own message
        {KZV_DEMO_SCENE, "-o", file("out\x1b[31m\n.txt")},                   // not .glb or .gltf
        {"-O", file("out"), file("a/" + odd), file("b/" + odd)},             // both written to one file
        {"--lcid", "1\x1b[2J\nwrote", KZV_DEMO_SCENE, "-o", file("x.glb")},  // not a number
    };
    for (const std::vector<std::string>& command : commands) {
        const ProgramRun run = import(command);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.err.find_first_of("\x1b\x07"), std::string::npos) << run.err;
        EXPECT_EQ(lines_of(run.err).size(), 2u) << run.err;  // the message and the hint
    }
}

// An error at the bottom of a 3000-deep chain of groups: the terminal shows the first and last
// lines of its trace and how many were left out, the host log all of them.
TEST_F(HostileInput, ADeepTraceIsShortenedOnTheTerminalOnly) {
    imp_kzv::p3dWorld world = *imp_kzv::scenewriter::MakeGridWorld(1, 1);
    std::vector<std::shared_ptr<imp_kzv::p3dGroup>> groups;
    constexpr int kDepth = 3000;
    for (int i = 0; i < kDepth; ++i) {
        auto group = std::make_shared<imp_kzv::p3dGroup>();
        group->name = "g" + std::to_string(i);
        group->pivot = std::make_shared<imp_kzv::p3dPt3D>();
        if (i + 1 < kDepth) group->Set_iChildGroupList({i + 1});
        if (i + 1 == kDepth) group->Set_iMeshList({99});
        groups.push_back(group);
    }
    world.Set_GroupList(groups);
    imp_kzv::scenewriter::WriteSceneFile(world, file("deep.KZV").string());
    const ProgramRun run = import({"-q", file("deep.KZV").string(), "--host-log", file("log.jsonl")});
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(lines_of(run.err).size(), 40u) << run.err;
    EXPECT_NE(run.err.find(" more lines ...\n"), std::string::npos) << run.err;
    const std::string log = read_text(file("log.jsonl"));
    std::size_t enumerations = 0;
    for (std::size_t at = log.find("p3dGroupEnum"); at != std::string::npos;
         at = log.find("p3dGroupEnum", at + 1))
        ++enumerations;
    EXPECT_GE(enumerations, static_cast<std::size_t>(kDepth)) << "the host log keeps the whole trace";
}

// Started with stderr closed, the program writes no message into its host log or its outputs.
TEST_F(HostileInput, ClosedStandardStreamsGetNoFileOfTheProgram) {
    fs::copy_file(KZV_DEMO_SCENE, file("a.KZV"));
    fs::copy_file(KZV_DEMO_SCENE, file("b.KZV"));
    const auto stderr_closed = [](posix_spawn_file_actions_t& actions) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, 2);
    };
    EXPECT_EQ(run_with({file("a.KZV"), "-o", file("a.glb"), "--host-log", file("log.jsonl")}, stderr_closed),
              0);
    for (const std::string& line : lines_of(read_text(file("log.jsonl"))))
        EXPECT_EQ(line.front(), '{') << line;
    EXPECT_EQ(run_with({"-j", "2", "-O", file("out"), file("a.KZV"), file("b.KZV")}, stderr_closed), 0);
    for (const char* name : {"out/a.glb", "out/b.glb"}) EXPECT_EQ(read_text(file(name)).substr(0, 4), "glTF");
}

// A closed pipe on stderr (`2>&1 | head -c 10`) does not end the program: the outputs are written
// and the status is the imports'.
TEST_F(HostileInput, AClosedPipeDoesNotLoseTheWork) {
    fs::copy_file(KZV_DEMO_SCENE, file("a.KZV"));
    fs::copy_file(KZV_DEMO_SCENE, file("b.KZV"));
    int pipe_ends[2];
    ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
    ::close(pipe_ends[0]);  // nobody reads
    const auto closed_pipe = [&](posix_spawn_file_actions_t& actions) {
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 2);
    };
    EXPECT_EQ(run_with({file("a.KZV"), "-o", file("a.glb")}, closed_pipe), 0);
    EXPECT_EQ(run_with({"-O", file("out"), file("a.KZV"), file("b.KZV")}, closed_pipe), 0);
    ::close(pipe_ends[1]);
    for (const char* name : {"a.glb", "out/a.glb", "out/b.glb"}) EXPECT_TRUE(fs::exists(file(name))) << name;
}

// A summary or host log that cannot be written makes a failed run: status 1, a message that says
// which, and the existing output left as it was.
TEST_F(HostileInput, AFailedSummaryOrHostLogLeavesTheOldOutput) {
    fs::copy_file(KZV_DEMO_SCENE, file("a.KZV"));
    std::ofstream(file("a.glb")) << "earlier output";
    const auto full_stdout = [&](posix_spawn_file_actions_t& actions) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, file("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    };
    EXPECT_EQ(run_with({file("a.KZV"), "--summary"}, full_stdout), 1);
    EXPECT_NE(read_text(file("err.txt")).find("the summary could not be written completely; nothing written"),
              std::string::npos)
        << read_text(file("err.txt"));
    EXPECT_EQ(read_text(file("a.glb")), "earlier output");

    const ProgramRun run = import({file("a.KZV"), "--host-log", "/dev/full"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("the host log could not be written completely; nothing written"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("wrote "), std::string::npos) << run.err;
    EXPECT_EQ(read_text(file("a.glb")), "earlier output");
}

}  // namespace
