// The error path of an import: numbers, traces, the order of the report, and what stays in the host.
#include <gmock/gmock.h>

#include <functional>

#include "import/import_limits.h"
#include "import_fixture.h"
#include "null_host.h"
#include "tessavo/call_log.h"

namespace kzv_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kCrLf = "\r\n";

struct Report {
    std::int32_t number = 0;
    std::string description, trace;
};

// The single ReportError the import made, parsed from its log line.
Report OnlyReport(const RecordingHost& host) {
    const auto lines = host.LinesOf("ReportError");
    EXPECT_EQ(lines.size(), 1u);
    if (lines.empty()) return {};
    const std::string& l = lines.front();
    Report r;
    const auto args = l.find("[") + 1;
    r.number = std::stoi(l.substr(args));
    const auto d = l.find('"', l.find(", ", args)) + 1;
    const auto dEnd = l.find("\", \"", d);
    r.description = l.substr(d, dEnd - d);
    const auto t = dEnd + 4;
    const std::string raw = l.substr(t, l.rfind("\"]") - t);
    for (std::size_t at = 0; at < raw.size();) {
        if (raw.compare(at, 4, "\\r\\n") == 0) {
            r.trace += kCrLf;
            at += 4;
        } else {
            r.trace += raw[at++];
        }
    }
    return r;
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* l : lines) out += (out.empty() ? "" : kCrLf) + std::string(l);
    return out;
}

void ExpectFailedImport(const RecordingHost& host) {
    const auto ops = host.Ops();
    const auto report = std::find(ops.begin(), ops.end(), "ReportError");
    ASSERT_NE(report, ops.end());
    ASSERT_NE(report, ops.begin());
    EXPECT_EQ(*(report - 1), "ShowProgress");
    EXPECT_EQ(host.LinesOf("ShowProgress").back(), R"({"op": "ShowProgress", "args": [0]})");
    EXPECT_EQ(host.LinesOf("MessageBox").back(),
              R"({"op": "MessageBox", "args": ["Import Failed!", "exclamation", "KZV"]})");
}

TEST(ImportFailure, ErrorInPolygonOfChildGroupGivesTheFiveLineTrace) {
    auto w = std::make_shared<p3dWorld>();
    w->Set_MeshGeomList({TriangleGeometry({Tri({.vert = {0, 1, 3}})})});  // corner 3 names vertex 3 of 3
    w->Set_MeshList({Mesh("bad", 0)});
    w->Set_GroupList({Group("root", {}, {1}), Group("child", {0})});
    ImportRun run;
    run.Import(*w);
    ExpectFailedImport(run.host());
    const Report r = OnlyReport(run.host());
    EXPECT_EQ(r.number, 9);
    EXPECT_THAT(r.description, HasSubstr("vertex index 3"));
    EXPECT_EQ(r.trace, Lines({"Imp_KZV.clsPlugin", "Imp_KZV_Plugin.clsPlugin.CreateStatePolygon",
                              "Imp_KZV_Plugin.clsPlugin.p3dGroupEnum",
                              "Imp_KZV_Plugin.clsPlugin.p3dGroupEnum", "Imp_KZV_Plugin.clsPlugin.DoImport"}));
    // The polygon was created before its indices were tested, and stays without corners.
    EXPECT_EQ(run.host().Count("CreatePolygon"), 1u);
    EXPECT_EQ(run.host().Count("AddPolygonVertex"), 0u);
    EXPECT_EQ(run.host().Count("ClosePolygon"), 0u);
}

