// A track: a named path of at least one point, open or closed (cyclic).
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

class p3dTrack {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dTrack";

    std::string name;
    std::int16_t cyclic = 0;

    std::vector<std::shared_ptr<p3dPt3D>> Get_PointList() const { return PointList; }
    const std::vector<std::shared_ptr<p3dPt3D>>& View_PointList() const noexcept { return PointList; }
    void Set_PointList(std::vector<std::shared_ptr<p3dPt3D>> list) { PointList = std::move(list); }
    // File order: name, point count n (at least 1: the list has no empty form), n points, cyclic flag.
    void Read(SceneReader& file);

  private:
    std::vector<std::shared_ptr<p3dPt3D>> PointList;
};

}  // namespace imp_kzv
