// The call log's line format: other tools parse these lines, so every detail is compared exactly.
#include "tessavo/call_log.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>

#include "recording_host.h"
#include "tessavo/framework_objects.h"

namespace {

using kzv_test::HandleKind;
using kzv_test::NthHandle;
using kzv_test::RecordingHost;
using tessavo::IHostApplication;
using tessavo::IUserInterface;

struct LineCase {
    const char* name;
    std::function<void(IHostApplication&, IUserInterface&)> call;
    std::string expected;
};

std::string Handle(HandleKind kind, int n) {
    return std::to_string(NthHandle(kind, n));
}

TEST(CallLog, WritesOneExactLinePerCall) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::vector<LineCase> cases = {
        {"attach", [](auto& h, auto&) { (void)h.Attached(); }, R"({"op": "AttachHost", "args": []})"},
        {"lcid",
         [](auto& h, auto&) {
             std::int32_t lcid = 0;
             (void)h.GetHostLCID(lcid);
         },
         R"({"op": "GetHostLCID", "args": [], "ret": 1033})"},
        {"message",
         [](auto& h, auto&) {
             std::int32_t kind = 4;
             (void)h.ReportMessage("Imported Cameras", kind);
         },
         R"({"op": "ReportMessage", "args": ["Imported Cameras", 4]})"},
        {"error with CR LF trace",
         [](auto& h, auto&) { (void)h.ReportError(-2147221504, "Bad \"thing\"", "A\r\nB"); },
         R"({"op": "ReportError", "args": [-2147221504, "Bad \"thing\"", "A\r\nB"]})"},
        {"booleans", [](auto& h, auto&) { (void)h.ShowProgress(tessavo::kTrue); },
         R"({"op": "ShowProgress", "args": [-1]})"},
        {"bitmap",
         [](auto& h, auto&) {
             tessavo::Handle b = 0;
             (void)h.LoadBitmap("C:\\scenes\\Bitmaps\\wood.bmp", tessavo::kTrue, b);
         },
         R"({"op": "LoadBitmap", "args": ["C:\\scenes\\Bitmaps\\wood.bmp", -1], "ret": )" +
             Handle(HandleKind::Bitmap, 1) + "}"},
        {"shortest doubles", [](auto& h, auto&) { (void)h.SetCameraPosition(7, 0.1, -0.0, 1e300); },
         R"({"op": "SetCameraPosition", "args": [7, 0.1, -0, 1e+300]})"},
        {"non-finite doubles",
         [](auto& h, auto&) {
             (void)h.SetCameraAxes(7, {nan, inf, -inf}, {1, 2, 3}, {0.5, 0.25, 3.0e-7});
         },
         R"({"op": "SetCameraAxes", "args": [7, ["NaN", "Infinity", "-Infinity"], [1, 2, 3], [0.5, 0.25, 3e-07]]})"},
        {"colour bytes",
         [](auto& h, auto&) {
             (void)h.SetLightColor(3, {0, 128, 255});
         },
         R"({"op": "SetLightColor", "args": [3, [0, 128, 255]]})"},
        {"track",
         [](auto& h, auto&) {
             tessavo::Handle t = 0;
             (void)h.CreateTrack("path", tessavo::kFalse, {1, 2, 3, 4, 5, 6}, 2, t);
         },
         R"({"op": "CreateTrack", "args": ["path", 0, [1, 2, 3, 4, 5, 6], 2], "ret": )" +
             Handle(HandleKind::Track, 1) + "}"},
        {"matrix",
         [](auto& h, auto&) {
             (void)h.SetGroupMatrix(5, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1});
         },
         R"({"op": "SetGroupMatrix", "args": [5, [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1]]})"},
        {"polygon",
         [](auto& h, auto&) {
             tessavo::Handle p = 0;
             (void)h.CreatePolygon(p);
         },
         R"({"op": "CreatePolygon", "args": [], "ret": )" + Handle(HandleKind::Polygon, 1) + "}"},
        {"vertex",
         [](auto& h, auto&) {
             tessavo::Handle v = 0;
             (void)h.AddPolygonVertex(9, {1, 2, 3, 0.5, 0.75, 100.0}, v);
         },
         R"({"op": "AddPolygonVertex", "args": [9, [1, 2, 3, 0.5, 0.75, 100]], "ret": )" +
             Handle(HandleKind::Vertex, 1) + "}"},
        {"polygon colour above 255", [](auto& h, auto&) { (void)h.SetPolygonColor(9, 306, -1, 0); },
         R"({"op": "SetPolygonColor", "args": [9, 306, -1, 0]})"},
        {"texts with NUL and controls",
         [](auto& h, auto&) {
             tessavo::Handle g = 0;
             (void)h.CreateGroup(std::string("a\0b\n\t\x01/\x7f", 8), g);
         },
         R"({"op": "CreateGroup", "args": ["a\u0000b\n\t\u0001/)"
         "\x7f"
         R"("], "ret": )" +
             Handle(HandleKind::Group, 1) + "}"},
        {"invalid UTF-8 replaced, valid kept",
         [](auto& h, auto&) {
             tessavo::Handle c = 0;
             (void)h.CreateCamera("\xC3\xA9 \xFF \xED\xA0\x80 \xF0\x9F\x98\x80", c);
         },
         "{\"op\": \"CreateCamera\", \"args\": [\"\xC3\xA9 \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD "
         "\xF0\x9F\x98\x80\"], \"ret\": " +
             Handle(HandleKind::Camera, 1) + "}"},
        {"dialog cancelled",
         [](auto&, auto& ui) {
             std::string path = "x";
             (void)ui.OpenFileDialog("KZV|*.KZV;", path);
         },
         R"({"op": "OpenFileDialog", "args": ["KZV|*.KZV;"], "ret": ""})"},
        {"message box icons",
         [](auto&, auto& ui) {
             (void)ui.MessageBox("Import Complete", tessavo::MessageIcon::Information, "KZV");
             (void)ui.MessageBox("Import Failed!", tessavo::MessageIcon::Exclamation, "KZV");
         },
         R"({"op": "MessageBox", "args": ["Import Complete", "information", "KZV"]})"
         "\n"
         R"({"op": "MessageBox", "args": ["Import Failed!", "exclamation", "KZV"]})"},
    };
    for (const LineCase& c : cases) {
        RecordingHost host;
        c.call(*host.application(), *host.user_interface());
        std::string joined;
        for (const std::string& line : host.lines()) joined += (joined.empty() ? "" : "\n") + line;
        EXPECT_EQ(joined, c.expected) << c.name;
    }
}

