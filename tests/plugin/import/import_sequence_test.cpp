// The exact host calls of whole imports: order, values, and the notices around them.
#include <gmock/gmock.h>

#include "import_fixture.h"

namespace kzv_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(ImportSequence, TriangleWithoutOptionalIndicesGivesTheMinimalCalls) {
    ImportRun run;
    run.Import(*OneMeshWorld(TriangleGeometry({Tri({})})));
    const tessavo::Handle root = NthHandle(HandleKind::Group, 1), mesh = NthHandle(HandleKind::Group, 2);
    const tessavo::Handle poly = NthHandle(HandleKind::Polygon, 1);
    const auto vertex = [](int n) { return std::to_string(NthHandle(HandleKind::Vertex, n)); };
    const std::string p = std::to_string(poly);
    EXPECT_THAT(run.ImportLines(),
                ElementsAreArray(std::vector<std::string>{
                    R"({"op": "ShowProgress", "args": [-1]})",
                    R"({"op": "SetProgressMax", "args": [1]})",
                    R"({"op": "ReportMessage", "args": ["Imported Cameras", 4]})",
                    R"({"op": "ReportMessage", "args": ["Imported Lights", 4]})",
                    R"({"op": "ReportMessage", "args": ["Imported Tracks", 4]})",
                    R"({"op": "CreateGroup", "args": ["root"], "ret": )" + std::to_string(root) + "}",
                    R"({"op": "SetGroupParent", "args": [)" + std::to_string(root) + ", 0]}",
                    R"({"op": "CreateGroup", "args": ["tri"], "ret": )" + std::to_string(mesh) + "}",
                    R"({"op": "SetGroupParent", "args": [)" + std::to_string(mesh) + ", " +
                        std::to_string(root) + "]}",
                    R"({"op": "CreatePolygon", "args": [], "ret": )" + p + "}",
                    R"({"op": "AddPolygonVertex", "args": [)" + p + R"(, [7, 8, 9, 0, 1, 100]], "ret": )" +
                        vertex(1) + "}",
                    R"({"op": "SetVertexNormal", "args": [)" + vertex(1) + ", [0, 0, 0]]}",
                    R"({"op": "AddPolygonVertex", "args": [)" + p + R"(, [4, 5, 6, 0, 1, 100]], "ret": )" +
                        vertex(2) + "}",
                    R"({"op": "SetVertexNormal", "args": [)" + vertex(2) + ", [0, 0, 0]]}",
                    R"({"op": "AddPolygonVertex", "args": [)" + p + R"(, [1, 2, 3, 0, 1, 100]], "ret": )" +
                        vertex(3) + "}",
                    R"({"op": "SetVertexNormal", "args": [)" + vertex(3) + ", [0, 0, 0]]}",
                    R"({"op": "ClosePolygon", "args": [)" + p + "]}",
                    R"({"op": "AddPolygonToGroup", "args": [)" + p + ", " + std::to_string(mesh) + "]}",
                    R"({"op": "SetGroupMatrix", "args": [)" + std::to_string(mesh) +
                        ", [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1]]}",
                    R"({"op": "SetProgressValue", "args": [1]})",
                    R"({"op": "AddGroupToWorld", "args": [)" + std::to_string(root) + ", 0]}",
                    R"({"op": "ShowProgress", "args": [0]})",
                    R"({"op": "MessageBox", "args": ["Import Complete", "information", "KZV"]})",
                }));
}

TEST(ImportSequence, GroupTreeIsWalkedDepthFirstWithMeshesBeforeChildren) {
    auto w = std::make_shared<p3dWorld>();
    w->Set_MeshGeomList({TriangleGeometry({})});
    w->Set_MeshList({Mesh("A", 0), Mesh("B", 0), Mesh("C", 0)});
    w->Set_GroupList({Group("root", {0, 1}, {1, 2}), Group("X", {2}), Group("Y")});
    ImportRun run;
    run.Import(*w);
    std::vector<std::string> calls;
    for (const auto& line : run.ImportLines()) {
        const std::string op = OpOfLine(line);
        if (op == "CreateGroup")
            calls.push_back(line.substr(line.find("[\"") + 2, line.find("\"]") - line.find("[\"") - 2));
        if (op == "SetGroupMatrix" || op == "SetProgressValue") calls.push_back(op);
    }
    EXPECT_THAT(calls, ElementsAre("root", "A", "SetGroupMatrix", "SetProgressValue", "B", "SetGroupMatrix",
                                   "SetProgressValue", "X", "C", "SetGroupMatrix", "SetProgressValue", "Y"));
    EXPECT_EQ(run.host().LinesOf("SetProgressValue").back(), R"({"op": "SetProgressValue", "args": [3]})");
}

