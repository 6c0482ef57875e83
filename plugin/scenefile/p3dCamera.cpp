#include "scenefile/p3dCamera.h"

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

float p3dCamera::DegreesFromFileRadians(float radians) noexcept {
    // The divisor is this decimal constant (3.1e-15 below pi), not M_PI: with it the single nearest pi/2
    // reads as exactly 90 degrees, as scene files expect.
    return static_cast<float>(static_cast<double>(radians) * 180.0 / 3.14159265358979);
}

void p3dCamera::Read(SceneReader& file) {
    record_io::GuardMemory(file, "camera", kSource, [&] {
        name = ReadString(file, "camera name");
        p3dTransMatrix = record_io::ReadTransMatrix(file, "camera matrix", kSource);
        fov = DegreesFromFileRadians(file.read_float32("camera field of view", kSource));
        nearRange = file.read_float32("camera near range", kSource);
        farRange = file.read_float32("camera far range", kSource);
    });
}

}  // namespace imp_kzv
