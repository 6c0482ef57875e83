#include "scenefile/meshGeom.h"

#include "scenefile/record_io.h"

namespace imp_kzv {

using record_io::ListInfo;
using record_io::ReadRecordList;

void meshGeom::Read(SceneReader& file) {
    record_io::GuardMemory(file, "mesh geometry", kSource, [&] {
        ReadVertices(file);
        ReadRecordList(file, TexCoordsList, ListInfo{"texture coordinate", p3dPt2D::kEncodedSize, kSource},
                       [&](p3dPt2D& tc) { tc.Read(file, "texture coordinate"); });
        ReadRecordList(file, TexCoords2list,
                       ListInfo{"second texture coordinate", p3dPt2D::kEncodedSize, kSource},
                       [&](p3dPt2D& tc) { tc.Read(file, "second texture coordinate"); });
        ReadRecordList(file, TriList, ListInfo{"triangle", p3dTri::kEncodedSize, kSource},
                       [&](p3dTri& tri) { tri.Read(file); });
        ReadRecordList(file, ColorList, ListInfo{"vertex colour", p3dPt3D::kEncodedSize, kSource},
                       [&](p3dPt3D& colour) { colour.Read(file, "vertex colour"); });
    });
}

void meshGeom::ReadVertices(SceneReader& file) {
    VertexList.clear();
    const std::int32_t count = record_io::ReadListCount(file, {"vertex", record_io::kVertMinBytes, kSource});
    // Positions and normals come from shared blocks too: a vertex costs no allocation of its own.
    const auto n = static_cast<std::size_t>(count);
    RecordArena<p3dPt3D> positions;
    positions.reserve(n, n);
    RecordArena<p3dPt3D> normals;
    std::size_t left = n;
    VertexList.Read(n, [&](p3dVert& vertex) {
        // Errors inside the vertex belong to p3dVert, whose Read this is; out of memory included.
        record_io::GuardMemory(file, "vertex", p3dVert::kSource,
                               [&] { vertex.Read(file, positions.next(), normals, left--); });
    });
}

}  // namespace imp_kzv
