// A point, direction or colour (x red, y green, z blue, each 0 to 1). In the file: point3, three singles.
#pragma once

#include <cstddef>
#include <string_view>

#include "scenefile/scene_reader.h"

namespace imp_kzv {

class p3dPt3D {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dPt3D";
    static constexpr std::size_t kEncodedSize = 12;

    float x = 0;
    float y = 0;
    float z = 0;

    void Read(SceneReader& file) { Read(file, "point"); }
    // `what` names the point in the description of a failure (e.g. "background colour").
    void Read(SceneReader& file, std::string_view what) {
        const std::byte* p = file.take(kEncodedSize, what, kSource);
        x = le::f32(p);
        y = le::f32(p + 4);
        z = le::f32(p + 8);
    }
};

}  // namespace imp_kzv
