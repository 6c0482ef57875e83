// The --host-log lines of kzv-import: one JSON object per plug-in call, in call order, with the
// argument kinds and the "ret" / "error" members that other tools rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// Argument kinds: i integer, b automation boolean, u colour byte, s text, d double (a number or
// "NaN", "Infinity", "-Infinity"); dN an array of N doubles, d* of any length, u3 of 3 bytes.
struct OpShape {
    std::vector<std::string> args;
    const char* ret;  // kind of "ret", or nullptr for a call without one
};

const std::map<std::string, OpShape>& op_shapes() {
    static const std::map<std::string, OpShape> shapes = {
        {"AttachHost", {{}, nullptr}},
        {"GetHostLCID", {{}, "i"}},
        {"ReportMessage", {{"s", "i"}, nullptr}},
        {"ReportError", {{"i", "s", "s"}, nullptr}},
        {"ShowProgress", {{"b"}, nullptr}},
        {"SetProgressMax", {{"i"}, nullptr}},
        {"SetProgressValue", {{"i"}, nullptr}},
        {"LoadBitmap", {{"s", "b"}, "i"}},
        {"CreateCamera", {{"s"}, "i"}},
        {"SetCameraPosition", {{"i", "d", "d", "d"}, nullptr}},
        {"SetCameraAxes", {{"i", "d3", "d3", "d3"}, nullptr}},
        {"SetCameraFov", {{"i", "d"}, nullptr}},
        {"SetCameraRange", {{"i", "d"}, nullptr}},
        {"SetCameraMode", {{"i", "i"}, nullptr}},
        {"AddCameraToWorld", {{"i"}, nullptr}},
        {"CreateLight", {{"s", "d3"}, "i"}},
        {"SetLightColor", {{"i", "u3"}, nullptr}},
        {"SetLightIntensity", {{"i", "d"}, nullptr}},
        {"SetLightIntensity2", {{"i", "d"}, nullptr}},
        {"SetLightRange", {{"i", "d"}, nullptr}},
        {"AddLightToWorld", {{"i"}, nullptr}},
        {"CreateTrack", {{"s", "b", "d*", "i"}, "i"}},
        {"AddTrackToWorld", {{"i"}, nullptr}},
        {"CreateGroup", {{"s"}, "i"}},
        {"SetGroupParent", {{"i", "i"}, nullptr}},
        {"SetGroupMatrix", {{"i", "d16"}, nullptr}},
        {"AddGroupToWorld", {{"i", "i"}, nullptr}},
        {"CreatePolygon", {{}, "i"}},
        {"AddPolygonVertex", {{"i", "d6"}, "i"}},
        {"SetVertexNormal", {{"i", "d3"}, nullptr}},
        {"SetPolygonVertexColor", {{"i", "i", "u3"}, nullptr}},
        {"SetPolygonVertexUV2", {{"i", "i", "d2"}, nullptr}},
        {"SetPolygonColor", {{"i", "i", "i", "i"}, nullptr}},
        {"SetPolygonBitmap", {{"i", "i"}, nullptr}},
        {"SetPolygonBitmap2", {{"i", "i"}, nullptr}},
        {"ClosePolygon", {{"i"}, nullptr}},
        {"AddPolygonToGroup", {{"i", "i"}, nullptr}},
        {"OpenFileDialog", {{"s"}, "s"}},
        {"MessageBox", {{"s", "s", "s"}, nullptr}},
    };
    return shapes;
}

bool is_double(const Json& v) {
    if (v.is_number()) return true;
    return v.is_string() && (v == "NaN" || v == "Infinity" || v == "-Infinity");
}

bool matches(const Json& v, const std::string& kind) {
    if (kind == "i") return v.is_number_integer();
    if (kind == "b") return v == -1 || v == 0;
    if (kind == "s") return v.is_string();
    if (kind == "d") return is_double(v);
    if (kind == "u3") {
        return v.is_array() && v.size() == 3 && std::all_of(v.begin(), v.end(), [](const Json& c) {
                   return c.is_number_unsigned() && c <= 255;
               });
    }
    if (kind.starts_with("d")) {
        const bool any_length = kind == "d*";
        return v.is_array() && (any_length || v.size() == std::stoul(kind.substr(1))) &&
               std::all_of(v.begin(), v.end(), is_double);
    }
    return false;
}

