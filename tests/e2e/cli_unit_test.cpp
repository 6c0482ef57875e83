// kzv-import's parts that need no plug-in: terminal lines, options and inputs, parallel work, the
// verdict on a session.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "host/cli/batch_report.h"
#include "host/cli/import_session.h"
#include "host/cli/options.h"
#include "host/cli/parallel.h"
#include "host/cli/shared_terminal.h"
#include "host/scene/scene_host.h"
#include "host/terminal/terminal_output.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kzv::host::printable;
using tessavo::MessageIcon;

TEST(Printable, EscapesControlsButKeepsText) {
    EXPECT_EQ(printable("Crate \xC3\xA9 \xE2\x82\xAC"), "Crate \xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(printable("a\x1b[2Jb"), "a\\x1B[2Jb");
    EXPECT_EQ(printable(std::string("x\0y", 3)), "x\\x00y");
    EXPECT_EQ(printable("line\nnext\r"), "line\\x0Anext\\x0D");
    EXPECT_EQ(printable("line\nnext", true), "line\nnext");
    EXPECT_EQ(printable("\xC2\x9B"
                        "31m"),
              "\\xC2\\x9B31m")
        << "C1 CSI";
    EXPECT_EQ(printable("\xFF\xC3"), "\\xFF\\xC3") << "invalid UTF-8";
}

TEST(RenderProgress, FillsInProportionAndClampsOverflow) {
    EXPECT_EQ(kzv::host::render_progress(0, 4, 8), "[--------] 0/4");
    EXPECT_EQ(kzv::host::render_progress(1, 4, 8), "[##------] 1/4");
    EXPECT_EQ(kzv::host::render_progress(9, 4, 8), "[########] 9/4");
    EXPECT_EQ(kzv::host::render_progress(-3, 4, 8), "[--------] -3/4");
    EXPECT_EQ(kzv::host::render_progress(5, 0, 8), "[5]");
}

TEST(ErrorReportLines, SplitsTheTraceIntoLinesAndShortensALongOne) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(kzv::host::error_report_lines(9, "Subscript out of range",
                                            "Imp_KZV.clsPlugin\r\nImp_KZV_Plugin.clsPlugin.DoImport"),
              (Lines{"error 9: Subscript out of range", "  Imp_KZV.clsPlugin",
                     "  Imp_KZV_Plugin.clsPlugin.DoImport"}));
    EXPECT_EQ(kzv::host::error_report_lines(-2147220991, "Unknown handle", ""),
              Lines{"error -2147220991 (0x80040201): Unknown handle"});
    std::string trace = "first";
    for (int i = 1; i < 1000000; ++i) trace += "\r\nline " + std::to_string(i);
    EXPECT_EQ(kzv::host::error_report_lines(6, "Overflow", trace, 4),
              (Lines{"error 6: Overflow", "  first", "  line 1", "  ... 999996 more lines ...",
                     "  line 999998", "  line 999999"}));
    EXPECT_EQ(kzv::host::error_report_lines(6, "Overflow", "a\r\nb\r\nc\r\nd", 4).size(), 5u);
}

// A line is one line: a name with line breaks inside cannot forge another one.
TEST(TerminalOutput, LineBreaksInsideALineAreEscaped) {
    std::ostringstream out;
    kzv::host::TerminalOutput terminal(out, false, false);
    terminal.info("warning: Texture not found: a\nwrote /etc/passwd\r");
    terminal.error_lines(std::vector<std::string>{"error 5: x\ny", "  trace"});
    EXPECT_EQ(out.str(),
              "warning: Texture not found: a\\x0Awrote /etc/passwd\\x0D\nerror 5: x\\x0Ay\n  trace\n");
}

TEST(TerminalOutput, QuietKeepsOnlyErrors) {
    std::ostringstream out;
    kzv::host::TerminalOutput terminal(out, true, true);
    terminal.info("notice: Imported Cameras");
    terminal.progress({true, 10, 5});
    terminal.error("error 6: Overflow");
    EXPECT_EQ(out.str(), "error 6: Overflow\n");
}

TEST(TerminalOutput, BarOnlyOnATerminalAndLinesPrintAroundIt) {
    std::ostringstream plain;
    kzv::host::TerminalOutput pipe(plain, false, false);
    pipe.progress({true, 10, 5});
    pipe.info("notice: x");
    EXPECT_EQ(plain.str(), "notice: x\n");

    std::ostringstream tty;
    kzv::host::TerminalOutput terminal(tty, true, false);
    terminal.progress({true, 2, 0});
    terminal.info("notice: \x1b]0;title\x07");
    terminal.progress({false, 2, 2});
    const std::string bar = "\r\x1b[K" + kzv::host::render_progress(0, 2);
    EXPECT_EQ(tty.str(), bar + "\r\x1b[K" + "notice: \\x1B]0;title\\x07\n" + bar + "\r\x1b[K");
}

TEST(ParseLcid, DecimalHexAndRange) {
    const std::vector<std::pair<const char*, std::optional<std::int32_t>>> cases = {
        {"1033", 1033},
        {"407", 407},
        {"0x409", 0x409},
        {"-1", -1},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"", std::nullopt},
        {"12x", std::nullopt},
        {"0x", std::nullopt},
        {"+5", std::nullopt},
        {"--5", std::nullopt},
        {" 5", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(kzv::cli::parse_lcid(text), expected) << text;
}

TEST(Options, DefaultOutputAndCollisions) {
    EXPECT_EQ(kzv::cli::default_output_path("scenes/room.KZV"), "scenes/room.glb");
    EXPECT_EQ(kzv::cli::default_output_path("room"), "room.glb");

    kzv::cli::ImportJob job{"scene.glb", "./scene.glb"};
    EXPECT_NE(kzv::cli::file_collision(job, {}).find("overwrite the input"), std::string::npos);
    job.output = "out/scene.glb";
    EXPECT_EQ(kzv::cli::file_collision(job, {}), "");
    EXPECT_NE(kzv::cli::file_collision(job, "scene.glb").find("overwrite the input"), std::string::npos);
    EXPECT_NE(kzv::cli::file_collision(job, "out/../out/scene.glb").find("same file"), std::string::npos);
    EXPECT_EQ(kzv::cli::file_collision(job, "out/scene.bin"), "");
    job.output = "out/scene.GLTF";  // writes out/scene.bin too
    EXPECT_NE(kzv::cli::file_collision(job, "out/scene.bin").find("same file"), std::string::npos);
    // ... and its images, out/scene_<n>.png or .jpg
    EXPECT_NE(kzv::cli::file_collision(job, "out/./scene_12.jpg").find("same file"), std::string::npos);
    for (const char* input : {"out/scene_0.png", "out/../out/scene_3.PNG", "out/scene_10.jpg"}) {
        job.input = input;
        EXPECT_NE(kzv::cli::file_collision(job, {}).find("overwrite the input"), std::string::npos) << input;
    }
    for (const char* input : {"scene_0.png", "out/scene_01.png", "out/scene_.png", "out/scene_0.bmp",
                              "out/other_0.png", "out/scene0.png"}) {
        job.input = input;
        EXPECT_EQ(kzv::cli::file_collision(job, {}), "") << input;
    }
    job = {"out/scene_0.png", "out/scene.glb"};  // a .glb embeds its images
    EXPECT_EQ(kzv::cli::file_collision(job, {}), "");
}

TEST(Options, JobsThatWouldOverwriteOneAnother) {
    using Jobs = std::vector<kzv::cli::ImportJob>;
    EXPECT_EQ(kzv::cli::jobs_collision(Jobs{{"a/x.KZV", "out/x.glb"}, {"b/y.KZV", "out/y.glb"}}), "");
    EXPECT_NE(kzv::cli::jobs_collision(Jobs{{"a/x.KZV", "out/x.glb"}, {"b/x.KZV", "out/./x.glb"}})
                  .find("would both be written to"),
              std::string::npos);
    EXPECT_NE(kzv::cli::jobs_collision(Jobs{{"a/x.KZV", "a/y.glb"}, {"a/y.glb", "a/z.glb"}})
                  .find("would overwrite the input"),
              std::string::npos);
    EXPECT_NE(kzv::cli::jobs_collision(Jobs{{"a/x.KZV", "a/x.gltf"}, {"a/y.KZV", "a/x.bin"}}), "")
        << "a .gltf writes its .bin too";
    EXPECT_NE(kzv::cli::jobs_collision(Jobs{{"a/x.KZV", "a/x.gltf"}, {"a/x_2.png", "b/x_2.glb"}})
                  .find("the output of a/x.KZV would overwrite the input a/x_2.png"),
              std::string::npos)
        << "and its images";
    EXPECT_EQ(kzv::cli::jobs_collision(Jobs{{"a/x.KZV", "a/x.glb"}, {"a/x_2.png", "b/x_2.glb"}}), "");
}

// A folder of scene files among other entries, for the command-line tests.
class CommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"b.KZV", "a.kzv", "c.Kzv", "notes.txt", "sub/d.KZV"}) touch(name);
        fs::create_directories(dir_.path() / "folder.KZV");  // a folder is no scene file
    }
    void touch(const std::string& name) {
        fs::create_directories((dir_.path() / name).parent_path());
        std::ofstream(dir_.path() / name) << "x";
    }
    std::string path(const std::string& name) const { return (dir_.path() / name).string(); }
    kzv::cli::ParsedCommandLine parse(std::vector<std::string> args) {
        args.insert(args.begin(), "kzv-import");
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        out_.str(""), err_.str("");
        return kzv::cli::parse_command_line(static_cast<int>(argv.size()), argv.data(), out_, err_);
    }

    kzv_test::TempDir dir_;
    std::ostringstream out_, err_;
};