TEST(CallLog, FailedCallCarriesErrorInsteadOfRet) {
    RecordingHost host;
    host.FailCall("CreatePolygon", 2, 1234, "No more \"polygons\"", "Host.Scene");
    tessavo::Handle first = 0, second = -7;
    ASSERT_TRUE(host.application()->CreatePolygon(first).ok());
    const tessavo::Status status = host.application()->CreatePolygon(second);
    EXPECT_EQ(status.number, 1234);
    EXPECT_EQ(second, -7) << "a failed call issues no handle";
    ASSERT_EQ(host.lines().size(), 2u);
    EXPECT_EQ(
        host.lines()[1],
        R"({"op": "CreatePolygon", "args": [], "error": {"number": 1234, "description": "No more \"polygons\"", )"
        R"("source": "Host.Scene"}})");
}

TEST(CallLog, DoublesReadBackExactly) {
    const double values[] = {
        0.1,   1.0 / 3.0,          5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, -123456.789e-12,
        100.0, 0.30000000000000004};
    for (const double value : values) {
        RecordingHost host;
        (void)host.application()->SetCameraFov(1, value);
        const std::string& line = host.lines().at(0);
        const std::size_t start = line.find("[1, ") + 4;
        const std::size_t end = line.find(']', start);
        double parsed = 0;
        std::from_chars(line.data() + start, line.data() + end, parsed);
        EXPECT_EQ(parsed, value) << line;
    }
}

TEST(CallLog, MissingInnerObjectFailsAndIsLogged) {
    std::vector<std::string> lines;
    auto log = tessavo::CallLog::Create(nullptr, nullptr, [&](std::string_view l) { lines.emplace_back(l); });
    std::int32_t lcid = 0;
    EXPECT_EQ(log->GetHostLCID(lcid).number, tessavo::kErrNotAttached);
    EXPECT_EQ(log->MessageBox("hi", tessavo::MessageIcon::Information, "t").number, tessavo::kErrNotAttached);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(R"("error": {"number": 91)"), std::string::npos) << lines[0];
}

TEST(CallLog, ThrowingSinkDoesNotChangeTheCallsOutcome) {
    RecordingHost inner;
    auto log = tessavo::CallLog::Create(tessavo::Ref<IHostApplication>(inner.application()), nullptr,
                                        [](std::string_view) { throw std::runtime_error("disk full"); });
    tessavo::Handle group = 0;
    EXPECT_TRUE(log->CreateGroup("g", group).ok());
    EXPECT_EQ(group, NthHandle(HandleKind::Group, 1));
}

}  // namespace
