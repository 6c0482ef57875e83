#include "scenefile/p3dMaterial.h"

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

void p3dMaterial::Read(SceneReader& file) {
    record_io::GuardMemory(file, "material", kSource, [&] {
        name = ReadString(file, "material name");
        // All four colours exist before any of them reads; one block serves them.
        RecordArena<p3dPt3D> colours;
        colours.reserve(4, 4);
        ambient = colours.next();
        diffuse = colours.next();
        specular = colours.next();
        emission = colours.next();
        ambient->Read(file, "material ambient colour");
        diffuse->Read(file, "material diffuse colour");
        specular->Read(file, "material specular colour");
        shininess = file.read_float32("material shininess", kSource);
        transparency = file.read_float32("material transparency", kSource);
        twoSided = ReadBoolean(file, "material two-sided flag");
        emission->Read(file, "material emission colour");
        textureUsed = ReadBoolean(file, "material texture flag");
        textureName = ReadString(file, "material texture name");
        mipMapsUsed = ReadBoolean(file, "material mip-map flag");
        alphaMapUsed = ReadBoolean(file, "material alpha-map flag");
        alphaMapName = ReadString(file, "material alpha-map name");
        texture2Used = ReadBoolean(file, "material second texture flag");
        texture2Name = ReadString(file, "material second texture name");
        tileX = file.read_float32("material tile factor x", kSource);
        tileY = file.read_float32("material tile factor y", kSource);
    });
}

}  // namespace imp_kzv