TEST_F(CommandLine, FolderGivesItsSceneFilesSortedButNotItsSubfolders) {
    std::error_code error;
    const std::vector<fs::path> files = kzv::cli::scene_files_in(dir_.path(), error);
    EXPECT_FALSE(error);
    EXPECT_EQ(files, (std::vector<fs::path>{path("a.kzv"), path("b.KZV"), path("c.Kzv")}));
    kzv::cli::scene_files_in(dir_.path() / "none", error);
    EXPECT_TRUE(error);
}

TEST_F(CommandLine, InputsBecomeJobs) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> jobs;  // input, output relative to the folder
        bool batch;
    };
    const std::vector<Case> cases = {
        {"one file", {"@b.KZV"}, {{"b.KZV", "b.glb"}}, false},
        {"one file, -o", {"@b.KZV", "-o", "@x.gltf"}, {{"b.KZV", "x.gltf"}}, false},
        {"one file, -O", {"@b.KZV", "-O", "@out"}, {{"b.KZV", "out/b.glb"}}, false},
        {"folder", {"@"}, {{"a.kzv", "a.glb"}, {"b.KZV", "b.glb"}, {"c.Kzv", "c.glb"}}, true},
        {"files in the order given",
         {"@c.Kzv", "@sub/d.KZV"},
         {{"c.Kzv", "c.glb"}, {"sub/d.KZV", "sub/d.glb"}},
         true},
        {"each file once",
         {"@b.KZV", "@", "@./b.KZV"},
         {{"b.KZV", "b.glb"}, {"a.kzv", "a.glb"}, {"c.Kzv", "c.glb"}},
         true},
        {"folder, -O", {"@sub", "-O", "@out", "-j", "3"}, {{"sub/d.KZV", "out/d.glb"}}, true},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(arg.starts_with("@") ? path(arg.substr(1)) : arg);
        const kzv::cli::ParsedCommandLine parsed = parse(args);
        ASSERT_EQ(parsed.status, kzv::cli::ParseStatus::run) << c.name << "\n" << err_.str();
        EXPECT_EQ(parsed.options.batch, c.batch) << c.name;
        std::vector<std::pair<std::string, std::string>> jobs;
        for (const kzv::cli::ImportJob& job : parsed.options.jobs)
            jobs.emplace_back(job.input.lexically_relative(dir_.path()).lexically_normal().string(),
                              job.output.lexically_relative(dir_.path()).lexically_normal().string());
        EXPECT_EQ(jobs, c.jobs) << c.name;
    }
    EXPECT_EQ(parse({path("b.KZV")}).options.threads, 1);
    EXPECT_EQ(parse({path("b.KZV"), "-j", "4"}).options.threads, 4);
}