TEST(ImportFailure, NumberedFailuresOfTheBuilder) {
    struct Case {
        const char* name;
        std::function<void(p3dWorld&)> damage;
        std::int32_t number;
        const char* line1;
    };
    const auto withMaterials = [](p3dWorld& w, std::vector<std::int32_t> entries, std::int32_t iMat) {
        w.Set_MaterialList({Material(P3(1, 1, 1))});
        w.Set_MultiMatList({Multi(std::move(entries))});
        w.Set_MeshList({Mesh("tri", 0, 0)});
        w.Set_MeshGeomList({TriangleGeometry({Tri({.mat = iMat})})});
    };
    const std::vector<Case> cases = {
        {"entry -1 of a multi-material",
         [&](p3dWorld& w) {
             withMaterials(w, {0, 0, 0}, -1);
         },
         9, "Imp_KZV.MultiMaterial"},
        {"multi-material without entries", [&](p3dWorld& w) { withMaterials(w, {}, 0); }, 11,
         "Imp_KZV.clsPlugin"},
        {"entry naming a missing material", [&](p3dWorld& w) { withMaterials(w, {4}, 0); }, 9,
         "Imp_KZV.clsPlugin"},
        {"vertex colour above 255",
         [](p3dWorld& w) {
             auto g = TriangleGeometry({Tri({.vc = {0, 0, 0}})});
             g->Set_ColorList({P3(1, 1.002f, 1)});
             w.Set_MeshGeomList({g});
         },
         6, "Imp_KZV.clsPlugin"},
        {"normal index -2",
         [](p3dWorld& w) {
             w.Set_MeshGeomList({TriangleGeometry({Tri({.n = {-2, -1, -1}})})});
         },
         9, "Imp_KZV.clsPlugin"},
        {"second-set index into an empty list",
         [](p3dWorld& w) {
             w.Set_MeshGeomList({TriangleGeometry({Tri({.tcs = {0, -1, -1}})})});
         },
         9, "Imp_KZV.clsPlugin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = OneMeshWorld(TriangleGeometry({}));
        c.damage(*w);
        ImportRun run;
        run.Import(*w);
        ExpectFailedImport(run.host());
        const Report r = OnlyReport(run.host());
        EXPECT_EQ(r.number, c.number);
        EXPECT_EQ(r.trace,
                  Lines({c.line1, "Imp_KZV_Plugin.clsPlugin.CreateStatePolygon",
                         "Imp_KZV_Plugin.clsPlugin.p3dGroupEnum", "Imp_KZV_Plugin.clsPlugin.DoImport"}));
    }
}

TEST(ImportFailure, LightColourOverflowFailsInTheDriver) {
    auto w = OneMeshWorld(TriangleGeometry({}));
    auto light = std::make_shared<p3dLight>();
    light->loc = P3(0, 0, 0);
    light->color = P3(1.01f, 0, 0);
    w->Set_LightList({light});
    ImportRun run;
    run.Import(*w);
    ExpectFailedImport(run.host());
    const Report r = OnlyReport(run.host());
    EXPECT_EQ(r.number, 6);
    EXPECT_EQ(r.trace, Lines({"Imp_KZV.clsPlugin", "Imp_KZV_Plugin.clsPlugin.DoImport"}));
    EXPECT_EQ(run.host().Count("CreateLight"), 1u);
    EXPECT_EQ(run.host().Count("SetLightColor"), 0u);
}

TEST(ImportFailure, EmptyGroupListFailsAfterTracksAndBeforeBitmaps) {
    auto w = std::make_shared<p3dWorld>();
    auto m = Material(P3(1, 1, 1));
    m->textureUsed = -1;
    m->textureName = "a.bmp";
    w->Set_MaterialList({m});
    ImportRun run;
    run.Import(*w);
    ExpectFailedImport(run.host());
    EXPECT_EQ(OnlyReport(run.host()).number, 9);
    EXPECT_EQ(run.host().Count("ReportMessage"), 3u);
    EXPECT_EQ(run.host().Count("LoadBitmap"), 0u);
}

TEST(ImportFailure, MissingOrDamagedFileIsReportedWithWhereItFailed) {
    ImportRun run;
    run.ImportPath("/nonexistent/folder/scene.KZV");
    ExpectFailedImport(run.host());
    EXPECT_EQ(OnlyReport(run.host()).number, 53);

    run.host().ClearLog();
    auto w = OneMeshWorld(TriangleGeometry({Tri({})}));
    const std::string path = run.WriteFile(*w);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 3);
    run.ImportPath(path);
    ExpectFailedImport(run.host());
    const Report r = OnlyReport(run.host());
    EXPECT_EQ(r.number, 62);
    EXPECT_THAT(r.trace, testing::EndsWith("Imp_KZV_Plugin.clsPlugin.DoImport"));
}

TEST(ImportFailure, HostFailureOfEveryOperationReachesTheReport) {
    // A scene that makes every kind of import call at least once.
    auto w = FullWorld();
    ImportRun probe;
    probe.Import(*w);
    std::vector<std::string> ops;
    for (const auto& op : probe.host().Ops())
        if (op != "OpenFileDialog" && op != "MessageBox" && op != "ReportError" &&
            std::find(ops.begin(), ops.end(), op) == ops.end())
            ops.push_back(op);
    ASSERT_GE(ops.size(), 30u);
    for (const auto& op : ops) {
        SCOPED_TRACE(op);
        ImportRun run;
        run.host().FailCall(op, 1, 4242, "host says no", "HostApp.Scene");
        run.Import(*w);
        ExpectFailedImport(run.host());
        const Report r = OnlyReport(run.host());
        EXPECT_EQ(r.number, 4242);
        EXPECT_EQ(r.description, "host says no");
        EXPECT_THAT(r.trace, StartsWith(std::string("HostApp.Scene") + kCrLf));
        EXPECT_THAT(r.trace, testing::EndsWith("Imp_KZV_Plugin.clsPlugin.DoImport"));
    }
}

