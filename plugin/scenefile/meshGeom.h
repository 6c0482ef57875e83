// One triangle mesh held as shared lists: vertices (each with its normals), two texture coordinate sets,
// triangles and per-corner colours. Mesh instances refer to it by its position in the world's list.
#pragma once

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "scenefile/p3dPt2D.h"
#include "scenefile/p3dPt3D.h"
#include "scenefile/p3dTri.h"
#include "scenefile/p3dVert.h"
#include "scenefile/record_list.h"
#include "scenefile/scene_reader.h"

namespace imp_kzv {

class meshGeom {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.meshGeom";

    std::vector<std::shared_ptr<p3dVert>> Get_VertexList() const { return VertexList.pointers(); }
    std::vector<std::shared_ptr<p3dPt2D>> Get_TexCoordsList() const { return TexCoordsList.pointers(); }
    std::vector<std::shared_ptr<p3dPt2D>> Get_TexCoords2list() const { return TexCoords2list.pointers(); }
    std::vector<std::shared_ptr<p3dTri>> Get_TriList() const { return TriList.pointers(); }
    std::vector<std::shared_ptr<p3dPt3D>> Get_ColorList() const { return ColorList.pointers(); }

    const RecordList<p3dVert>& View_VertexList() const noexcept { return VertexList; }
    const RecordList<p3dPt2D>& View_TexCoordsList() const noexcept { return TexCoordsList; }
    const RecordList<p3dPt2D>& View_TexCoords2list() const noexcept { return TexCoords2list; }
    const RecordList<p3dTri>& View_TriList() const noexcept { return TriList; }
    const RecordList<p3dPt3D>& View_ColorList() const noexcept { return ColorList; }

    void Set_VertexList(std::vector<std::shared_ptr<p3dVert>> list) {
        VertexList = RecordList<p3dVert>(std::move(list));
    }
    void Set_TexCoordsList(std::vector<std::shared_ptr<p3dPt2D>> list) {
        TexCoordsList = RecordList<p3dPt2D>(std::move(list));
    }
    void Set_TexCoords2list(std::vector<std::shared_ptr<p3dPt2D>> list) {
        TexCoords2list = RecordList<p3dPt2D>(std::move(list));
    }
    void Set_TriList(std::vector<std::shared_ptr<p3dTri>> list) {
        TriList = RecordList<p3dTri>(std::move(list));
    }
    void Set_ColorList(std::vector<std::shared_ptr<p3dPt3D>> list) {
        ColorList = RecordList<p3dPt3D>(std::move(list));
    }

    // Five counted lists in member order: vertices, texture coordinates, second texture coordinates,
    // triangles, colours.
    void Read(SceneReader& file);

  private:
    void ReadVertices(SceneReader& file);

    // Read from a file, each list's records sit side by side in one block (vertex positions and
    // normals in blocks of their own), with no allocation or pointer per record.
    RecordList<p3dVert> VertexList;
    RecordList<p3dPt2D> TexCoordsList;
    RecordList<p3dPt2D> TexCoords2list;
    RecordList<p3dTri> TriList;
    RecordList<p3dPt3D> ColorList;
};

}  // namespace imp_kzv
