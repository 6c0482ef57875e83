#include "scenefile/p3dGroup.h"

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

using record_io::kInt32Bytes;
using record_io::ReadInt32List;

void p3dGroup::Read(SceneReader& file) {
    record_io::GuardMemory(file, "group", kSource, [&] {
        name = ReadString(file, "group name");
        ReadInt32List(file, iChildGroupList, {"child group", kInt32Bytes, kSource});
        ReadInt32List(file, iMeshList, {"group mesh instance", kInt32Bytes, kSource});
        ReadInt32List(file, iCameraList, {"group camera", kInt32Bytes, kSource});
        ReadInt32List(file, iLightList, {"group light", kInt32Bytes, kSource});
        ReadInt32List(file, iTrackList, {"group track", kInt32Bytes, kSource});
        p3dTransMatrix = record_io::ReadTransMatrix(file, "group matrix", kSource);
        pivot = std::make_shared<p3dPt3D>();
        pivot->Read(file, "group pivot");

        const std::uint64_t at = file.offset();
        userDataLen = file.read_int32("group user data length", kSource);
        // The block is one byte longer than its stored length. Any negative length is an invalid size,
        // -1 too, although its block of L + 1 bytes would be empty.
        if (userDataLen < 0) {
            record_io::RaiseInvalidSize("group user data length", userDataLen, at,
                                        "is negative: the user data cannot have a negative size", kSource);
        }
        if (userDataLen != 0) {
            file.skip(static_cast<std::uint64_t>(userDataLen) + 1, "group user data block", kSource);
        }
    });
}

}  // namespace imp_kzv