TEST_F(CommandLine, CombinationsThatAreUsageErrors) {
    touch("empty/readme.txt");
    touch("other/b.KZV");
    const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
        {{"@a.kzv", "@b.KZV", "-o", "@x.glb"}, "use --output-dir"},
        {{"@", "-o", "@x.glb"}, "use --output-dir"},
        {{"@a.kzv", "@b.KZV", "--host-log", "@log.jsonl"}, "--host-log needs a single input"},
        {{"@a.kzv", "-o", "@x.glb", "-O", "@out"}, "excludes"},
        {{"@empty"}, "no .KZV files"},
        {{"@b.KZV", "@other/b.KZV", "-O", "@out"}, "would both be written to"},
        {{"-j", "0", "@a.kzv"}, "--jobs"},
        {{"-j", "x", "@a.kzv"}, "--jobs"},
    };
    for (const auto& [raw_args, says] : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : raw_args)
            args.push_back(arg.starts_with("@") ? path(arg.substr(1)) : arg);
        EXPECT_EQ(parse(args).status, kzv::cli::ParseStatus::usage_error) << says;
        EXPECT_NE(err_.str().find(says), std::string::npos) << says << "\n" << err_.str();
    }
}

TEST(PrefixLines, EveryLineGetsThePrefix) {
    using kzv::cli::prefix_lines;
    EXPECT_EQ(prefix_lines("", "error 9: x\n  trace"), "error 9: x\n  trace");
    EXPECT_EQ(prefix_lines("a.KZV: ", "error 9: x\n  trace"), "a.KZV: error 9: x\na.KZV:   trace");
    EXPECT_EQ(prefix_lines("a: ", ""), "a: ");
    EXPECT_EQ(prefix_lines("a: ", "x\n"), "a: x\na: ");
}