// Why a line breaks the format, or empty.
std::string shape_error(const std::string& line) {
    const Json call = Json::parse(line, nullptr, false);
    if (!call.is_object()) return "not a JSON object";
    std::vector<std::string> keys;
    for (const auto& [key, value] : call.items()) keys.push_back(key);
    if (keys.size() < 2 || keys[0] != "op" || keys[1] != "args" || keys.size() > 3) return "members";
    const auto shape = op_shapes().find(call["op"].get<std::string>());
    if (shape == op_shapes().end()) return "unknown op";
    const Json& args = call["args"];
    if (!args.is_array() || args.size() != shape->second.args.size()) return "argument count";
    for (std::size_t i = 0; i < args.size(); ++i)
        if (!matches(args[i], shape->second.args[i])) return "argument " + std::to_string(i);
    if (keys.size() == 3 && keys[2] == "error") {
        const Json& error = call["error"];
        return error["number"].is_number_integer() && error["description"].is_string() &&
                       error["source"].is_string()
                   ? ""
                   : "error member";
    }
    if (!shape->second.ret) return keys.size() == 2 ? "" : "unexpected ret";
    return keys.size() == 3 && keys[2] == "ret" && matches(call["ret"], shape->second.ret) ? "" : "ret";
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class HostLog : public ::testing::Test {
  protected:
    // Imports scene with --host-log and returns the log's lines.
    std::vector<std::string> log_of(const fs::path& scene, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{KZV_IMPORT,
                                      "-q",
                                      scene.string(),
                                      "-o",
                                      (dir_.path() / "out.glb").string(),
                                      "--host-log",
                                      (dir_.path() / "log.jsonl").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        last_run_ = kzv_test::run_program(args, dir_.path());
        EXPECT_FALSE(kzv_test::sanitizer_report(last_run_)) << last_run_.err;
        return lines_of(kzv_test::read_text(dir_.path() / "log.jsonl"));
    }
    std::size_t count(const std::vector<std::string>& lines, const std::string& op) const {
        const std::string prefix = "{\"op\": \"" + op + "\",";
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); }));
    }

    kzv_test::TempDir dir_;
    kzv_test::ProgramRun last_run_;
};

TEST_F(HostLog, DemoLogHasTheExactLinesOfTheSession) {
    const std::vector<std::string> lines = log_of(KZV_DEMO_SCENE);
    ASSERT_EQ(last_run_.status, 0) << last_run_.err;
    for (const std::string& line : lines) EXPECT_EQ(shape_error(line), "") << line;
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], R"({"op": "AttachHost", "args": []})");
    EXPECT_EQ(lines[1], R"({"op": "GetHostLCID", "args": [], "ret": 1033})");
    EXPECT_EQ(lines[2], R"({"op": "OpenFileDialog", "args": ["KZV|*.KZV;"], "ret": )" +
                            Json(fs::absolute(KZV_DEMO_SCENE).lexically_normal().string()).dump() + "}");
    EXPECT_EQ(lines[3], R"({"op": "ShowProgress", "args": [-1]})");
    EXPECT_EQ(lines.back(), R"({"op": "MessageBox", "args": ["Import Complete", "information", "KZV"]})");
    // Whole doubles are written without a fraction: the crate's translation (-3, 1, 0).
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.starts_with(R"({"op": "SetGroupMatrix")") &&
                                       l.ends_with(", 1, 0, 0, 0, 0, 1, 0, -3, 1, 0, 1]]}");
                            }),
              1);
    // The counts agree with the demo's --summary.
    EXPECT_EQ(count(lines, "CreateGroup"), 7u);
    EXPECT_EQ(count(lines, "CreatePolygon"), 30u);
    EXPECT_EQ(count(lines, "AddPolygonVertex"), 90u);
    EXPECT_EQ(count(lines, "ClosePolygon"), 30u);
    EXPECT_EQ(count(lines, "LoadBitmap"), 3u);  // the checker is both bitmaps of its material
    EXPECT_EQ(count(lines, "ReportMessage"), 3u);
}

TEST_F(HostLog, LocaleReachesThePluginAndItsMessages) {
    const std::vector<std::string> lines = log_of(KZV_DEMO_SCENE, {"--lcid", "407"});
    ASSERT_EQ(last_run_.status, 0) << last_run_.err;
    EXPECT_EQ(lines[1], R"({"op": "GetHostLCID", "args": [], "ret": 407})");
    EXPECT_EQ(lines.back(), R"({"op": "MessageBox", "args": ["999999", "information", "999999"]})");
}

TEST_F(HostLog, OddValuesKeepTheFormat) {
    const fs::path scenes = dir_.path() / "scenes";
    ASSERT_EQ(
        kzv_test::run_program({KZV_MAKE_RANDOM_SCENES, scenes.string(), "8", "2000"}, dir_.path()).status, 0);
    bool special_numbers_seen = false;
    for (int seed = 2000; seed < 2008; ++seed) {
        const std::vector<std::string> lines = log_of(scenes / ("random-" + std::to_string(seed) + ".KZV"));
        ASSERT_TRUE(last_run_.status == 0 || last_run_.status == 1) << seed;
        for (const std::string& line : lines) {
            EXPECT_EQ(shape_error(line), "") << line;
            if (line.find("\"NaN\"") != std::string::npos || line.find("Infinity\"") != std::string::npos)
                special_numbers_seen = true;
        }
        if (last_run_.status == 1) {
            EXPECT_EQ(count(lines, "ReportError"), 1u) << seed;
        }
    }
    EXPECT_TRUE(special_numbers_seen);
}

}  // namespace
