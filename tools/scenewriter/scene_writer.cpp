#include "scenewriter/scene_writer.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <stdexcept>

#include "scenefile/windows1252.h"

namespace imp_kzv::scenewriter {

namespace {

void write_flag(ByteWriter& out, std::int16_t flag) {
    out.byte(flag != 0 ? 1 : 0);
}

void write_int_list(ByteWriter& out, const std::vector<std::int32_t>& list) {
    out.int32(static_cast<std::int32_t>(list.size()));
    for (const std::int32_t v : list) out.int32(v);
}

template <class T>
void write_record_list(ByteWriter& out, const std::vector<std::shared_ptr<T>>& list) {
    out.int32(static_cast<std::int32_t>(list.size()));
    for (const auto& record : list) Write(out, record ? *record : T{});
}
template <class T>
void write_record_list(ByteWriter& out, const RecordList<T>& list) {
    out.int32(static_cast<std::int32_t>(list.size()));
    for (const T* record : list) Write(out, record ? *record : T{});
}

}  // namespace

void WriteText(ByteWriter& out, std::string_view utf8) {
    const std::optional<std::string> bytes = Utf8ToWindows1252(utf8);
    if (!bytes)
        throw std::invalid_argument("text is not representable in windows-1252: " + std::string(utf8));
    out.raw_text(*bytes);
}

void WritePoint(ByteWriter& out, const std::shared_ptr<p3dPt3D>& point) {
    Write(out, point ? *point : p3dPt3D{});
}

void WriteMatrix(ByteWriter& out, const TransMatrix& m) {
    for (const auto& row : m) {
        for (const float cell : row) out.float32(cell);
    }
}

void Write(ByteWriter& out, const p3dPt3D& point) {
    out.point3(point.x, point.y, point.z);
}

void Write(ByteWriter& out, const p3dPt2D& point) {
    out.point2(point.x, point.y);
}

void Write(ByteWriter& out, const p3dMaterial& m) {
    WriteText(out, m.name);
    WritePoint(out, m.ambient);
    WritePoint(out, m.diffuse);
    WritePoint(out, m.specular);
    out.float32(m.shininess).float32(m.transparency);
    write_flag(out, m.twoSided);
    WritePoint(out, m.emission);
    write_flag(out, m.textureUsed);
    WriteText(out, m.textureName);
    write_flag(out, m.mipMapsUsed);
    write_flag(out, m.alphaMapUsed);
    WriteText(out, m.alphaMapName);
    write_flag(out, m.texture2Used);
    WriteText(out, m.texture2Name);
    out.float32(m.tileX).float32(m.tileY);
}

void Write(ByteWriter& out, const MultiMaterial& multi) {
    write_int_list(out, multi.View_iMatIndxList());
}

void Write(ByteWriter& out, const p3dCamera& camera) {
    WriteText(out, camera.name);
    WriteMatrix(out, camera.Get_p3dTransMatrix());
    out.float32(FovRadiansFor(camera.fov)).float32(camera.nearRange).float32(camera.farRange);
}

void Write(ByteWriter& out, const p3dVert& vertex) {
    WritePoint(out, vertex.loc);
    write_record_list(out, vertex.View_NormalList());
}

void Write(ByteWriter& out, const p3dTri& tri) {
    for (const std::int32_t v : tri.Get_Fields()) out.int32(v);
}

void Write(ByteWriter& out, const meshGeom& g) {
    write_record_list(out, g.View_VertexList());
    write_record_list(out, g.View_TexCoordsList());
    write_record_list(out, g.View_TexCoords2list());
    write_record_list(out, g.View_TriList());
    write_record_list(out, g.View_ColorList());
}

void Write(ByteWriter& out, const p3dMesh& mesh) {
    WriteText(out, mesh.name);
    out.int32(mesh.iMeshGeom).int32(mesh.iMultiMat);
    WriteMatrix(out, mesh.Get_p3dTransMatrix());
}

void Write(ByteWriter& out, const p3dGroup& group) {
    WriteText(out, group.name);
    write_int_list(out, group.View_iChildGroupList());
    write_int_list(out, group.View_iMeshList());
    write_int_list(out, group.View_iCameraList());
    write_int_list(out, group.View_iLightList());
    write_int_list(out, group.View_iTrackList());
    WriteMatrix(out, group.Get_p3dTransMatrix());
    WritePoint(out, group.pivot);
    out.int32(group.userDataLen);
    // The user data itself is not kept by the reader; zeros stand in for it.
    if (group.userDataLen > 0) out.zeros(static_cast<std::size_t>(group.userDataLen) + 1);
}

void Write(ByteWriter& out, const p3dLight& light) {
    WriteText(out, light.name);
    WritePoint(out, light.loc);
    WritePoint(out, light.color);
    out.float32(light.intensity).float32(light.minDist).float32(light.maxDist);
    write_int_list(out, light.View_iMeshesExcludedList());
}

void Write(ByteWriter& out, const p3dTrack& track) {
    WriteText(out, track.name);
    write_record_list(out, track.View_PointList());
    write_flag(out, track.cyclic);
}

void Write(ByteWriter& out, const p3dWorld& world) {
    WriteText(out, world.strFileFormat);
    WriteText(out, world.strVersion);
    WritePoint(out, world.bkgColor);
    write_record_list(out, world.View_MaterialList());
    write_record_list(out, world.View_MultiMatList());
    write_record_list(out, world.View_CameraList());
    write_record_list(out, world.View_MeshGeomList());
    write_record_list(out, world.View_MeshList());
    write_record_list(out, world.View_GroupList());
    write_record_list(out, world.View_LightList());
    write_record_list(out, world.View_TrackList());
}

std::vector<std::byte> WriteScene(const p3dWorld& world) {
    ByteWriter out;
    Write(out, world);
    return out.take();
}

void WriteSceneFile(const p3dWorld& world, const std::string& path) {
    const std::vector<std::byte> bytes = WriteScene(world);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

float FovRadiansFor(float degrees) {
    if (!std::isfinite(degrees))
        return std::isnan(degrees) ? std::numeric_limits<float>::quiet_NaN() : degrees;
    // The conversion to degrees multiplies by about 57.3, so neighbouring singles can convert to the same
    // value and some degree values have no single at all: search a few neighbours of the estimate.
    const float estimate = static_cast<float>(static_cast<double>(degrees) * 3.14159265358979 / 180.0);
    float best = estimate;
    double best_error = std::numeric_limits<double>::infinity();
    float candidate = estimate;
    for (int i = 0; i < 4; ++i)
        candidate = std::nextafter(candidate, -std::numeric_limits<float>::infinity());
    for (int i = 0; i < 9; ++i) {
        const double error =
            std::fabs(static_cast<double>(p3dCamera::DegreesFromFileRadians(candidate)) - degrees);
        if (error < best_error) {  // strictly nearer only: of equally near candidates the smallest stays
            best = candidate;
            best_error = error;
        }
        candidate = std::nextafter(candidate, std::numeric_limits<float>::infinity());
    }
    return best;
}

}  // namespace imp_kzv::scenewriter
