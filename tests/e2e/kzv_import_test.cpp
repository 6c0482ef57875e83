// kzv-import end to end: the built program on the bundled demo and on generated scene files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string>
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
        args.insert(args.begin(), KZV_IMPORT);
        ProgramRun run = kzv_test::run_program(args, scratch_.path());
        EXPECT_FALSE(kzv_test::sanitizer_report(run)) << run.err;
        return run;
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
