// kzv-import's parts that need no plug-in: terminal lines, options, the verdict on a session.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "host/cli/import_session.h"
#include "host/cli/options.h"
#include "host/scene/scene_host.h"
#include "host/terminal/terminal_output.h"

namespace {

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

TEST(FormatErrorReport, SplitsTheTraceIntoLines) {
    EXPECT_EQ(kzv::host::format_error_report(9, "Subscript out of range",
                                             "Imp_KZV.clsPlugin\r\nImp_KZV_Plugin.clsPlugin.DoImport"),
              "error 9: Subscript out of range\n  Imp_KZV.clsPlugin\n  Imp_KZV_Plugin.clsPlugin.DoImport");
    EXPECT_EQ(kzv::host::format_error_report(-2147220991, "Unknown handle", ""),
              "error -2147220991 (0x80040201): Unknown handle");
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

    kzv::cli::CliOptions options;
    options.input = "scene.glb";
    options.output = "./scene.glb";
    EXPECT_NE(kzv::cli::file_collision(options).find("overwrite the input"), std::string::npos);
    options.output = "out/scene.glb";
    EXPECT_EQ(kzv::cli::file_collision(options), "");
    options.host_log = "scene.glb";
    EXPECT_NE(kzv::cli::file_collision(options).find("overwrite the input"), std::string::npos);
    options.host_log = "out/../out/scene.glb";
    EXPECT_NE(kzv::cli::file_collision(options).find("same file"), std::string::npos);
    options.host_log = "out/scene.bin";
    EXPECT_EQ(kzv::cli::file_collision(options), "");
    options.output = "out/scene.GLTF";  // writes out/scene.bin too
    EXPECT_NE(kzv::cli::file_collision(options).find("same file"), std::string::npos);
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
