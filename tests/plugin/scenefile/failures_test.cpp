// Damaged files: every failure is raised at once, by the record that meets it, with a number and a
// description that says what was read where; counts never allocate more than the file could fill.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "allocation_probe.h"
#include "test_support.h"

namespace imp_kzv::testing {
namespace {

enum WorldList { kMaterials, kMultiMats, kCameras, kGeometries, kMeshes, kGroups, kLights, kTracks };

// A world whose list `list` holds one record written by `record`; every other list is empty.
std::vector<std::byte> WorldWith(WorldList list, const std::function<void(ByteWriter&)>& record) {
    ByteWriter w;
    WorldHeader(w);
    for (int i = 0; i < 8; ++i) {
        if (i != list) {
            w.int32(0);
            continue;
        }
        w.int32(1);
        record(w);
    }
    return w.take();
}

void Group(ByteWriter& w, std::int32_t child_count, std::int32_t user_data_len) {
    w.raw_text("g")
        .int32(child_count)
        .int32(0)
        .int32(0)
        .int32(0)
        .int32(0)
        .zeros(48 + 12)
        .int32(user_data_len);
}

void Geometry(ByteWriter& w, std::int32_t vertices, std::int32_t normals, std::int32_t triangles) {
    w.int32(vertices);
    if (vertices > 0) w.point3(0, 0, 0).int32(normals);
    w.int32(0).int32(0).int32(triangles);
}

struct FailureCase {
    const char* name;
    std::vector<std::byte> bytes;
    std::int32_t number;
    std::string source;
    std::string description;  // the whole description, or its start when it ends with "..."
};

std::vector<FailureCase> FailureCases() {
    const auto world_count = [](WorldList list, std::int32_t count) {
        ByteWriter w;
        WorldHeader(w);
        for (int i = 0; i < 8; ++i) w.int32(i == list ? count : 0);
        return w.take();
    };
    ByteWriter truncated_camera;
    // Long enough for the camera count check (64 bytes), too short for the camera: the file ends in the fov.
    WorldHeader(truncated_camera).int32(0).int32(0).int32(1).raw_text("cccccccccc").zeros(50);
    return {
        {"negative material count", world_count(kMaterials, -1), 9, "Imp_KZV.p3dWorld",
         "Subscript out of range: the material count -1 at byte 20 is negative: a list cannot have a "
         "negative "
         "size"},
        {"huge track count", world_count(kTracks, 2147483647), 62, "Imp_KZV.p3dWorld",
         "Input past end of file: the track count 2147483647 at byte 48 needs at least 45097156587 bytes, 0 "
         "left"},
        {"huge group count", world_count(kGroups, 1000), 62, "Imp_KZV.p3dWorld",
         "Input past end of file: ..."},
        {"negative vertex count", WorldWith(kGeometries, [](ByteWriter& w) { Geometry(w, -5, 0, 0); }), 9,
         "Imp_KZV.meshGeom", "Subscript out of range: the vertex count -5 at byte 36 ..."},
        {"negative normal count", WorldWith(kGeometries, [](ByteWriter& w) { Geometry(w, 1, -1, 0); }), 9,
         "Imp_KZV.p3dVert", "Subscript out of range: the vertex normal count -1 at byte 52 ..."},
        {"huge triangle count", WorldWith(kGeometries, [](ByteWriter& w) { Geometry(w, 0, 0, 0x40000000); }),
         62, "Imp_KZV.meshGeom", "Input past end of file: the triangle count 1073741824 at byte 48 ..."},
        {"negative child group count", WorldWith(kGroups, [](ByteWriter& w) { Group(w, -1, 0); }), 9,
         "Imp_KZV.p3dGroup", "Subscript out of range: the child group count -1 ..."},
        {"user data length -1", WorldWith(kGroups, [](ByteWriter& w) { Group(w, 0, -1); }), 9,
         "Imp_KZV.p3dGroup", "Subscript out of range: the group user data length -1 at byte 129 ..."},
        {"user data length -7", WorldWith(kGroups, [](ByteWriter& w) { Group(w, 0, -7); }), 9,
         "Imp_KZV.p3dGroup", "Subscript out of range: the group user data length -7 ..."},
        {"user data past the end", WorldWith(kGroups, [](ByteWriter& w) { Group(w, 0, 2147483647); }), 62,
         "Imp_KZV.p3dGroup",
         "Input past end of file: the group user data block at byte 133 needs 2147483648 bytes, 8 left"},
        {"track without points",
         WorldWith(kTracks, [](ByteWriter& w) { w.raw_text("t").int32(0).point3(0, 0, 0).byte(0); }), 9,
         "Imp_KZV.p3dTrack",
         "Subscript out of range: the track point count 0 at byte 57 is less than 1: a track needs at least "
         "one "
         "point"},
        {"negative track point count",
         WorldWith(kTracks, [](ByteWriter& w) { w.raw_text("t").int32(-3).point3(0, 0, 0).byte(0); }), 9,
         "Imp_KZV.p3dTrack", "Subscript out of range: the track point count -3 ..."},
        {"negative excluded mesh count",
         WorldWith(kLights, [](ByteWriter& w) { w.raw_text("").zeros(36).int32(-2); }), 9, "Imp_KZV.p3dLight",
         "Subscript out of range: the excluded mesh count -2 ..."},
        {"negative multi-material count", WorldWith(kMultiMats, [](ByteWriter& w) { w.int32(-1); }), 9,
         "Imp_KZV.MultiMaterial", "Subscript out of range: the material index count -1 ..."},
        {"huge material name", WorldWith(kMaterials, [](ByteWriter& w) { w.int32(2000000000).zeros(90); }),
         62, "Imp_KZV", "Input past end of file: the material name (2000000000 characters) at byte 28 ..."},
        {"truncated camera", truncated_camera.take(), 62, "Imp_KZV.p3dCamera",
         "Input past end of file: the camera field of view at byte 94 needs 4 bytes, 2 left"},
    };
}

TEST(DamagedFile, FailsAtOnceWithNumberSourceAndPlace) {
    for (const FailureCase& c : FailureCases()) {
        ResetLargestAllocation();
        const ReadResult r = ReadWorld(c.bytes);
        EXPECT_EQ(r.error.number, c.number) << c.name << ": " << r.error.description;
        EXPECT_EQ(r.error.source, c.source) << c.name;
        const std::string_view expected = c.description;
        if (expected.ends_with("...")) {
            EXPECT_TRUE(r.error.description.starts_with(expected.substr(0, expected.size() - 3)))
                << c.name << ": " << r.error.description;
        } else {
            EXPECT_EQ(r.error.description, expected) << c.name;
        }
        EXPECT_LT(LargestAllocation(), 64u * 1024) << c.name << ": a damaged count allocated";
    }
}

TEST(DamagedFile, RecordsReadBeforeTheFailureStayInTheWorld) {
    ByteWriter w;
    WorldHeader(w);
    w.int32(0).int32(3).int32(1).int32(4).int32(1).int32(7).int32(
        -9);  // two good multi-materials, then a bad count
    const ReadResult r = ReadWorld(w.data());
    EXPECT_EQ(r.error.number, 9);
    ASSERT_EQ(r.world.View_MultiMatList().size(), 3u) << "the two read and the one that failed";
    EXPECT_EQ(r.world.View_MultiMatList()[0]->Get_iMatIndxList(), (std::vector<std::int32_t>{4}));
    EXPECT_EQ(r.world.View_MultiMatList()[1]->Get_iMatIndx(0), 7);
    EXPECT_EQ(r.world.View_MultiMatList()[2]->GetMatCount(), 0);
    EXPECT_TRUE(r.world.View_CameraList().empty());

    // Inside a geometry: the vertices read so far stay in its list.
    const auto bytes = WorldWith(kGeometries, [](ByteWriter& g) {
        g.int32(3).point3(1, 1, 1).int32(0).point3(2, 2, 2).int32(1).point3(0, 0, 1).point3(3, 3, 3);
    });
    const ReadResult partial = ReadWorld(bytes);
    EXPECT_EQ(partial.error.number, 62);
    ASSERT_EQ(partial.world.View_MeshGeomList().size(), 1u);
    const auto& verts = partial.world.View_MeshGeomList()[0]->View_VertexList();
    ASSERT_EQ(verts.size(), 3u);
    EXPECT_EQ(verts[1]->View_NormalList()[0]->z, 1);
    EXPECT_EQ(verts[2]->loc->x, 3);
}

// Every prefix of a valid file is a file that ends too early: it fails with number 62, says where, and
// allocates no more than a small multiple of its own size.
void ExpectEveryPrefixFailsCleanly(const std::vector<std::byte>& bytes, const std::string& name) {
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        ResetLargestAllocation();
        const ReadResult r = ReadWorld({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)});
        ASSERT_EQ(r.error.number, 62) << name << " cut at " << length << ": " << r.error.description;
        ASSERT_TRUE(r.error.description.starts_with("Input past end of file: the ")) << r.error.description;
        ASSERT_NE(r.error.description.find(" at byte "), std::string::npos) << r.error.description;
        ASSERT_LE(LargestAllocation(), 8 * length + 4096) << name << " cut at " << length;
    }
}