TEST(ImportSequence, CamerasLightsAndTracksCarryTheirValues) {
    auto w = OneMeshWorld(TriangleGeometry({}));
    auto cam = std::make_shared<p3dCamera>();
    cam->name = "cam";
    cam->Set_p3dTransMatrix({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {5, 6, 7}}});
    cam->fov = 90;
    cam->nearRange = 0.5f;
    cam->farRange = 1000;
    auto light = std::make_shared<p3dLight>();
    light->name = "sun";
    light->loc = P3(1, 2, 3);
    light->color = P3(1.0f, 0.5f, 0.0f);
    light->intensity = 2.5f;
    light->minDist = 7;
    light->maxDist = 100;
    auto track = std::make_shared<p3dTrack>();
    track->name = "path";
    track->cyclic = -1;
    track->Set_PointList({P3(0, 1, 2), P3(3, 4, 5), P3(6, 7, 8)});
    w->Set_CameraList({cam});
    w->Set_LightList({light});
    w->Set_TrackList({track});
    ImportRun run;
    run.Import(*w);
    const std::string c = std::to_string(NthHandle(HandleKind::Camera, 1));
    const std::string l = std::to_string(NthHandle(HandleKind::Light, 1));
    const std::string t = std::to_string(NthHandle(HandleKind::Track, 1));
    const auto lines = run.ImportLines();
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 2, lines.begin() + 20),
                ElementsAreArray(std::vector<std::string>{
                    R"({"op": "CreateCamera", "args": ["cam"], "ret": )" + c + "}",
                    R"({"op": "SetCameraPosition", "args": [)" + c + ", 5, 6, 7]}",
                    R"({"op": "SetCameraAxes", "args": [)" + c + ", [0, 0, 1], [1, 0, 0], [0, 1, 0]]}",
                    R"({"op": "SetCameraFov", "args": [)" + c + ", 90]}",
                    R"({"op": "SetCameraRange", "args": [)" + c + ", 0.5]}",
                    R"({"op": "SetCameraMode", "args": [)" + c + ", 1]}",
                    R"({"op": "AddCameraToWorld", "args": [)" + c + "]}",
                    R"({"op": "ReportMessage", "args": ["Imported Cameras", 4]})",
                    R"({"op": "CreateLight", "args": ["sun", [1, 2, 3]], "ret": )" + l + "}",
                    R"({"op": "SetLightColor", "args": [)" + l + ", [255, 128, 0]]}",
                    R"({"op": "SetLightIntensity", "args": [)" + l + ", 2.5]}",
                    R"({"op": "SetLightIntensity2", "args": [)" + l + ", 2.5]}",
                    R"({"op": "SetLightRange", "args": [)" + l + ", 100]}",
                    R"({"op": "AddLightToWorld", "args": [)" + l + "]}",
                    R"({"op": "ReportMessage", "args": ["Imported Lights", 4]})",
                    R"({"op": "CreateTrack", "args": ["path", -1, [0, 1, 2, 3, 4, 5, 6, 7, 8], 3], "ret": )" +
                        t + "}",
                    R"({"op": "AddTrackToWorld", "args": [)" + t + "]}",
                    R"({"op": "ReportMessage", "args": ["Imported Tracks", 4]})",
                }));
}

TEST(ImportSequence, BitmapsAreLoadedFromTheFolderBesideTheSceneFile) {
    auto w = OneMeshWorld(TriangleGeometry({Tri({})}));
    auto first = Material(P3(1, 1, 1));
    first->textureUsed = -1;
    first->textureName = "wood.bmp";
    auto second = Material(P3(1, 1, 1));
    second->texture2Used = -1;
    second->texture2Name = "\\sub\\checker.bmp";
    second->textureName = "unused.bmp";  // kept in the record, not loaded: its flag is false
    w->Set_MaterialList({first, second});
    ImportRun run;
    const std::string path = run.ImportFile(*w);
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    EXPECT_THAT(
        run.host().LinesOf("LoadBitmap"),
        ElementsAre(R"({"op": "LoadBitmap", "args": [")" + folder + R"(Bitmaps\\wood.bmp", -1], "ret": )" +
                        std::to_string(NthHandle(HandleKind::Bitmap, 1)) + "}",
                    R"({"op": "LoadBitmap", "args": [")" + folder +
                        R"(Bitmaps\\\\sub\\checker.bmp", -1], "ret": )" +
                        std::to_string(NthHandle(HandleKind::Bitmap, 2)) + "}"));
}

TEST(ImportSequence, WorldWithoutMeshesMakesNoProgressMaximum) {
    auto w = std::make_shared<p3dWorld>();
    w->Set_GroupList({Group("root")});
    ImportRun run;
    run.Import(*w);
    EXPECT_EQ(run.host().Count("SetProgressMax"), 0u);
    EXPECT_EQ(run.host().Count("ShowProgress"), 2u);
    EXPECT_EQ(run.host().ui().messages().back().text, "Import Complete");
}

