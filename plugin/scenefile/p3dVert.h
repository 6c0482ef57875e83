// A vertex: its position and its own list of normals (any number, zero included); a triangle corner
// picks one normal by position, so one position can carry different normals in different triangles.
// A vertex read from a file keeps its position and normals in blocks that the whole vertex list shares.
#pragma once

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "scenefile/p3dPt3D.h"
#include "scenefile/record_block.h"
#include "scenefile/record_list.h"
#include "scenefile/scene_reader.h"

namespace imp_kzv {

class p3dVert {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dVert";

    std::shared_ptr<p3dPt3D> loc;

    std::vector<std::shared_ptr<p3dPt3D>> Get_NormalList() const { return NormalList.pointers(); }
    const RecordList<p3dPt3D>& View_NormalList() const noexcept { return NormalList; }
    void Set_NormalList(std::vector<std::shared_ptr<p3dPt3D>> list) {
        NormalList = RecordList<p3dPt3D>(std::move(list));
    }
    // File order: position (point3), counted list of normals (point3).
    void Read(SceneReader& file);
    // The same, with the position record given and the normals taken from `normals`, so that a whole
    // vertex list shares a few blocks instead of allocating per vertex (meshGeom uses it). A new block
    // has room for a normal for each of the `vertices_left` vertices of the list, this one included.
    void Read(SceneReader& file, std::shared_ptr<p3dPt3D> position, RecordArena<p3dPt3D>& normals,
              std::size_t vertices_left = 1);

  private:
    RecordList<p3dPt3D> NormalList;
};

}  // namespace imp_kzv
