// Maps a triangle's material slot to a material of the world's MaterialList.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "scenefile/scene_reader.h"

namespace imp_kzv {

class MultiMaterial {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.MultiMaterial";

    // The world material index at slot `indx`; number 9 when the slot lies outside the list.
    std::int32_t Get_iMatIndx(const std::int32_t& indx) const;
    std::vector<std::int32_t> Get_iMatIndxList() const { return iMatIndxList; }
    const std::vector<std::int32_t>& View_iMatIndxList() const noexcept { return iMatIndxList; }
    void Set_iMatIndxList(std::vector<std::int32_t> list) { iMatIndxList = std::move(list); }
    // A counted list of int32.
    void Read(SceneReader& file);
    // The number of slots; 0 for an empty list.
    std::int32_t GetMatCount() const noexcept;

  private:
    std::vector<std::int32_t> iMatIndxList;
};

}  // namespace imp_kzv
