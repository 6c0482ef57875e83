// Field order and exact byte consumption of each record, pinned with hand-written bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scenefile/globals.h"
#include "test_support.h"

namespace imp_kzv::testing {
namespace {

// Reads one record from `w` and checks that it consumed exactly all bytes but the trailing marker.
template <class Record>
Record ReadRecord(const ByteWriter& w, std::uint64_t expected_size) {
    SceneReader file(w.data());
    Record record;
    record.Read(file);
    EXPECT_EQ(file.offset(), expected_size);
    return record;
}

TEST(Material, ReadsFieldsInFileOrderWithTileFactorsLast) {
    ByteWriter w;
    w.raw_text("Mat").point3(1, 2, 3).point3(4, 5, 6).point3(7, 8, 9).float32(10).float32(11);
    w.byte(2).point3(12, 13, 14).byte(0).raw_text("t1.bmp").byte(255).byte(0).raw_text("alpha");
    w.byte(1).raw_text("t2.bmp").float32(15).float32(16);
    const auto m = ReadRecord<p3dMaterial>(w, w.size());
    EXPECT_EQ(m.name, "Mat");
    EXPECT_EQ(m.ambient->x, 1);
    EXPECT_EQ(m.diffuse->y, 5);
    EXPECT_EQ(m.specular->z, 9);
    EXPECT_EQ(m.shininess, 10);
    EXPECT_EQ(m.transparency, 11);
    EXPECT_EQ(m.twoSided, -1);
    EXPECT_EQ(m.emission->x, 12);
    EXPECT_EQ(m.textureUsed, 0);
    EXPECT_EQ(m.textureName, "t1.bmp") << "a texture name is kept even when its flag is false";
    EXPECT_EQ(m.mipMapsUsed, -1);
    EXPECT_EQ(m.alphaMapUsed, 0);
    EXPECT_EQ(m.alphaMapName, "alpha");
    EXPECT_EQ(m.texture2Used, -1);
    EXPECT_EQ(m.texture2Name, "t2.bmp");
    EXPECT_EQ(m.tileX, 15);
    EXPECT_EQ(m.tileY, 16);
    EXPECT_EQ(m.stateBitmapHandle, 0);
    EXPECT_EQ(m.stateBitmap2Handle, 0);
}

TEST(Camera, FieldOfViewIsConvertedToDegreesExactly) {
    struct Case {
        float radians, degrees;
    };
    const Case cases[] = {{1.5707963705062866f, 90.0f}, {0, 0}, {-0.7853981852531433f, -45.0f}};
    for (const Case& c : cases) {
        ByteWriter w;
        w.raw_text("Cam");
        for (int i = 0; i < 12; ++i) w.float32(static_cast<float>(i));
        w.float32(c.radians).float32(0.5f).float32(500);
        const auto cam = ReadRecord<p3dCamera>(w, w.size());
        EXPECT_EQ(cam.fov, c.degrees);
        EXPECT_EQ(cam.nearRange, 0.5f);
        EXPECT_EQ(cam.farRange, 500);
        EXPECT_EQ(cam.Get_p3dTransMatrix()[3][2], 11) << "matrix row by row";
        EXPECT_EQ(cam.Get_p3dTransMatrix()[1][0], 3);
    }
}

// Degrees beyond the largest single are an overflow of the read, not a platform-dependent conversion;
// an infinite field of view stays infinite, and the largest convertible one still reads.
TEST(Camera, FieldOfViewBeyondSinglePrecisionIsAnOverflow) {
    const auto camera_with_fov = [](float radians) {
        ByteWriter w;
        w.raw_text("");
        for (int i = 0; i < 12; ++i) w.float32(0);
        w.float32(radians).float32(0).float32(0);
        return w;
    };
    for (const float radians : {6e36f, -3e38f}) {
        ByteWriter w = camera_with_fov(radians);
        SceneReader file(w.data());
        p3dCamera cam;
        const ErrorValue error = ErrorOf([&] { cam.Read(file); });
        EXPECT_EQ(error.number, 6) << radians;
        EXPECT_EQ(error.source, "Imp_KZV.p3dCamera");
    }
    ByteWriter w = camera_with_fov(5.9e36f);
    EXPECT_GT(ReadRecord<p3dCamera>(w, w.size()).fov, 3.3e38f);
    ByteWriter inf = camera_with_fov(std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isinf(ReadRecord<p3dCamera>(inf, inf.size()).fov));
}

TEST(Mesh, ReadsTheTwoIndicesBeforeTheMatrix) {
    ByteWriter w;
    w.raw_text("").int32(4).int32(-1);
    for (float v : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 10.f, 20.f, 30.f}) w.float32(v);
    const auto mesh = ReadRecord<p3dMesh>(w, 60);
    EXPECT_EQ(mesh.iMeshGeom, 4);
    EXPECT_EQ(mesh.iMultiMat, -1);
    const std::array<double, 16> expected16 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1};
    EXPECT_EQ(mesh.Get_p3dTransMatrix_16_dbl(), expected16);
    const auto m44 = mesh.Get_p3dTransMatrix_4x4_dbl();
    EXPECT_EQ(m44(3, 0), 10);
    EXPECT_EQ(m44(0, 3), 0);
    EXPECT_EQ(m44(3, 3), 1);
    // The two-dimensional form keeps its first index varying fastest: in memory it is the 16-element
    // form transposed, the position in elements 3, 7 and 11.
    const std::array<double, 16> transposed = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1};
    EXPECT_EQ(m44.elements, transposed);
}

