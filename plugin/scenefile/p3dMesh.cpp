#include "scenefile/p3dMesh.h"

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

std::array<double, 16> p3dMesh::Get_p3dTransMatrix_16_dbl() const noexcept {
    std::array<double, 16> m{};
    for (std::size_t r = 0; r < 4; ++r) {
        for (std::size_t c = 0; c < 3; ++c) m[4 * r + c] = p3dTransMatrix[r][c];
    }
    m[15] = 1.0;
    return m;
}

DoubleArray4x4 p3dMesh::Get_p3dTransMatrix_4x4_dbl() const noexcept {
    DoubleArray4x4 m;
    for (std::size_t r = 0; r < 4; ++r) {
        for (std::size_t c = 0; c < 3; ++c) m(r, c) = p3dTransMatrix[r][c];
    }
    m(3, 3) = 1.0;
    return m;
}

void p3dMesh::Read(SceneReader& file) {
    record_io::GuardMemory(file, "mesh instance", kSource, [&] {
        name = ReadString(file, "mesh instance name");
        iMeshGeom = file.read_int32("mesh instance geometry index", kSource);
        iMultiMat = file.read_int32("mesh instance multi-material index", kSource);
        p3dTransMatrix = record_io::ReadTransMatrix(file, "mesh instance matrix", kSource);
    });
}

}  // namespace imp_kzv
