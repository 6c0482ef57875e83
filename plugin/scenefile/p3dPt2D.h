// A texture coordinate (x = u, y = v). In the file: point2, two singles.
#pragma once

#include <cstddef>
#include <string_view>

#include "scenefile/scene_reader.h"

namespace imp_kzv {

class p3dPt2D {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dPt2D";
    static constexpr std::size_t kEncodedSize = 8;

    float x = 0;
    float y = 0;

    void Read(SceneReader& file) { Read(file, "texture coordinate"); }
    void Read(SceneReader& file, std::string_view what) {
        const std::byte* p = file.take(kEncodedSize, what, kSource);
        x = le::f32(p);
        y = le::f32(p + 4);
    }
};

}  // namespace imp_kzv