TEST(Group, UserDataTakesLengthPlusOneBytes) {
    for (const std::int32_t length : {0, 1, 5}) {
        ByteWriter w;
        w.raw_text("G").int32(2).int32(7).int32(8).int32(0).int32(1).int32(3).int32(0).int32(0);
        for (int i = 0; i < 12; ++i) w.float32(static_cast<float>(i));
        w.point3(1, 2, 3).int32(length);
        const std::size_t size = w.size() + (length == 0 ? 0 : static_cast<std::size_t>(length) + 1);
        w.zeros(size - w.size()).int32(0x7777);  // the next record starts right after the user data
        const auto g = ReadRecord<p3dGroup>(w, size);
        EXPECT_EQ(g.userDataLen, length);
        EXPECT_EQ(g.Get_iChildGroupList(), (std::vector<std::int32_t>{7, 8}));
        EXPECT_TRUE(g.Get_iMeshList().empty());
        EXPECT_EQ(g.Get_iCameraList(), std::vector<std::int32_t>{3});
        EXPECT_EQ(g.pivot->z, 3);
    }
}

TEST(Track, OnePointAndAnyNonZeroCyclicByte) {
    ByteWriter w;
    w.raw_text("T").int32(1).point3(1, 2, 3).byte(1);
    const auto t = ReadRecord<p3dTrack>(w, w.size());
    ASSERT_EQ(t.Get_PointList().size(), 1u);
    EXPECT_EQ(t.Get_PointList()[0]->y, 2);
    EXPECT_EQ(t.cyclic, -1);
}

TEST(Geometry, ListsKeepTheirOrderAndEmptyListsCostFourBytes) {
    ByteWriter w;
    w.int32(1).point3(1, 2, 3).int32(0);       // one vertex without normals: 16 bytes
    w.int32(0).int32(1).point2(0.5f, 0.25f);   // no first-set coordinates, one second-set one
    w.int32(2).zeros(64).int32(-1).zeros(60);  // two triangles
    w.int32(0);                                // no colours
    const auto g = ReadRecord<meshGeom>(w, 4 + 16 + 4 + 4 + 8 + 4 + 128 + 4);
    ASSERT_EQ(g.Get_VertexList().size(), 1u);
    EXPECT_TRUE(g.Get_VertexList()[0]->Get_NormalList().empty());
    EXPECT_TRUE(g.Get_TexCoordsList().empty());
    EXPECT_EQ(g.Get_TexCoords2list()[0]->y, 0.25f);
    EXPECT_EQ(g.Get_TriList()[1]->iVert1, -1);
    EXPECT_EQ(GetUpperBound(g.Get_ColorList()), -1);
}

