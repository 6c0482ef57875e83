#include "scenefile/p3dTrack.h"

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

void p3dTrack::Read(SceneReader& file) {
    record_io::GuardMemory(file, "track", kSource, [&] {
        name = ReadString(file, "track name");
        const record_io::ListInfo info{"track point", p3dPt3D::kEncodedSize, kSource};
        const std::uint64_t at = file.offset();
        const std::int32_t count = file.read_int32("track point count", kSource);
        // Unlike every other list, a track's point list has no empty form: 0 is as invalid as -1.
        if (count < 1) {
            record_io::RaiseInvalidSize("track point count", count, at,
                                        "is less than 1: a track needs at least one point", kSource);
        }
        record_io::CheckCountFits(file, count, at, info);
        record_io::ReadRecords(PointList, count, [&](p3dPt3D& point) { point.Read(file, "track point"); });
        cyclic = ReadBoolean(file, "track cyclic flag");
    });
}

}  // namespace imp_kzv