TEST(ImportFailure, GroupCycleIsRefusedBeforeItsNodeIsCreated) {
    auto w = std::make_shared<p3dWorld>();
    w->Set_GroupList({Group("root", {}, {1}), Group("a", {}, {2}), Group("b", {}, {1})});
    ImportRun run;
    run.Import(*w);
    ExpectFailedImport(run.host());
    const Report r = OnlyReport(run.host());
    EXPECT_EQ(r.number, static_cast<std::int32_t>(Err::GroupCycle));
    EXPECT_THAT(r.description, HasSubstr("\\\"b\\\" lists group 1"));
    EXPECT_EQ(r.trace, Lines({"Imp_KZV.clsPlugin", "Imp_KZV_Plugin.clsPlugin.p3dGroupEnum",
                              "Imp_KZV_Plugin.clsPlugin.p3dGroupEnum",
                              "Imp_KZV_Plugin.clsPlugin.p3dGroupEnum", "Imp_KZV_Plugin.clsPlugin.DoImport"}));
    EXPECT_EQ(run.host().Count("CreateGroup"), 3u);
}

TEST(ImportFailure, SharedSubtreesAreImportedOncePerListingButBoundedInTotal) {
    // Each group lists the next one twice: 2^20 visits of the last group from a file of a few KiB.
    std::vector<std::shared_ptr<p3dGroup>> groups;
    for (int i = 0; i < 20; ++i) groups.push_back(Group("g" + std::to_string(i), {}, {i + 1, i + 1}));
    groups.push_back(Group("leaf"));
    auto w = std::make_shared<p3dWorld>();
    w->Set_GroupList(groups);
    ImportRun run;
    imp_kzv::import::set_work_limit(1000);
    run.Import(*w);
    imp_kzv::import::set_work_limit(imp_kzv::import::kDefaultWorkLimit);
    ExpectFailedImport(run.host());
    EXPECT_EQ(OnlyReport(run.host()).number, 7);
    EXPECT_LE(run.host().Count("CreateGroup"), 1000u);
}

TEST(ImportFailure, DeepChainOfGroupsImportsWithoutExhaustingTheStack) {
    constexpr int kDepth = 100'000;
    std::vector<std::shared_ptr<p3dGroup>> groups;
    for (int i = 0; i < kDepth; ++i) groups.push_back(Group("", {}, {i + 1}));
    groups.push_back(Group("", {}, {kDepth + 7}));  // the deepest group names a missing child
    auto w = std::make_shared<p3dWorld>();
    w->Set_GroupList(groups);
    ImportRun run;
    run.Import(*w);
    ExpectFailedImport(run.host());
    const Report r = OnlyReport(run.host());
    EXPECT_EQ(r.number, 9);
    // One p3dGroupEnum line per level, as a recursive walk would give.
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = r.trace.find("p3dGroupEnum", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, static_cast<std::size_t>(kDepth + 1));

    groups.back() = Group("");
    w->Set_GroupList(groups);
    run.host().ClearLog();
    run.Import(*w);
    EXPECT_EQ(run.host().Count("CreateGroup"), static_cast<std::size_t>(kDepth + 1));
    EXPECT_EQ(run.host().ui().messages().back().text, "Import Complete");
}

// A plug-in object created by the host in the middle of an import takes over the component's host
// scene interface: the import's next call goes to that new, unattached interface and fails, and
// nothing more reaches the first host, however the import holds on to its interface.
TEST(ImportFailure, AnInterfaceReplacedDuringTheImportTakesTheNextCalls) {
    std::vector<std::string> lines;
    tessavo::Ref<clsPlugin> second;
    auto ui = tessavo::MakeRef<ScriptedUserInterface>();
    auto log = tessavo::CallLog::Create(tessavo::MakeRef<NullHost>(), ui, [&](std::string_view line) {
        lines.emplace_back(line);
        if (!second && line.find("\"SetProgressValue\"") != std::string_view::npos) {
            ASSERT_TRUE(clsPlugin::Create(second).ok());
        }
    });
    tessavo::ScopedUserInterface scoped(log.get());
    tessavo::Ref<clsPlugin> plugin;
    ASSERT_TRUE(clsPlugin::Create(plugin).ok());
    tessavo::IHostApplication* app = log.get();
    ASSERT_TRUE(plugin->SetHost(app).ok());

    const auto bytes = scenewriter::WriteScene(*OneMeshWorld(TriangleGeometry({Tri({})})));
    const tessavo::Status status = plugin->ImportScene("scene.KZV", bytes);
    EXPECT_EQ(status.number, tessavo::kErrNotAttached);
    ASSERT_TRUE(second);
    EXPECT_THAT(lines.back(), StartsWith(R"({"op": "SetProgressValue")"));
}

}  // namespace
}  // namespace kzv_test

