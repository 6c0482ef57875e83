// A node of the scene hierarchy: its child groups and the mesh instances, cameras, lights and tracks
// under it, by position in the world's lists. Group 0 of the world is the root.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scenefile/p3dPt3D.h"
#include "scenefile/scene_reader.h"
#include "scenefile/trans_matrix.h"

namespace imp_kzv {

class p3dGroup {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dGroup";

    std::string name;
    std::shared_ptr<p3dPt3D> pivot;
    std::int32_t userDataLen = 0;  // the user data itself (userDataLen + 1 bytes in the file) is not kept

    std::vector<std::int32_t> Get_iChildGroupList() const { return iChildGroupList; }
    std::vector<std::int32_t> Get_iMeshList() const { return iMeshList; }
    std::vector<std::int32_t> Get_iCameraList() const { return iCameraList; }
    std::vector<std::int32_t> Get_iLightList() const { return iLightList; }
    std::vector<std::int32_t> Get_iTrackList() const { return iTrackList; }
    TransMatrix Get_p3dTransMatrix() const noexcept { return p3dTransMatrix; }

    const std::vector<std::int32_t>& View_iChildGroupList() const noexcept { return iChildGroupList; }
    const std::vector<std::int32_t>& View_iMeshList() const noexcept { return iMeshList; }
    const std::vector<std::int32_t>& View_iCameraList() const noexcept { return iCameraList; }
    const std::vector<std::int32_t>& View_iLightList() const noexcept { return iLightList; }
    const std::vector<std::int32_t>& View_iTrackList() const noexcept { return iTrackList; }

    void Set_iChildGroupList(std::vector<std::int32_t> list) { iChildGroupList = std::move(list); }
    void Set_iMeshList(std::vector<std::int32_t> list) { iMeshList = std::move(list); }
    void Set_iCameraList(std::vector<std::int32_t> list) { iCameraList = std::move(list); }
    void Set_iLightList(std::vector<std::int32_t> list) { iLightList = std::move(list); }
    void Set_iTrackList(std::vector<std::int32_t> list) { iTrackList = std::move(list); }
    void Set_p3dTransMatrix(const TransMatrix& m) noexcept { p3dTransMatrix = m; }

    // File order: name, five counted int32 lists (child groups, meshes, cameras, lights, tracks), matrix,
    // pivot, user data length L, then L + 1 bytes of user data when L is not 0.
    void Read(SceneReader& file);

  private:
    std::vector<std::int32_t> iChildGroupList;
    std::vector<std::int32_t> iMeshList;
    std::vector<std::int32_t> iCameraList;
    std::vector<std::int32_t> iLightList;
    std::vector<std::int32_t> iTrackList;
    TransMatrix p3dTransMatrix{};
};

}  // namespace imp_kzv
