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
#include "scenefile/scene_reader.h"

namespace imp_kzv {

class meshGeom {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.meshGeom";

    std::vector<std::shared_ptr<p3dVert>> Get_VertexList() const { return VertexList; }
    std::vector<std::shared_ptr<p3dPt2D>> Get_TexCoordsList() const { return TexCoordsList; }
    std::vector<std::shared_ptr<p3dPt2D>> Get_TexCoords2list() const { return TexCoords2list; }
    std::vector<std::shared_ptr<p3dTri>> Get_TriList() const { return TriList; }
    std::vector<std::shared_ptr<p3dPt3D>> Get_ColorList() const { return ColorList; }

    const std::vector<std::shared_ptr<p3dVert>>& View_VertexList() const noexcept { return VertexList; }
    const std::vector<std::shared_ptr<p3dPt2D>>& View_TexCoordsList() const noexcept { return TexCoordsList; }
    const std::vector<std::shared_ptr<p3dPt2D>>& View_TexCoords2list() const noexcept {
        return TexCoords2list;
    }
    const std::vector<std::shared_ptr<p3dTri>>& View_TriList() const noexcept { return TriList; }
    const std::vector<std::shared_ptr<p3dPt3D>>& View_ColorList() const noexcept { return ColorList; }

    void Set_VertexList(std::vector<std::shared_ptr<p3dVert>> list) { VertexList = std::move(list); }
    void Set_TexCoordsList(std::vector<std::shared_ptr<p3dPt2D>> list) { TexCoordsList = std::move(list); }
    void Set_TexCoords2list(std::vector<std::shared_ptr<p3dPt2D>> list) { TexCoords2list = std::move(list); }
    void Set_TriList(std::vector<std::shared_ptr<p3dTri>> list) { TriList = std::move(list); }
    void Set_ColorList(std::vector<std::shared_ptr<p3dPt3D>> list) { ColorList = std::move(list); }

    // Five counted lists in member order: vertices, texture coordinates, second texture coordinates,
    // triangles, colours.
    void Read(SceneReader& file);

  private:
    void ReadVertices(SceneReader& file);

    std::vector<std::shared_ptr<p3dVert>> VertexList;
    std::vector<std::shared_ptr<p3dPt2D>> TexCoordsList;
    std::vector<std::shared_ptr<p3dPt2D>> TexCoords2list;
    std::vector<std::shared_ptr<p3dTri>> TriList;
    std::vector<std::shared_ptr<p3dPt3D>> ColorList;
};

}  // namespace imp_kzv
