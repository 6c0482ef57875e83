#include "scenefile/p3dLight.h"

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

void p3dLight::Read(SceneReader& file) {
    record_io::GuardMemory(file, "light", kSource, [&] {
        name = ReadString(file, "light name");
        loc = std::make_shared<p3dPt3D>();
        loc->Read(file, "light position");
        color = std::make_shared<p3dPt3D>();
        color->Read(file, "light colour");
        intensity = file.read_float32("light intensity", kSource);
        minDist = file.read_float32("light minimum distance", kSource);
        maxDist = file.read_float32("light maximum distance", kSource);
        record_io::ReadInt32List(file, iMeshesExcludedList,
                                 {"excluded mesh", record_io::kInt32Bytes, kSource});
    });
}

}  // namespace imp_kzv
