// kzv-dump's JSON: number and text forms, the record tree's keys, and the tool's exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <limits>
#include <sstream>

#include "kzv-dump/scene_json.h"
#include "test_support.h"

namespace imp_kzv::testing {
namespace {

TEST(DumpJson, SinglesInShortestRoundTripFormAndSpecialsAsStrings) {
    const std::pair<float, std::string> cases[] = {
        {0.1f, "0.1"},
        {90.0f, "90"},
        {-0.0f, "-0"},
        {1e30f, "1e+30"},
        {std::numeric_limits<float>::denorm_min(), "1e-45"},
        {std::numeric_limits<float>::quiet_NaN(), "\"NaN\""},
        {std::numeric_limits<float>::infinity(), "\"Infinity\""},
        {-std::numeric_limits<float>::infinity(), "\"-Infinity\""},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(dump::FloatJson(value), text);
}

TEST(DumpJson, TextsEscapeQuotesAndControlsAndKeepUtf8) {
    EXPECT_EQ(dump::StringJson(std::string("a\0b", 3)), "\"a\\u0000b\"");
    EXPECT_EQ(dump::StringJson("say \"hi\"\\\n\x1f"), "\"say \\\"hi\\\"\\\\\\n\\u001f\"");
    EXPECT_EQ(dump::StringJson("\u20AC"), "\"\u20AC\"");
}

TEST(DumpJson, DemoTreeHasTheRecordsMembers) {
    std::ostringstream out;
    const ReadResult r = ReadWorld(scenewriter::WriteScene(*scenewriter::MakeDemoWorld()));
    dump::WriteWorldJson(r.world, out);
    const nlohmann::json j = nlohmann::json::parse(out.str());
    EXPECT_EQ(j["CameraList"][0]["fov"], 45);
    EXPECT_EQ(j["MaterialList"][1]["texture2Name"], "checker.bmp");
    EXPECT_EQ(j["MaterialList"][1]["texture2Used"], -1);
    EXPECT_EQ(j["MultiMatList"][0]["iMatIndxList"], nlohmann::json::array({0, 1}));
    EXPECT_EQ(j["MeshGeomList"][0]["TriList"][0].size(), 16u);
    EXPECT_EQ(j["MeshGeomList"][0]["VertexList"][0]["NormalList"].size(), 3u);
    EXPECT_EQ(j["MeshList"][1]["p3dTransMatrix"].size(), 12u);
    EXPECT_EQ(j["GroupList"][1]["userDataLen"], 3);
    EXPECT_EQ(j["TrackList"][0]["cyclic"], -1);
    EXPECT_EQ(j["LightList"][0]["iMeshesExcludedList"], nlohmann::json::array({2}));
    const std::vector<std::string> keys = {"strFileFormat", "strVersion", "bkgColor",     "MaterialList",
                                           "MultiMatList",  "CameraList", "MeshGeomList", "MeshList",
                                           "GroupList",     "LightList",  "TrackList"};
    EXPECT_EQ(j.size(), keys.size());
    for (const auto& key : keys) EXPECT_TRUE(j.contains(key)) << key;
}

int RunDump(const std::string& args) {
    const int status = std::system((std::string(KZV_DUMP_PATH) + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DumpTool, ExitStatusesForSuccessReadFailureAndUsage) {
    EXPECT_EQ(RunDump(KZV_SOURCE_DIR "/examples/demo.KZV"), 0);
    EXPECT_EQ(RunDump(KZV_SOURCE_DIR "/examples/no-such-file.KZV"), 1);
    EXPECT_EQ(RunDump(KZV_SOURCE_DIR "/README.md"), 1) << "not a scene file";
    EXPECT_EQ(RunDump(""), 2);
    EXPECT_EQ(RunDump("a b"), 2);
}

}  // namespace
}  // namespace imp_kzv::testing