namespace kzv_test {
namespace {

// A host callback may put a null record into a list of the world being imported (the world is public
// through CurrentWorld and its Set_ accessors). Every world-level list reports such a record as error 91
// where the import reaches it, instead of dereferencing a null.
TEST(ImportFailure, NullRecordOfEveryWorldListIsError91) {
    struct Case {
        const char* list;
        const char* op;  // the host call during which the list is replaced
        int n;
        std::function<void(p3dWorld&)> set_null;
    };
    const Case cases[] = {
        {"cameras", "SetProgressMax", 1, [](p3dWorld& w) { w.Set_CameraList({nullptr}); }},
        {"lights", "ReportMessage", 1, [](p3dWorld& w) { w.Set_LightList({nullptr}); }},
        {"tracks", "ReportMessage", 2, [](p3dWorld& w) { w.Set_TrackList({nullptr}); }},
        {"materials", "ReportMessage", 3, [](p3dWorld& w) { w.Set_MaterialList({nullptr}); }},
        {"groups", "ReportMessage", 3, [](p3dWorld& w) { w.Set_GroupList({nullptr}); }},
        {"meshes", "SetGroupParent", 1, [](p3dWorld& w) { w.Set_MeshList({nullptr}); }},
        {"geometries", "SetGroupParent", 1, [](p3dWorld& w) { w.Set_MeshGeomList({nullptr}); }},
        {"multi-materials", "SetGroupParent", 1, [](p3dWorld& w) { w.Set_MultiMatList({nullptr}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        ImportRun run;
        run.host().OnCall(c.op, c.n, [&] { c.set_null(*run.plugin().CurrentWorld()); });
        run.Import(*FullWorld());
        ExpectFailedImport(run.host());
        const Report r = OnlyReport(run.host());
        EXPECT_EQ(r.number, 91);
        EXPECT_THAT(r.description, HasSubstr("refers to no record"));
    }
}

// The last step's ShowProgress(False) fails after the result was set: the failure is reported, and the
// import still answers True.
TEST(ImportFailure, FailingFinalProgressHideIsReportedAfterTheResultWasSet) {
    ImportRun run;
    run.host().FailCall("ShowProgress", 2, 3003, "Progress bar gone", "Host.Progress");
    run.Import(*OneMeshWorld(TriangleGeometry({Tri({})})));
    const Report r = OnlyReport(run.host());
    EXPECT_EQ(r.number, 3003);
    EXPECT_EQ(r.trace, Lines({"Host.Progress", "Imp_KZV_Plugin.clsPlugin.DoImport"}));
    EXPECT_EQ(run.host().LinesOf("ShowProgress").back(), R"({"op": "ShowProgress", "args": [0]})");
    EXPECT_EQ(run.host().ui().messages().back().text, "Import Complete");
}

// Failures of the platform's services called from the plug-in's own code carry the plug-in's source:
// a message box that fails in Import is returned to the host as Imp_KZV.clsPlugin's error; in Export
// it is ignored.
TEST(ImportFailure, FailingMessageBoxIsImportsErrorAndIgnoredByExport) {
    ImportRun run;
    run.host().ui().FailMessageBox(tessavo::Status::failure(7, "Out of memory", "UserInterface"));
    const auto bytes = scenewriter::WriteScene(*OneMeshWorld(TriangleGeometry({})));
    const tessavo::Status status = run.plugin().ImportScene("scene.KZV", bytes);
    EXPECT_EQ(status.number, 7);
    EXPECT_EQ(status.description, "Out of memory");
    EXPECT_EQ(status.source, "Imp_KZV.clsPlugin");

    run.host().ui().FailMessageBox(tessavo::Status::failure(7, "Out of memory", "UserInterface"));
    std::int32_t result = -1;
    EXPECT_TRUE(run.plugin().Export(result).ok());
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace kzv_test