TEST(SharedTerminal, SummaryLinesArePrefixedAndEscaped) {
    std::ostringstream err, out;
    kzv::cli::SharedTerminal shared(err, false, true, out);
    kzv::cli::FileTerminal file(shared, "a\x1b.KZV: ", false);
    file.print("groups: 1\n  Crate\x07\n");
    EXPECT_EQ(out.str(), "a\\x1B.KZV: groups: 1\na\\x1B.KZV:   Crate\\x07\n");
    file.plugin_progress({true, 3, 1});  // not shown for a file of a batch
    file.error("error 6: Overflow");
    EXPECT_EQ(err.str(), "a\\x1B.KZV: error 6: Overflow\n");
}

TEST(ForEachParallel, EveryIndexOnceAndFailuresAfterTheRest) {
    for (const int threads : {1, 2, 5, 64}) {
        std::vector<std::atomic<int>> calls(37);
        kzv::cli::for_each_parallel(calls.size(), threads, [&](std::size_t i) { ++calls[i]; });
        for (std::size_t i = 0; i < calls.size(); ++i)
            EXPECT_EQ(calls[i], 1) << "threads " << threads << " index " << i;
    }
    std::atomic<int> ran{0};
    EXPECT_THROW(kzv::cli::for_each_parallel(10, 3,
                                             [&](std::size_t i) {
                                                 ++ran;
                                                 if (i % 4 == 1) throw std::runtime_error("file failed");
                                             }),
                 std::runtime_error);
    EXPECT_EQ(ran, 10) << "a failing call does not stop the others";
    kzv::cli::for_each_parallel(0, 4, [](std::size_t) { FAIL() << "no work"; });
}

TEST(JudgeOutcome, CompletedOnlyWithTheInformationBoxAndNoError) {
    using kzv::cli::SessionOutcome;
    const kzv::cli::MessageBoxShown complete{"Import Complete", MessageIcon::Information, "KZV"};
    const kzv::cli::MessageBoxShown failed{"Import Failed!", MessageIcon::Exclamation, "KZV"};
    EXPECT_EQ(kzv::cli::judge_outcome(true, 0, {complete}), SessionOutcome::completed);
    EXPECT_EQ(kzv::cli::judge_outcome(true, 0, {failed}), SessionOutcome::failed);
    EXPECT_EQ(kzv::cli::judge_outcome(true, 1, {complete}), SessionOutcome::failed)
        << "an error reached the host";
    EXPECT_EQ(kzv::cli::judge_outcome(false, 0, {complete}), SessionOutcome::failed) << "Import failed";
    EXPECT_EQ(kzv::cli::judge_outcome(true, 0, {}), SessionOutcome::failed) << "no verdict";
}

}  // namespace

namespace {

TEST(ReportWriter, LinesWaitForEveryEarlierFileAndComeOnce) {
    std::ostringstream out;
    kzv::cli::ReportWriter writer(out, 3);
    writer.add(2, "c");
    writer.add(1, "b");
    EXPECT_EQ(out.str(), "");
    writer.add(0, "a");
    writer.add(1, "again");
    writer.add(7, "beyond");
    EXPECT_EQ(out.str(), "a\nb\nc\n");
    EXPECT_TRUE(writer.good());
}

TEST(ReportLine, ImportedAndFailedRecords) {
    kzv::cli::ImportRecord record;
    record.input = "a\xFF.KZV";  // not UTF-8: replaced, not a failure
    record.error_number = 62;
    record.error_description = "Input past end of file";
    record.seconds = 0.5;
    EXPECT_EQ(kzv::cli::report_line(record),
              "{\"input\":\"a\xEF\xBF\xBD.KZV\",\"status\":\"failed\""
              R"(,"error":{"number":62,"description":"Input past end of )"
              R"(file"},"warnings":[],"seconds":0.5})");
    record = {};
    record.input = "a.KZV";
    record.imported = true;
    record.output = "a.glb";
    record.warnings = {"Texture not found: x.bmp"};
    record.counts = kzv::host::SceneCounts{.group_nodes = 1, .mesh_nodes = 2, .polygons = 3};
    EXPECT_EQ(
        kzv::cli::report_line(record),
        R"({"input":"a.KZV","status":"imported","output":"a.glb","warnings":["Texture not found: x.bmp"],)"
        R"("seconds":0.0,"group_nodes":1,"mesh_nodes":2,"polygons":3,"corners":0,"cameras":0,"lights":0,)"
        R"("tracks":0,"bitmaps":0})");
}

}  // namespace
