// A mesh instance: places one mesh geometry in the scene with its own name, matrix and multi-material.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "scenefile/scene_reader.h"
#include "scenefile/trans_matrix.h"

namespace imp_kzv {

class p3dMesh {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dMesh";

    std::string name;
    std::int32_t iMeshGeom = 0;  // position in the world's MeshGeomList
    std::int32_t iMultiMat = 0;  // position in the world's MultiMatList; -1 = no multi-material

    // The 4 x 4 affine matrix row by row: element 4r + c = M(r, c), elements 3, 7, 11 = 0, 15 = 1.
    std::array<double, 16> Get_p3dTransMatrix_16_dbl() const noexcept;
    // The same matrix as a two-dimensional array: (r, c) = M(r, c), (0..2, 3) = 0, (3, 3) = 1, laid out
    // with its first index varying fastest (see DoubleArray4x4).
    DoubleArray4x4 Get_p3dTransMatrix_4x4_dbl() const noexcept;
    TransMatrix Get_p3dTransMatrix() const noexcept { return p3dTransMatrix; }
    void Set_p3dTransMatrix(const TransMatrix& m) noexcept { p3dTransMatrix = m; }
    // File order: name, iMeshGeom, iMultiMat, matrix (the two indices come before the matrix).
    void Read(SceneReader& file);

  private:
    TransMatrix p3dTransMatrix{};
};

}  // namespace imp_kzv
