// A triangle: for each corner the positions of its vertex, normal, first and second texture coordinate
// and colour in the geometry's lists (-1 = none where a list allows it), and the material slot.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scenefile/scene_reader.h"

namespace imp_kzv {

class p3dTri {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dTri";
    static constexpr std::size_t kEncodedSize = 64;

    std::int32_t iVert1 = 0;
    std::int32_t iVert2 = 0;
    std::int32_t iVert3 = 0;
    std::int32_t iN1 = 0;  // in the NormalList of the corner's vertex
    std::int32_t iN2 = 0;
    std::int32_t iN3 = 0;
    std::int32_t iMat = 0;  // slot in the mesh instance's multi-material
    std::int32_t iTC1 = 0;
    std::int32_t iTC2 = 0;
    std::int32_t iTC3 = 0;
    std::int32_t iTCs1 = 0;
    std::int32_t iTCs2 = 0;
    std::int32_t iTCs3 = 0;
    std::int32_t iVC1 = 0;
    std::int32_t iVC2 = 0;
    std::int32_t iVC3 = 0;

    // Sixteen int32 in member order.
    void Read(SceneReader& file) {
        const std::byte* p = file.take(kEncodedSize, "triangle", kSource);
        Set_Fields({le::i32(p), le::i32(p + 4), le::i32(p + 8), le::i32(p + 12), le::i32(p + 16),
                    le::i32(p + 20), le::i32(p + 24), le::i32(p + 28), le::i32(p + 32), le::i32(p + 36),
                    le::i32(p + 40), le::i32(p + 44), le::i32(p + 48), le::i32(p + 52), le::i32(p + 56),
                    le::i32(p + 60)});
    }

    // The sixteen members in member order (the file order), for writers and dumps.
    std::array<std::int32_t, 16> Get_Fields() const noexcept {
        return {iVert1, iVert2, iVert3, iN1,   iN2,   iN3,  iMat, iTC1,
                iTC2,   iTC3,   iTCs1,  iTCs2, iTCs3, iVC1, iVC2, iVC3};
    }
    void Set_Fields(const std::array<std::int32_t, 16>& f) noexcept {
        iVert1 = f[0], iVert2 = f[1], iVert3 = f[2];
        iN1 = f[3], iN2 = f[4], iN3 = f[5];
        iMat = f[6];
        iTC1 = f[7], iTC2 = f[8], iTC3 = f[9];
        iTCs1 = f[10], iTCs2 = f[11], iTCs3 = f[12];
        iVC1 = f[13], iVC2 = f[14], iVC3 = f[15];
    }
};

}  // namespace imp_kzv
