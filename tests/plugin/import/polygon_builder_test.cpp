// Corner values of the polygon builder: texture-point carry-over, tiling, flips, normals, colours and
// materials.
#include <gmock/gmock.h>

#include "import/conversions.h"
#include "import_fixture.h"

namespace kzv_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The JSON array of vertex data that each AddPolygonVertex call received, in call order.
std::vector<std::string> VertexData(const RecordingHost& host) {
    std::vector<std::string> out;
    for (const auto& line : host.LinesOf("AddPolygonVertex")) {
        const auto start = line.find(", [") + 2;
        out.push_back(line.substr(start, line.find(']', start) - start + 1));
    }
    return out;
}

std::vector<std::string> ArrayArgs(const RecordingHost& host, std::string_view op) {
    std::vector<std::string> out;
    for (const auto& line : host.LinesOf(op)) {
        const auto start = line.rfind(", [") + 2;
        out.push_back(line.substr(start, line.find(']', start) - start + 1));
    }
    return out;
}

// A geometry with texture-coordinate points: first set 0..7 at (0.1 * i, 0.2 * i) with point 7 at
// (0.25, 0.5); second set point 4 at (0.25, 0.75).
std::shared_ptr<meshGeom> TexturedGeometry(TriSpec t) {
    auto g = TriangleGeometry({Tri(t)});
    std::vector<std::shared_ptr<p3dPt2D>> first;
    for (int i = 0; i < 7; ++i) first.push_back(P2(0.5f, 0.5f));
    first.push_back(P2(0.25f, 0.5f));
    g->Set_TexCoordsList(first);
    g->Set_TexCoords2list({P2(0, 0), P2(0, 0), P2(0, 0), P2(0, 0), P2(0.25f, 0.75f)});
    return g;
}

