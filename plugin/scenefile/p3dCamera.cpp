#include "scenefile/p3dCamera.h"

#include <cmath>
#include <limits>
#include <string>

#include "scenefile/globals.h"
#include "scenefile/record_io.h"

namespace imp_kzv {

float p3dCamera::DegreesFromFileRadians(float radians) noexcept {
    // The divisor is this decimal constant (3.1e-15 below pi), not M_PI: with it the single nearest pi/2
    // reads as exactly 90 degrees, as scene files expect.
    const double degrees = static_cast<double>(radians) * 180.0 / 3.14159265358979;
    if (std::isfinite(degrees) && std::fabs(degrees) > std::numeric_limits<float>::max())
        return std::copysign(std::numeric_limits<float>::infinity(), static_cast<float>(radians));
    return static_cast<float>(degrees);
}

void p3dCamera::Read(SceneReader& file) {
    record_io::GuardMemory(file, "camera", kSource, [&] {
        name = ReadString(file, "camera name");
        p3dTransMatrix = record_io::ReadTransMatrix(file, "camera matrix", kSource);
        const float radians = file.read_float32("camera field of view", kSource);
        fov = DegreesFromFileRadians(radians);
        if (std::isinf(fov) && std::isfinite(radians)) {
            raise(Err::Overflow,
                  "the camera field of view " + std::to_string(radians) +
                      " radians is too large for degrees in single precision",
                  std::string(kSource));
        }
        nearRange = file.read_float32("camera near range", kSource);
        farRange = file.read_float32("camera far range", kSource);
    });
}

}  // namespace imp_kzv
