// kzv-import end to end: the built program on the bundled demo and on generated scene files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gltf_test_support.h"
#include "run_program.h"
#include "scenewriter/sample_scenes.h"
#include "scenewriter/scene_writer.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kzv_test::ProgramRun;
using kzv_test::read_text;

const fs::path kDemo = KZV_DEMO_SCENE;

class KzvImport : public ::testing::Test {
  protected:
    ProgramRun import(std::vector<std::string> args) {
        return kzv_test::run_checked(KZV_IMPORT, std::move(args), scratch_.path());
    }
    fs::path file(const std::string& name) const { return dir_.path() / name; }
    std::vector<std::string> folder_entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path()))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The demo with one group listing a mesh instance that does not exist: the import fails
    // after the root group and the first child were built.
    fs::path write_failing_scene() {
        auto world = imp_kzv::scenewriter::MakeDemoWorld();
        world->Get_GroupList()[2]->Set_iMeshList({99});
        const fs::path path = file("broken.KZV");
        imp_kzv::scenewriter::WriteSceneFile(*world, path.string());
        return path;
    }

    kzv_test::TempDir dir_;
    kzv_test::TempDir scratch_;
};

TEST_F(KzvImport, DemoImportsWithItsSummaryAndMessages) {
    const ProgramRun run = import({kDemo.string(), "-o", file("demo.glb").string(), "--summary"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find("tree:")),
              "group nodes: 4\nmesh nodes: 3\npolygons: 30\ncorners: 90\ncameras: 1\nlights: 1\ntracks: 1\n"
              "bitmaps: 2\n");
    EXPECT_NE(run.out.find("      Crate left [mesh, 12 polygons]\n"), std::string::npos) << run.out;
    EXPECT_EQ(
        run.err,
        "notice: Imported Cameras\nnotice: Imported Lights\nnotice: Imported Tracks\nKZV: Import Complete\n"
        "wrote " +
            file("demo.glb").string() + "\n");
    EXPECT_EQ(read_text(file("demo.glb")).substr(0, 4), "glTF");
}