TEST(Triangle, SixteenIntegersInMemberOrder) {
    ByteWriter w;
    for (std::int32_t i = 1; i <= 16; ++i) w.int32(i);
    const auto t = ReadRecord<p3dTri>(w, 64);
    EXPECT_EQ(t.iVert1, 1);
    EXPECT_EQ(t.iN3, 6);
    EXPECT_EQ(t.iMat, 7);
    EXPECT_EQ(t.iTC1, 8);
    EXPECT_EQ(t.iTCs3, 13);
    EXPECT_EQ(t.iVC3, 16);
}

TEST(MultiMaterial, SlotLookupFailsOutsideTheListWithNumberNine) {
    ByteWriter w;
    w.int32(2).int32(5).int32(9);
    const auto multi = ReadRecord<MultiMaterial>(w, 12);
    EXPECT_EQ(multi.GetMatCount(), 2);
    EXPECT_EQ(multi.Get_iMatIndx(1), 9);
    for (const std::int32_t slot : {-1, 2}) {
        const ErrorValue e = ErrorOf([&] { multi.Get_iMatIndx(slot); });
        EXPECT_EQ(e.number, 9);
        EXPECT_EQ(e.source, "Imp_KZV.MultiMaterial");
        EXPECT_NE(e.description.find("slot " + std::to_string(slot)), std::string::npos) << e.description;
    }
    EXPECT_EQ(MultiMaterial{}.GetMatCount(), 0);
    EXPECT_EQ(ErrorOf([] { MultiMaterial{}.Get_iMatIndx(0); }).number, 9);
}

TEST(World, SmallestFilesReadAndTrailingBytesAreIgnored) {
    ByteWriter w = EmptyWorld();
    ASSERT_EQ(w.size(), 52u);
    w.byte(0xEE).byte(0xEE);  // after the track list: never read
    const ReadResult r = ReadWorld(w.data());
    EXPECT_EQ(r.error.number, 0) << r.error.description;
    EXPECT_EQ(r.end_offset, 52u);
    EXPECT_EQ(r.world.Get_MeshListCount(), 0);
    EXPECT_EQ(GetUpperBound(r.world.Get_GroupList()), -1);
    EXPECT_NE(r.world.bkgColor, nullptr);

    ByteWriter one_group;
    WorldHeader(one_group);
    for (int i = 0; i < 5; ++i) one_group.int32(0);
    one_group.int32(1).raw_text("").zeros(20 + 48 + 12 + 4).int32(0).int32(0);
    ASSERT_EQ(one_group.size(), 140u);
    const ReadResult g = ReadWorld(one_group.data());
    EXPECT_EQ(g.error.number, 0) << g.error.description;
    EXPECT_EQ(g.world.Get_GroupList().size(), 1u);
}

TEST(World, ListCopiesShareTheRecords) {
    const ReadResult r = ReadWorld(scenewriter::WriteScene(*scenewriter::MakeDemoWorld()));
    ASSERT_EQ(r.error.number, 0);
    auto copy = r.world.Get_MaterialList();
    copy[0]->stateBitmapHandle = 42;
    copy.clear();
    EXPECT_EQ(r.world.View_MaterialList()[0]->stateBitmapHandle, 42);
    // A record handed out outlives its world (the records of one list share a block; ASan checks this).
    std::shared_ptr<p3dTri> kept;
    std::int32_t expected = 0;
    {
        const ReadResult local = ReadWorld(scenewriter::WriteScene(*scenewriter::MakeDemoWorld()));
        kept = local.world.View_MeshGeomList()[0]->Get_TriList()[3];
        expected = kept->iVert3;
    }
    EXPECT_EQ(kept->iVert3, expected);
}

}  // namespace
}  // namespace imp_kzv::testing
