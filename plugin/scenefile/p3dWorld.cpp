#include "scenefile/p3dWorld.h"

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

namespace {

using record_io::ListInfo;
using record_io::ReadRecordList;

// Reads a counted list of records that read themselves with Read(file).
template <class T>
void ReadWorldList(SceneReader& file, std::vector<std::shared_ptr<T>>& list, const ListInfo& info) {
    ReadRecordList(file, list, info, [&](T& record) { record.Read(file); });
}

}  // namespace

void p3dWorld::Read(SceneReader& file) {
    record_io::GuardMemory(file, "world", kSource, [&] {
        strFileFormat = ReadString(file, "file format name");
        strVersion = ReadString(file, "version");
        bkgColor = std::make_shared<p3dPt3D>();
        bkgColor->Read(file, "background colour");
        ReadWorldList(file, MaterialList, {"material", record_io::kMaterialMinBytes, kSource});
        ReadWorldList(file, MultiMatList, {"multi-material", record_io::kMultiMaterialMinBytes, kSource});
        ReadWorldList(file, CameraList, {"camera", record_io::kCameraMinBytes, kSource});
        ReadWorldList(file, MeshGeomList, {"mesh geometry", record_io::kMeshGeomMinBytes, kSource});
        ReadWorldList(file, MeshList, {"mesh instance", record_io::kMeshMinBytes, kSource});
        ReadWorldList(file, GroupList, {"group", record_io::kGroupMinBytes, kSource});
        ReadWorldList(file, LightList, {"light", record_io::kLightMinBytes, kSource});
        ReadWorldList(file, TrackList, {"track", record_io::kTrackMinBytes, kSource});
    });
}

std::int32_t p3dWorld::Get_MeshListCount() const noexcept {
    return GetUpperBound(MeshList) + 1;
}

}  // namespace imp_kzv