TEST(ImportSequence, CancelledDialogDoesNothingAtAll) {
    ImportRun run;
    run.host().ui().AnswerDialog("");
    std::int32_t result = -1;
    ASSERT_TRUE(run.plugin().Import(result).ok());
    EXPECT_EQ(result, 0);
    EXPECT_THAT(run.host().Ops(), ElementsAre("OpenFileDialog"));
    EXPECT_EQ(run.host().LinesOf("OpenFileDialog").front(),
              R"({"op": "OpenFileDialog", "args": ["KZV|*.KZV;"], "ret": ""})");
}

TEST(ImportSequence, ExportShowsItsMessageEvenWhenTheDialogFails) {
    ImportRun run;
    run.host().ui().FailDialog(tessavo::Status::failure(32755, "Cancel was selected.", "CommonDialog"));
    std::int32_t result = -1;
    ASSERT_TRUE(run.plugin().Export(result).ok());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(run.host().LinesOf("MessageBox").back(),
              R"({"op": "MessageBox", "args": ["Export Complete", "information", "KZV"]})");
}

TEST(ImportSequence, FailingDialogEndsTheImportSilently) {
    ImportRun run;
    run.host().ui().FailDialog(tessavo::Status::failure(32755, "Cancel was selected.", "CommonDialog"));
    std::int32_t result = -1;
    ASSERT_TRUE(run.plugin().Import(result).ok());
    EXPECT_EQ(result, 0);
    EXPECT_THAT(run.host().Ops(), ElementsAre("OpenFileDialog")) << "no DoImport, no message";
}

TEST(ImportSequence, LocaleWithBaseIndex200ShowsItsTexts) {
    ImportRun run(407);
    run.Import(*OneMeshWorld(TriangleGeometry({})));
    EXPECT_EQ(run.host().LinesOf("MessageBox").back(),
              R"({"op": "MessageBox", "args": ["999999", "information", "999999"]})");
    std::int32_t result = -1;
    ASSERT_TRUE(run.plugin().Export(result).ok());
    EXPECT_EQ(run.host().LinesOf("MessageBox").back(),
              R"({"op": "MessageBox", "args": ["999999", "information", "999999"]})");
}

// A host callback that starts another import on the same plug-in object in the middle of a walk: the
// nested import replaces the current world, and the outer walk still finishes on its own world.
TEST(ImportSequence, ANestedImportDoesNotFreeTheWorldUnderTheWalk) {
    ImportRun run;
    auto outer = OneMeshWorld(TriangleGeometry({Tri({}), Tri({})}));
    outer->Set_GroupList({Group("root", {0}, {1}), Group("child", {0})});
    auto inner = std::make_shared<p3dWorld>();
    inner->Set_GroupList({Group("inner")});
    const auto inner_bytes = scenewriter::WriteScene(*inner);
    run.host().OnCall("CreateGroup", 2,
                      [&] { EXPECT_TRUE(run.plugin().ImportScene("inner.KZV", inner_bytes).ok()); });
    run.Import(*outer);
    EXPECT_EQ(run.host().Count("CreatePolygon"), 4u) << "two triangles in each of the two mesh nodes";
    EXPECT_EQ(run.host().Count("CreateGroup"), 5u) << "root, mesh, child, mesh, and the nested root";
    ASSERT_EQ(run.host().ui().messages().size(), 2u);
    EXPECT_EQ(run.host().ui().messages()[1].text, "Import Complete") << "the outer import";
    EXPECT_EQ(run.host().Count("ReportError"), 0u);
    EXPECT_EQ(run.plugin().CurrentWorld()->View_GroupList().size(), 1u) << "the nested import's world stays";
}

TEST(ImportSequence, SecondImportStartsAfresh) {
    ImportRun run;
    run.Import(*OneMeshWorld(TriangleGeometry({Tri({})})));
    run.host().ClearLog();
    auto w = std::make_shared<p3dWorld>();
    w->Set_MeshGeomList({TriangleGeometry({})});
    w->Set_MeshList({Mesh("only", 0)});
    w->Set_GroupList({Group("root2", {0})});
    run.Import(*w);
    EXPECT_EQ(run.host().LinesOf("SetProgressValue"),
              std::vector<std::string>{R"({"op": "SetProgressValue", "args": [1]})"});
    EXPECT_EQ(run.host().Count("CreatePolygon"), 0u);
    EXPECT_EQ(run.host().ui().messages().back().text, "Import Complete");
}

}  // namespace
}  // namespace kzv_test
