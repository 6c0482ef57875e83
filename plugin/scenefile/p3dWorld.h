// The root record: the whole scene file. Holds the header texts, the background colour and the eight
// lists of the scene; every other record is reached from here.
//
// Ownership: the world owns its records through its lists; Get_ accessors return copies of the lists
// that share the records, View_ accessors a reference for walks inside the plug-in. Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scenefile/MultiMaterial.h"
#include "scenefile/meshGeom.h"
#include "scenefile/p3dCamera.h"
#include "scenefile/p3dGroup.h"
#include "scenefile/p3dLight.h"
#include "scenefile/p3dMaterial.h"
#include "scenefile/p3dMesh.h"
#include "scenefile/p3dPt3D.h"
#include "scenefile/p3dTrack.h"
#include "scenefile/scene_reader.h"

namespace imp_kzv {

class p3dWorld {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dWorld";

    std::string strFileFormat;
    std::string strVersion;
    std::shared_ptr<p3dPt3D> bkgColor;

    // Reads the whole scene file: the two texts, the background colour, then the counted lists of
    // materials, multi-materials, cameras, mesh geometries, mesh instances, groups, lights and tracks.
    // Bytes after the track list are not read. On failure the records read so far stay in the lists
    // (the record whose read failed included) and the error is raised by the record that met it.
    void Read(SceneReader& file);
    // The number of mesh instances (0 for an empty list).
    std::int32_t Get_MeshListCount() const noexcept;

    std::vector<std::shared_ptr<p3dMaterial>> Get_MaterialList() const { return MaterialList; }
    std::vector<std::shared_ptr<p3dCamera>> Get_CameraList() const { return CameraList; }
    std::vector<std::shared_ptr<p3dMesh>> Get_MeshList() const { return MeshList; }
    std::vector<std::shared_ptr<p3dGroup>> Get_GroupList() const { return GroupList; }
    std::vector<std::shared_ptr<p3dLight>> Get_LightList() const { return LightList; }
    std::vector<std::shared_ptr<p3dTrack>> Get_TrackList() const { return TrackList; }
    std::vector<std::shared_ptr<MultiMaterial>> Get_MultiMatList() const { return MultiMatList; }
    std::vector<std::shared_ptr<meshGeom>> Get_MeshGeomList() const { return MeshGeomList; }

    const std::vector<std::shared_ptr<p3dMaterial>>& View_MaterialList() const noexcept {
        return MaterialList;
    }
    const std::vector<std::shared_ptr<p3dCamera>>& View_CameraList() const noexcept { return CameraList; }
    const std::vector<std::shared_ptr<p3dMesh>>& View_MeshList() const noexcept { return MeshList; }
    const std::vector<std::shared_ptr<p3dGroup>>& View_GroupList() const noexcept { return GroupList; }
    const std::vector<std::shared_ptr<p3dLight>>& View_LightList() const noexcept { return LightList; }
    const std::vector<std::shared_ptr<p3dTrack>>& View_TrackList() const noexcept { return TrackList; }
    const std::vector<std::shared_ptr<MultiMaterial>>& View_MultiMatList() const noexcept {
        return MultiMatList;
    }
    const std::vector<std::shared_ptr<meshGeom>>& View_MeshGeomList() const noexcept { return MeshGeomList; }

    void Set_MaterialList(std::vector<std::shared_ptr<p3dMaterial>> list) { MaterialList = std::move(list); }
    void Set_CameraList(std::vector<std::shared_ptr<p3dCamera>> list) { CameraList = std::move(list); }
    void Set_MeshList(std::vector<std::shared_ptr<p3dMesh>> list) { MeshList = std::move(list); }
    void Set_GroupList(std::vector<std::shared_ptr<p3dGroup>> list) { GroupList = std::move(list); }
    void Set_LightList(std::vector<std::shared_ptr<p3dLight>> list) { LightList = std::move(list); }
    void Set_TrackList(std::vector<std::shared_ptr<p3dTrack>> list) { TrackList = std::move(list); }
    void Set_MultiMatList(std::vector<std::shared_ptr<MultiMaterial>> list) {
        MultiMatList = std::move(list);
    }
    void Set_MeshGeomList(std::vector<std::shared_ptr<meshGeom>> list) { MeshGeomList = std::move(list); }

  private:
    std::vector<std::shared_ptr<MultiMaterial>> MultiMatList;
    std::vector<std::shared_ptr<meshGeom>> MeshGeomList;
    std::vector<std::shared_ptr<p3dMaterial>> MaterialList;
    std::vector<std::shared_ptr<p3dCamera>> CameraList;
    std::vector<std::shared_ptr<p3dMesh>> MeshList;
    std::vector<std::shared_ptr<p3dGroup>> GroupList;
    std::vector<std::shared_ptr<p3dLight>> LightList;
    std::vector<std::shared_ptr<p3dTrack>> TrackList;
};

}  // namespace imp_kzv
