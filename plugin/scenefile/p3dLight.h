// A light: name, position, colour, intensity, distances, and the mesh instances it leaves out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scenefile/p3dPt3D.h"
#include "scenefile/scene_reader.h"

namespace imp_kzv {

class p3dLight {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dLight";

    std::string name;
    std::shared_ptr<p3dPt3D> loc;
    std::shared_ptr<p3dPt3D> color;
    float intensity = 0;
    float minDist = 0;
    float maxDist = 0;

    // File order: name, position, colour, intensity, minDist, maxDist, counted list of excluded meshes.
    void Read(SceneReader& file);
    std::vector<std::int32_t> Get_iMeshesExcludedList() const { return iMeshesExcludedList; }
    const std::vector<std::int32_t>& View_iMeshesExcludedList() const noexcept { return iMeshesExcludedList; }
    void Set_iMeshesExcludedList(std::vector<std::int32_t> list) { iMeshesExcludedList = std::move(list); }

  private:
    std::vector<std::int32_t> iMeshesExcludedList;
};

}  // namespace imp_kzv