TEST(Truncation, EveryPrefixOfTheDemoFailsCleanly) {
    ExpectEveryPrefixFailsCleanly(scenewriter::WriteScene(*scenewriter::MakeDemoWorld()), "demo");
}

TEST(Truncation, EveryPrefixOfRandomScenesFailsCleanly) {
    for (std::uint32_t seed = 1; seed <= 25; ++seed) {
        ExpectEveryPrefixFailsCleanly(scenewriter::WriteScene(*scenewriter::MakeRandomWorld(seed)),
                                      "seed " + std::to_string(seed));
    }
}

TEST(OpenFile, FailuresNameThePathAndCarryTheCallersSource) {
    const auto dir = std::filesystem::temp_directory_path() / "kzv_open_test";
    std::filesystem::create_directories(dir);
    const std::string missing = (dir / "missing.KZV").string();
    const ErrorValue not_found = ErrorOf([&] { SceneReader::open_file(missing, "Imp_KZV.clsPlugin"); });
    EXPECT_EQ(not_found.number, 53);
    EXPECT_EQ(not_found.source, "Imp_KZV.clsPlugin");
    EXPECT_NE(not_found.description.find(missing), std::string::npos) << not_found.description;

    const ErrorValue folder = ErrorOf([&] { SceneReader::open_file(dir.string(), "src"); });
    EXPECT_EQ(folder.number, 75);
    EXPECT_NE(folder.description.find(dir.string()), std::string::npos) << folder.description;
    std::filesystem::remove_all(dir);
}

TEST(OpenFile, ReadsPastTheEndAndAfterCloseFailWithTheirNumbers) {
    const auto path = (std::filesystem::temp_directory_path() / "kzv_short.KZV").string();
    const ByteWriter w = EmptyWorld();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(w.data().data()), 50);  // cut short
    SceneReader file = SceneReader::open_file(path, "src", 64);
    EXPECT_EQ(file.remaining(), 50u);
    p3dWorld world;
    const ErrorValue e = ErrorOf([&] { world.Read(file); });
    EXPECT_EQ(e.number, 62);
    EXPECT_EQ(e.description, "Input past end of file: the track count at byte 48 needs 4 bytes, 2 left");
    file.close();
    EXPECT_EQ(ErrorOf([&] { file.read_int32("value", "src"); }).number, 52);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace imp_kzv::testing
