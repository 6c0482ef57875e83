// A material: colours, texture flags and names, tile factors, and the host handles of its loaded bitmaps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "scenefile/p3dPt3D.h"
#include "scenefile/scene_reader.h"

namespace imp_kzv {

class p3dMaterial {
  public:
    static constexpr std::string_view kSource = "Imp_KZV.p3dMaterial";

    std::string name;
    std::shared_ptr<p3dPt3D> ambient;
    std::shared_ptr<p3dPt3D> diffuse;  // the colour of the polygons that use the material
    std::shared_ptr<p3dPt3D> specular;
    float shininess = 0;
    float transparency = 0;
    float tileX = 0;  // texture repeat factors; stored last in the file
    float tileY = 0;
    std::int16_t twoSided = 0;
    std::shared_ptr<p3dPt3D> emission;
    std::int16_t textureUsed = 0;
    std::string textureName;  // relative to the folder "Bitmaps\" beside the scene file
    std::int16_t mipMapsUsed = 0;
    std::int16_t alphaMapUsed = 0;
    std::string alphaMapName;
    std::int16_t texture2Used = 0;
    std::string texture2Name;
    // Host handles of the loaded first and second textures (0 = none); not in the file, set by the import.
    std::int32_t stateBitmapHandle = 0;
    std::int32_t stateBitmap2Handle = 0;

    // File order: name, ambient, diffuse, specular, shininess, transparency, twoSided, emission,
    // textureUsed, textureName, mipMapsUsed, alphaMapUsed, alphaMapName, texture2Used, texture2Name,
    // tileX, tileY. Texture names are kept whether or not their flag is set.
    void Read(SceneReader& file);
};

}  // namespace imp_kzv
