#include "scenefile/p3dVert.h"

#include <algorithm>

#include "scenefile/record_io.h"

namespace imp_kzv {

namespace {

// Normals of the following vertices come from blocks of at least this many points, or one normal for
// each vertex left in the list if that is more (fewer near the end of the file, so that a small file
// never causes a large allocation).
constexpr std::size_t kNormalBlockPoints = 4096;

}  // namespace

void p3dVert::Read(SceneReader& file) {
    record_io::GuardMemory(file, "vertex", kSource, [&] {
        RecordArena<p3dPt3D> normals;
        Read(file, std::make_shared<p3dPt3D>(), normals);
    });
}

void p3dVert::Read(SceneReader& file, std::shared_ptr<p3dPt3D> position, RecordArena<p3dPt3D>& normals,
                   std::size_t vertices_left) {
    loc = std::move(position);
    loc->Read(file, "vertex position");
    NormalList.clear();
    const std::int32_t count =
        record_io::ReadListCount(file, {"vertex normal", p3dPt3D::kEncodedSize, kSource});
    if (count == 0) return;
    const auto n = static_cast<std::size_t>(count);
    std::shared_ptr<p3dPt3D> first = normals.take(
        n, std::min(std::max(kNormalBlockPoints, vertices_left), file.remaining() / p3dPt3D::kEncodedSize));
    NormalList.ReadInto(std::move(first), n, [&](p3dPt3D& normal) { normal.Read(file, "vertex normal"); });
}

}  // namespace imp_kzv