TEST_F(KzvImport, QuietSuccessPrintsNothing) {
    const ProgramRun run = import({"-q", kDemo.string(), "-o", file("demo.glb").string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");
}

TEST_F(KzvImport, DefaultOutputIsBesideTheInputAndMissingTexturesOnlyWarn) {
    fs::copy_file(kDemo, file("room.KZV"));  // without its Bitmaps folder
    const ProgramRun run = import({file("room.KZV").string(), "--summary"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(file("room.glb")));
    EXPECT_NE(run.err.find("warning: Texture not found: " + file("Bitmaps\\wood.bmp").string()),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("bitmaps: 0\n"), std::string::npos);
}

TEST_F(KzvImport, AxesAreMirroredUnlessKept) {
    ASSERT_EQ(import({"-q", kDemo.string(), "-o", file("converted.glb").string()}).status, 0);
    ASSERT_EQ(import({"-q", "--keep-axes", kDemo.string(), "-o", file("kept.glb").string()}).status, 0);
    const auto converted = kzv::host::testing::read_gltf(file("converted.glb"));
    const auto kept = kzv::host::testing::read_gltf(file("kept.glb"));
    // The pyramid instance sits at z = 3 in the scene file.
    const auto* mirrored = kzv::host::testing::node_named(converted, "Pyramid");
    const auto* unchanged = kzv::host::testing::node_named(kept, "Pyramid");
    ASSERT_TRUE(mirrored && unchanged);
    ASSERT_EQ(mirrored->translation.size(), 3u);
    ASSERT_EQ(unchanged->translation.size(), 3u);
    EXPECT_EQ(mirrored->translation[2], -3.0);
    EXPECT_EQ(unchanged->translation[2], 3.0);
}

TEST_F(KzvImport, FailedImportPrintsTheReportAndWritesNothing) {
    const fs::path scene = write_failing_scene();
    const ProgramRun run = import({"-q", scene.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"broken.KZV"});
    // The error report with its trace, the plug-in's failure box, then the program's verdict.
    EXPECT_EQ(run.err.rfind("error 9: ", 0), 0u) << run.err;
    const std::size_t enumeration = run.err.find("\n  Imp_KZV_Plugin.clsPlugin.p3dGroupEnum\n");
    const std::size_t driver = run.err.find("\n  Imp_KZV_Plugin.clsPlugin.DoImport\n");
    EXPECT_LT(enumeration, driver) << run.err;
    EXPECT_NE(run.err.find("\nKZV: Import Failed!\n"), std::string::npos) << run.err;
}

TEST_F(KzvImport, FailedImportLeavesAnExistingOutputAsItWas) {
    const fs::path scene = write_failing_scene();
    std::ofstream(file("broken.glb")) << "earlier output";
    EXPECT_EQ(import({"-q", scene.string()}).status, 1);
    EXPECT_EQ(read_text(file("broken.glb")), "earlier output");
    EXPECT_EQ(folder_entries(), (std::vector<std::string>{"broken.KZV", "broken.glb"}));
}

// A group without a name, children or meshes has nothing but its existence to write; its node must
// still be a JSON object (a null node is a validator error).
TEST_F(KzvImport, BareGroupBecomesAnObjectNode) {
    auto world = std::make_shared<imp_kzv::p3dWorld>();
    auto group = std::make_shared<imp_kzv::p3dGroup>();
    group->Set_p3dTransMatrix({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}});
    world->Set_GroupList({group});
    imp_kzv::scenewriter::WriteSceneFile(*world, file("bare.KZV").string());
    ASSERT_EQ(import({"-q", file("bare.KZV").string()}).status, 0);
    const std::string glb = read_text(file("bare.glb"));
    ASSERT_GT(glb.size(), 20u);
    const std::uint32_t json_length = static_cast<std::uint8_t>(glb[12]) |
                                      static_cast<std::uint8_t>(glb[13]) << 8 |
                                      static_cast<std::uint8_t>(glb[14]) << 16 |
                                      static_cast<std::uint32_t>(static_cast<std::uint8_t>(glb[15])) << 24;
    const auto json = nlohmann::json::parse(glb.substr(20, json_length));
    ASSERT_EQ(json["nodes"].size(), 1u);
    EXPECT_TRUE(json["nodes"][0].is_object()) << json.dump();
}

// Lines of stderr that start with prefix, without it.
std::vector<std::string> lines_of(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

// Two copies of the demo with its bitmaps and a scene that fails, imported from their folder on two
// threads: each file's lines come whole and in its own order, and the failure stops no other file.
TEST_F(KzvImport, BatchImportsEveryFileAndCountsTheFailures) {
    fs::copy(kDemo.parent_path() / "Bitmaps", file("Bitmaps"));
    fs::copy_file(kDemo, file("a.KZV"));
    fs::copy_file(kDemo, file("b.kzv"));
    write_failing_scene();
    const fs::path out = file("out");
    const ProgramRun run = import({dir_.path().string(), "-O", out.string(), "-j", "2"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(fs::exists(out / "a.glb") && fs::exists(out / "b.glb"));
    EXPECT_FALSE(fs::exists(out / "broken.glb"));
    EXPECT_TRUE(run.err.ends_with("\n2 imported, 1 failed\n")) << run.err;

    const std::string a = file("a.KZV").string() + ": ", b = file("b.kzv").string() + ": ",
                      broken = file("broken.KZV").string() + ": ";
    std::size_t counted = 1;  // the last line
    for (const auto& [prefix, output] : {std::pair{a, out / "a.glb"}, std::pair{b, out / "b.glb"}}) {
        const std::vector<std::string> expected = {"notice: Imported Cameras", "notice: Imported Lights",
                                                   "notice: Imported Tracks", "KZV: Import Complete",
                                                   "wrote " + output.string()};
        EXPECT_EQ(lines_of(run.err, prefix), expected) << run.err;
        counted += expected.size();
    }
    const std::vector<std::string> failed = lines_of(run.err, broken);
    ASSERT_GE(failed.size(), 5u) << run.err;
    EXPECT_TRUE(failed[3].starts_with("error 9: ")) << "after the three notices\n" << run.err;
    EXPECT_EQ(failed[4], "  Imp_KZV.clsPlugin") << "the report's trace, each line named";
    EXPECT_EQ(failed.back(), "kzv-import: import failed; nothing written");
    counted += failed.size();
    EXPECT_EQ(lines_of(run.err, "").size(), counted) << "every other line names its file\n" << run.err;
}

// The report of a batch on several threads: one complete JSON line per file, in input order, with
// the failure's error report and the counts of what was imported.
TEST_F(KzvImport, ReportHasOneLinePerFileInInputOrder) {
    fs::copy(kDemo.parent_path() / "Bitmaps", file("Bitmaps"));
    const fs::path broken = write_failing_scene();
    std::vector<std::string> inputs;
    for (int i = 0; i < 6; ++i) {
        const fs::path copy = file("scene" + std::to_string(i) + ".KZV");
        fs::copy_file(i == 2 ? broken : kDemo, copy);
        inputs.push_back(copy.string());
    }
    std::vector<std::string> args{
        "-q", "-j", "3", "-O", file("out").string(), "--report", file("r.jsonl").string()};
    args.insert(args.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(import(args).status, 1);
    std::istringstream report(read_text(file("r.jsonl")));
    std::size_t n = 0;
    for (std::string line; std::getline(report, line); ++n) {
        ASSERT_LT(n, inputs.size());
        const nlohmann::json record = nlohmann::json::parse(line);
        EXPECT_EQ(record["input"], inputs[n]);
        EXPECT_GE(record["seconds"].get<double>(), 0.0);
        EXPECT_TRUE(record["warnings"].is_array());
        if (n == 2) {
            EXPECT_EQ(record["status"], "failed");
            EXPECT_EQ(record["error"]["number"], 9);
            EXPECT_FALSE(record.contains("output"));
        } else {
            EXPECT_EQ(record["status"], "imported");
            EXPECT_EQ(record["output"], (file("out") / ("scene" + std::to_string(n) + ".glb")).string());
            EXPECT_EQ(record["polygons"], 30);
            EXPECT_EQ(record["mesh_nodes"], 3);
            EXPECT_FALSE(record.contains("error"));
        }
    }
    EXPECT_EQ(n, inputs.size());
}

TEST_F(KzvImport, ReportOfASingleFileWithWarnings) {
    fs::copy_file(kDemo, file("room.KZV"));  // without its Bitmaps folder
    ASSERT_EQ(import({"-q", file("room.KZV").string(), "--report", file("r.jsonl").string()}).status, 0);
    const nlohmann::json record = nlohmann::json::parse(read_text(file("r.jsonl")));
    EXPECT_EQ(record["status"], "imported");
    EXPECT_EQ(record["warnings"].size(), 2u) << record.dump();
    EXPECT_EQ(record["bitmaps"], 0);
    const ProgramRun clash =
        import({kDemo.string(), "-o", file("x.glb").string(), "--report", file("x.glb").string()});
    EXPECT_EQ(clash.status, 2);
    EXPECT_NE(clash.err.find("the report and an output are the same file"), std::string::npos) << clash.err;
}

TEST_F(KzvImport, QuietBatchOfGoodFilesPrintsNothing) {
    fs::copy_file(kDemo, file("a.KZV"));
    fs::copy_file(kDemo, file("b.KZV"));
    const ProgramRun run = import({"-q", "-j", "3", file("a.KZV").string(), file("b.KZV").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(folder_entries(), (std::vector<std::string>{"a.KZV", "a.glb", "b.KZV", "b.glb"}));
}

TEST_F(KzvImport, OutputFolderIsCreatedForASingleFile) {
    const ProgramRun run = import({"-q", kDemo.string(), "-O", file("new/folder").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_text(file("new/folder/demo.glb")).substr(0, 4), "glTF");
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;  // "@" stands for the demo, "%" for the scratch folder
    const char* says;
};

TEST_F(KzvImport, UsageErrorsExitWithTwoAndWriteNothing) {
    const std::vector<UsageCase> cases = {
        {"no input", {}, "FILE.KZV is required"},
        {"unknown option", {"--colour", "@"}, "--colour"},
        {"missing input", {"%/none.KZV"}, "none.KZV"},
        {"output extension", {"@", "-o", "%/out.obj"}, "must end in .glb or .gltf"},
        {"lcid", {"--lcid", "12x", "@"}, "--lcid"},
        {"lcid range", {"--lcid", "4294967296", "@"}, "--lcid"},
        {"log over output", {"@", "-o", "%/a.glb", "--host-log", "%/a.glb"}, "same file"},
        {"missing plug-in", {"--plugin", "%/none.so", "@"}, "cannot load the plug-in"},
        {"not a plug-in", {"--plugin", KZV_TESSAVO_LIBRARY, "@"}, "not a plug-in library"},
        {"one output for several inputs", {"@", "%", "-o", "%/a.glb"}, "use --output-dir"},
        {"threads", {"-j", "0", "@"}, "--jobs"},
    };
    for (const UsageCase& c : cases) {
        std::vector<std::string> args;
        for (std::string arg : c.args) {
            if (arg == "@") arg = kDemo.string();
            if (arg.starts_with("%")) arg = dir_.path().string() + arg.substr(1);
            args.push_back(arg);
        }
        const ProgramRun run = import(args);
        EXPECT_EQ(run.status, 2) << c.name << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << "\n" << run.err;
        EXPECT_TRUE(folder_entries().empty()) << c.name;
    }
}

TEST_F(KzvImport, HostLogCannotOverwriteTheInput) {
    fs::copy_file(kDemo, file("room.KZV"));
    const ProgramRun run = import({file("room.KZV").string(), "--host-log", file("room.KZV").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(read_text(file("room.KZV")), read_text(kDemo));
}

TEST_F(KzvImport, HelpAndVersionExitWithZero) {
    const ProgramRun help = import({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--host-log"), std::string::npos);
    const ProgramRun version = import({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("kzv-import ", 0), 0u);
}

// Every generated scene either imports and gives a readable .glb, or fails with a report and
// writes nothing; none crashes (the sanitizer build turns memory faults into crashes).
TEST_F(KzvImport, RandomScenesImportOrFailCleanly) {
    ASSERT_EQ(
        kzv_test::run_program({KZV_MAKE_RANDOM_SCENES, dir_.path().string(), "24", "1000"}, scratch_.path())
            .status,
        0);
    int completed = 0;
    for (int seed = 1000; seed < 1024; ++seed) {
        const fs::path scene = file("random-" + std::to_string(seed) + ".KZV");
        const fs::path output = fs::path(scene).replace_extension(".glb");
        const ProgramRun run = import({"-q", scene.string()});
        ASSERT_TRUE(run.status == 0 || run.status == 1) << scene << " exit " << run.status << "\n" << run.err;
        EXPECT_EQ(fs::exists(output), run.status == 0) << scene;
        if (run.status == 1) {
            EXPECT_EQ(run.err.rfind("error ", 0), 0u) << scene << "\n" << run.err;
        }
        if (run.status == 0) {
            ++completed;
            EXPECT_EQ(read_text(output).substr(0, 4), "glTF") << scene;
        }
    }
    EXPECT_GE(completed, 12) << "the generator should mostly make scenes that import";
}

}  // namespace
