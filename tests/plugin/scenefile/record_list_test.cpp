// The geometry lists: one identity per record whichever accessor reaches it, a caller's records kept
// as given, partial lists after a failure, and no allocation per record.
#include <gtest/gtest.h>

#include "allocation_probe.h"
#include "scenefile/meshGeom.h"
#include "test_support.h"

namespace imp_kzv::testing {
namespace {

// A geometry of `n` vertices with two normals each, `n` texture coordinates of each set, `n`
// triangles and `n` colours; record i carries i in its first value.
std::vector<std::byte> GeometryBytes(std::int32_t n) {
    ByteWriter w;
    w.int32(n);
    for (std::int32_t i = 0; i < n; ++i) {
        const auto f = static_cast<float>(i);
        w.point3(f, 0, 0).int32(2).point3(0, f, 0).point3(0, 0, f);
    }
    for (int set = 0; set < 2; ++set) {
        w.int32(n);
        for (std::int32_t i = 0; i < n; ++i) w.point2(static_cast<float>(i), 0.5f);
    }
    w.int32(n);
    for (std::int32_t i = 0; i < n; ++i) w.int32(i).zeros(60);
    w.int32(n);
    for (std::int32_t i = 0; i < n; ++i) w.point3(static_cast<float>(i), 0, 0);
    return w.take();
}

meshGeom ReadGeometry(const std::vector<std::byte>& bytes, ErrorValue* error = nullptr) {
    meshGeom g;
    SceneReader file(bytes);
    const ErrorValue e = ErrorOf([&] { g.Read(file); });
    if (error != nullptr) *error = e;
    return g;
}

TEST(RecordList, ReadRecordsHaveOneIdentityThroughGetAndView) {
    const meshGeom g = ReadGeometry(GeometryBytes(3));
    ASSERT_EQ(g.View_TriList().size(), 3u);
    g.Get_TriList()[1]->iMat = 42;
    EXPECT_EQ(g.View_TriList()[1]->iMat, 42);
    EXPECT_EQ(g.Get_TriList()[1]->iMat, 42);

    const std::shared_ptr<p3dVert> vertex = g.Get_VertexList()[2];
    EXPECT_EQ(vertex.get(), g.View_VertexList()[2]);
    vertex->Get_NormalList()[1]->z = -1;
    vertex->loc->y = 7;
    EXPECT_EQ(g.View_VertexList()[2]->View_NormalList()[1]->z, -1);
    EXPECT_EQ(g.Get_VertexList()[2]->loc->y, 7);

    g.Get_TexCoords2list()[2]->y = 0.75f;
    EXPECT_EQ(g.View_TexCoords2list()[2]->y, 0.75f);
    EXPECT_EQ(g.View_TexCoordsList()[2]->y, 0.5f) << "the two sets are separate records";

    std::int32_t expected = 0;
    for (const p3dTri* tri : g.View_TriList()) EXPECT_EQ(tri->iVert1, expected++);
    EXPECT_EQ(expected, 3);
}

TEST(RecordList, HandedOutRecordsOutliveTheirGeometryAndCopiesShareThem) {
    std::shared_ptr<p3dVert> vertex;
    std::shared_ptr<p3dPt3D> normal;
    std::shared_ptr<p3dPt2D> uv;
    meshGeom copy;
    {
        const meshGeom g = ReadGeometry(GeometryBytes(4));
        vertex = g.Get_VertexList()[3];
        normal = g.View_VertexList()[1]->Get_NormalList()[0];
        uv = g.Get_TexCoordsList()[2];
        copy = g;
        g.Get_TriList()[0]->iMat = 9;
    }
    // ASan checks that the blocks are still alive.
    EXPECT_EQ(vertex->loc->x, 3);
    EXPECT_EQ(vertex->View_NormalList()[1]->z, 3);
    EXPECT_EQ(normal->y, 1);
    EXPECT_EQ(uv->x, 2);
    EXPECT_EQ(copy.View_TriList()[0]->iMat, 9);

    const meshGeom moved = std::move(copy);
    EXPECT_EQ(moved.View_TriList().size(), 4u);
    EXPECT_TRUE(copy.View_TriList().empty());  // NOLINT(bugprone-use-after-move): moved-from lists are empty
}

TEST(RecordList, SetKeepsTheCallersRecordsAndNulls) {
    const auto a = std::make_shared<p3dPt3D>();
    const auto b = std::make_shared<p3dPt3D>();
    meshGeom g;
    g.Set_ColorList({a, nullptr, b});
    const auto& colours = g.View_ColorList();
    EXPECT_EQ(g.Get_ColorList(), (std::vector<std::shared_ptr<p3dPt3D>>{a, nullptr, b}));
    a->x = 0.5f;
    EXPECT_EQ(colours[0]->x, 0.5f);

    std::vector<const p3dPt3D*> walked;
    for (const p3dPt3D* c : colours) walked.push_back(c);
    EXPECT_EQ(walked, (std::vector<const p3dPt3D*>{a.get(), nullptr, b.get()}));

    // Reading replaces what was set.
    const std::vector<std::byte> bytes = GeometryBytes(1);
    SceneReader file(bytes);
    g.Read(file);
    EXPECT_EQ(g.View_ColorList().size(), 1u);
    EXPECT_EQ(a.use_count(), 1) << "the list let go of the caller's records";
}

TEST(RecordList, AFailureKeepsTheRecordsReadSoFarWithoutEmptySlots) {
    // A count that the rest of the file cannot hold fails before its list is allocated, so only the
    // vertices, whose size varies, can stop half way.
    const std::vector<std::byte> whole = GeometryBytes(3);
    struct Case {
        const char* name;
        std::size_t cut;  // bytes kept
        std::size_t vertices, normals_of_last, uvs, triangles;
    };
    const std::size_t vertex_bytes = 12 + 4 + 24;
    const std::size_t verts_end = 4 + 3 * vertex_bytes;
    const std::size_t uvs_end = verts_end + 2 * (4 + 3 * 8);
    const std::vector<Case> cases = {
        {"inside the normals of vertex 1", 4 + vertex_bytes + 16 + 12 + 5, 2, 0, 0, 0},
        {"inside the position of vertex 2", 4 + 2 * vertex_bytes + 3, 3, 0, 0, 0},
        {"inside the triangles", uvs_end + 4 + 2 * 64 + 10, 3, 2, 3, 0},
    };
    for (const Case& c : cases) {
        ErrorValue error;
        const meshGeom g =
            ReadGeometry({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.cut)}, &error);
        EXPECT_EQ(error.number, 62) << c.name;
        ASSERT_EQ(g.View_VertexList().size(), c.vertices) << c.name;
        EXPECT_EQ(g.View_VertexList()[c.vertices - 1]->View_NormalList().size(), c.normals_of_last) << c.name;
        EXPECT_EQ(g.View_TexCoordsList().size(), c.uvs) << c.name;
        EXPECT_EQ(g.View_TriList().size(), c.triangles) << c.name;
        EXPECT_TRUE(g.View_ColorList().empty()) << c.name;
        for (const p3dVert* v : g.View_VertexList()) {
            ASSERT_NE(v, nullptr) << c.name;
            EXPECT_NE(v->loc, nullptr) << c.name;
        }
        EXPECT_EQ(g.View_VertexList()[1]->loc->x, 1) << c.name;
    }
}

TEST(RecordList, ReadingCostsAFewAllocationsWhateverTheRecordCount) {
    for (const std::int32_t n : {10, 2000}) {
        const std::vector<std::byte> bytes = GeometryBytes(n);
        SceneReader file(bytes);
        meshGeom g;
        const std::size_t before = AllocationCount();
        g.Read(file);
        // One block per list, one for the positions and a few for the normals.
        EXPECT_LT(AllocationCount() - before, 12u) << n << " records";
    }
}

}  // namespace
}  // namespace imp_kzv::testing