TEST(PolygonBuilder, TexturePointCarriesOverFromTheLastCornerThatFetchedOne) {
    struct Case {
        const char* name;
        TriSpec tri;
        std::vector<std::string> uv;  // u, v of corners 3, 2, 1
    };
    const std::vector<Case> cases = {
        {"first-set point of corner 3 reused", {.tc = {-1, -1, 7}}, {"0.25, 0.5", "0.25, 0.5", "0.25, 0.5"}},
        {"second-set point of corner 3 becomes corner 2's first set",
         {.tc = {-1, -1, -1}, .tcs = {-1, -1, 4}},
         {"0, 1", "0.25, 0.25", "0.25, 0.25"}},
        {"fresh point for corner 3", {.tc = {7, -1, -1}}, {"0, 1", "0, 1", "0.25, 0.5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImportRun run;
        run.Import(*OneMeshWorld(TexturedGeometry(c.tri)));
        const auto data = VertexData(run.host());
        ASSERT_EQ(data.size(), 3u);
        EXPECT_EQ(data[0], "[7, 8, 9, " + c.uv[0] + ", 100]");
        EXPECT_EQ(data[1], "[4, 5, 6, " + c.uv[1] + ", 100]");
        EXPECT_EQ(data[2], "[1, 2, 3, " + c.uv[2] + ", 100]");
    }
}

TEST(PolygonBuilder, TilingAppliesToTheFirstSetOnlyAndMaterialColourIsNotClamped) {
    auto w = OneMeshWorld(TexturedGeometry({.tc = {7, 7, 7}, .tcs = {4, -1, -1}}));
    auto m = Material(P3(1.2f, 0.5f, 0), 2, 3);
    m->stateBitmapHandle = 0;
    w->Set_MaterialList({m});
    w->Set_MultiMatList({Multi({0})});
    w->Set_MeshList({Mesh("tri", 0, 0)});
    ImportRun run;
    run.Import(*w);
    EXPECT_THAT(VertexData(run.host()), ElementsAre("[7, 8, 9, 0.5, -0.5, 100]", "[4, 5, 6, 0.5, -0.5, 100]",
                                                    "[1, 2, 3, 0.5, -0.5, 100]"));
    EXPECT_THAT(ArrayArgs(run.host(), "SetPolygonVertexUV2"), ElementsAre("[0.25, 0.25]"));
    const std::string p = std::to_string(NthHandle(HandleKind::Polygon, 1));
    EXPECT_THAT(run.host().LinesOf("SetPolygonColor"),
                ElementsAre(R"({"op": "SetPolygonColor", "args": [)" + p + ", 306, 128, 0]}"));
    EXPECT_EQ(run.host().Count("SetPolygonBitmap"), 0u);
}

TEST(PolygonBuilder, NormalsKeepTheLastOneLookedUp) {
    auto g = TriangleGeometry({Tri({.n = {-1, 0, -1}})});
    g->Set_VertexList({Vert(1, 2, 3), Vert(4, 5, 6, {P3(0, 0, 9), P3(0, 1, 0)}), Vert(7, 8, 9)});
    ImportRun run;
    run.Import(*OneMeshWorld(g));
    EXPECT_THAT(ArrayArgs(run.host(), "SetVertexNormal"), ElementsAre("[0, 0, 0]", "[0, 0, 9]", "[0, 0, 9]"));
}

TEST(PolygonBuilder, VertexColoursRoundHalfToEven) {
    auto g = TriangleGeometry({Tri({.vc = {0, -1, 1}})});
    g->Set_ColorList({P3(1, 0.5f, 0), P3(0.1f, 0.2f, 0.3f)});
    ImportRun run;
    run.Import(*OneMeshWorld(g));
    EXPECT_THAT(ArrayArgs(run.host(), "SetPolygonVertexColor"), ElementsAre("[26, 51, 77]", "[255, 128, 0]"));
}

TEST(PolygonBuilder, MaterialSlotIsReducedByTruncatingModulo) {
    auto w = OneMeshWorld(TriangleGeometry({Tri({.mat = 5})}));
    auto red = Material(P3(1, 0, 0)), green = Material(P3(0, 1, 0)), blue = Material(P3(0, 0, 1));
    blue->stateBitmapHandle = 0;
    w->Set_MaterialList({red, green, blue});
    w->Set_MultiMatList({Multi({0, 1, 2})});
    w->Set_MeshList({Mesh("tri", 0, 0)});
    ImportRun run;
    run.Import(*w);
    EXPECT_THAT(run.host().LinesOf("SetPolygonColor").front(), HasSubstr(", 0, 0, 255]"));
}

TEST(PolygonBuilder, MultiMaterialWithoutWorldMaterialsSelectsNothing) {
    auto w = OneMeshWorld(TexturedGeometry({.mat = 0, .tc = {7, 7, 7}}));
    w->Set_MultiMatList({Multi({})});  // a count of 0 does not divide: there is no material to select
    w->Set_MeshList({Mesh("tri", 0, 0)});
    ImportRun run;
    run.Import(*w);
    EXPECT_EQ(run.host().Count("SetPolygonColor"), 0u);
    EXPECT_EQ(VertexData(run.host()).front(), "[7, 8, 9, 0.25, 0.5, 100]");
    EXPECT_EQ(run.host().ui().messages().back().text, "Import Complete");
}

TEST(PolygonBuilder, SecondBitmapAloneGetsOnlyTheSecondCall) {
    auto w = OneMeshWorld(TriangleGeometry({Tri({})}));
    auto m = Material(P3(0, 0, 0));
    m->texture2Used = -1;
    m->texture2Name = "detail.bmp";
    w->Set_MaterialList({m});
    w->Set_MultiMatList({Multi({0})});
    w->Set_MeshList({Mesh("tri", 0, 0)});
    ImportRun run;
    run.Import(*w);
    EXPECT_EQ(run.host().Count("SetPolygonBitmap"), 0u);
    const std::string p = std::to_string(NthHandle(HandleKind::Polygon, 1));
    EXPECT_THAT(run.host().LinesOf("SetPolygonBitmap2"),
                ElementsAre(R"({"op": "SetPolygonBitmap2", "args": [)" + p + ", " +
                            std::to_string(NthHandle(HandleKind::Bitmap, 1)) + "]}"));
}

}  // namespace
}  // namespace kzv_test

namespace kzv_test {
namespace {

// A scene file never holds a null record, but a caller's list may: the lookup reports it as error 91
// instead of handing a null on, and an index outside the list stays error 9.
TEST(PolygonBuilder, RecordLookupReportsNullRecordsAndBadIndices) {
    const auto a = P3(1, 2, 3);
    const RecordList<p3dPt3D> list({a, nullptr});
    EXPECT_EQ(&import::element_at(list, 0, "colour index"), a.get());
    const auto numberOf = [&](std::int64_t index) {
        try {
            import::element_at(list, index, "colour index");
        } catch (const PluginError& e) {
            EXPECT_EQ(e.source(), "Imp_KZV.clsPlugin");
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf(1), 91);
    EXPECT_EQ(numberOf(2), 9);
    EXPECT_EQ(numberOf(-1), 9);
}

}  // namespace
}  // namespace kzv_test
