// Writes sample scenes as glTF into a folder, for the glTF validator: a regular scene with every
// kind of object, a scene full of values that glTF forbids, and an empty one.
// Usage: host_gltf_samples OUTPUT_FOLDER
#include <cmath>
#include <iostream>
#include <limits>

#include "host/gltf/gltf_writer.h"
#include "host/scene/scene_host.h"
#include "scene_driver.h"

namespace fs = std::filesystem;
using namespace kzv::host;
using namespace kzv::host::testing;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

tessavo::Ref<SceneHost> regular_scene(const fs::path& scene_folder) {
    write_test_image(scene_folder / "Bitmaps" / "wood.png", "png");
    write_test_image(scene_folder / "Bitmaps" / "Stone.BMP", "bmp");
    write_test_image(scene_folder / "Bitmaps" / "sub" / "light.jpg", "jpg");
    auto host = SceneHost::create({.scene_folder = scene_folder});
    const std::string bitmaps = scene_folder.string() + "/Bitmaps\\";
    tessavo::Handle wood = 0, stone = 0, lightmap = 0;
    check(host->LoadBitmap(bitmaps + "wood.png", tessavo::kTrue, wood), "LoadBitmap");
    check(host->LoadBitmap(bitmaps + "stone.bmp", tessavo::kTrue, stone), "LoadBitmap");
    check(host->LoadBitmap(bitmaps + "SUB\\Light.jpg", tessavo::kTrue, lightmap), "LoadBitmap");

    tessavo::Handle camera = 0;
    check(host->CreateCamera("Camera01", camera), "CreateCamera");
    check(host->SetCameraPosition(camera, 0, 2, -10), "SetCameraPosition");
    check(host->SetCameraAxes(camera, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}), "SetCameraAxes");
    check(host->SetCameraFov(camera, 60), "SetCameraFov");
    check(host->SetCameraRange(camera, 0.5), "SetCameraRange");
    check(host->SetCameraMode(camera, 1), "SetCameraMode");
    check(host->AddCameraToWorld(camera), "AddCameraToWorld");

    tessavo::Handle light = 0;
    check(host->CreateLight("Light01", {3, 4, -5}, light), "CreateLight");
    check(host->SetLightColor(light, {255, 200, 128}), "SetLightColor");
    check(host->SetLightIntensity(light, 1.5), "SetLightIntensity");
    check(host->SetLightIntensity2(light, 1.5), "SetLightIntensity2");
    check(host->SetLightRange(light, 25), "SetLightRange");
    check(host->AddLightToWorld(light), "AddLightToWorld");

    tessavo::Handle track = 0;
    check(host->CreateTrack("Path", tessavo::kTrue, {0, 0, 0, 1, 0, 0, 1, 0, 1}, 3, track), "CreateTrack");
    check(host->AddTrackToWorld(track), "AddTrackToWorld");

    const tessavo::Handle root = add_group(*host, "Root", 0);
    const tessavo::Handle box = add_group(*host, "Box", root);
    TriangleSpec textured = facing_triangle();
    textured.color = {{200, 180, 160}};
    textured.bitmap = wood;
    textured.bitmap2 = lightmap;
    for (auto& corner : textured.corners) corner.uv2 = {{0.25, 0.75}};
    add_triangle(*host, box, textured);
    TriangleSpec coloured = facing_triangle(3);
    coloured.color = {{306, 20, 0}};  // a diffuse above 1
    coloured.corners[0].color = {{255, 0, 0}};
    coloured.corners[1].color = {{0, 255, 0}};
    add_triangle(*host, box, coloured);
    check(host->SetGroupMatrix(box, {0, 0, -2, 0, 0, 2, 0, 0, 2, 0, 0, 0, 1, 2, 3, 1}), "SetGroupMatrix");

    const tessavo::Handle inner = add_group(*host, "Inner", root);
    const tessavo::Handle mirrored = add_group(*host, "Mirrored", inner);
    TriangleSpec stony = facing_triangle();
    stony.color = {{128, 128, 128}};
    stony.bitmap = stone;
    add_triangle(*host, mirrored, stony);
    check(host->SetGroupMatrix(mirrored, {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}),
          "SetGroupMatrix");
    check(host->AddGroupToWorld(root, 0), "AddGroupToWorld");
    return host;
}

tessavo::Ref<SceneHost> odd_scene() {
    auto host = SceneHost::create();
    const tessavo::Handle root = add_group(*host, "Odd \xFF name", 0);

    const tessavo::Handle sheared = add_group(*host, "Sheared", root);
    TriangleSpec zero_normals = facing_triangle();
    for (auto& corner : zero_normals.corners) corner.normal = {0, 0, 0};
    zero_normals.corners[1].normal = {0, 0, -7};  // not of unit length
    zero_normals.corners[2].uv = {kNaN, kInf};
    zero_normals.color = {{-5, 300, 1000000}};
    add_triangle(*host, sheared, zero_normals);
    check(host->SetGroupMatrix(sheared, {1, 0.5, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}),
          "SetGroupMatrix");
    const tessavo::Handle under_shear = add_group(*host, "UnderShear", sheared);
    add_triangle(*host, under_shear, facing_triangle(2));

    const tessavo::Handle broken = add_group(*host, "Broken", root);
    TriangleSpec nan_position = facing_triangle();
    nan_position.corners[0].position = {kNaN, 0, 0};
    add_triangle(*host, broken, nan_position);
    TriangleSpec huge = facing_triangle();
    huge.corners[0].position = {1e39, 0, 0};  // beyond float range
    add_triangle(*host, broken, huge);
    add_triangle(*host, broken, facing_triangle(1));
    check(host->SetGroupMatrix(broken, {kNaN, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}),
          "SetGroupMatrix");

    const tessavo::Handle flat = add_group(*host, "Flat", root);
    add_triangle(*host, flat, facing_triangle());
    check(host->SetGroupMatrix(flat, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), "SetGroupMatrix");

    // Finite values beyond single precision, which glTF readers hold as floats.
    const tessavo::Handle vast = add_group(*host, "Vast", root);
    add_triangle(*host, vast, facing_triangle());
    check(host->SetGroupMatrix(vast, {1e200, 0, 0, 0, 0, 1e-200, 0, 0, 0, 0, 1, 0, 1e300, 0, 0, 1}),
          "SetGroupMatrix");
    tessavo::Handle far_camera = 0;
    check(host->CreateCamera("Far camera", far_camera), "CreateCamera");
    check(host->SetCameraFov(far_camera, 1e300), "SetCameraFov");
    check(host->SetCameraRange(far_camera, 1e300), "SetCameraRange");
    check(host->AddCameraToWorld(far_camera), "AddCameraToWorld");
    tessavo::Handle bright = 0;
    check(host->CreateLight("Bright", {0, 0, 0}, bright), "CreateLight");
    check(host->SetLightIntensity(bright, 1e300), "SetLightIntensity");
    check(host->SetLightRange(bright, 1e300), "SetLightRange");
    check(host->AddLightToWorld(bright), "AddLightToWorld");

    tessavo::Handle camera = 0;
    check(host->CreateCamera("Odd camera", camera), "CreateCamera");
    check(host->SetCameraAxes(camera, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}), "SetCameraAxes");
    check(host->SetCameraFov(camera, 0), "SetCameraFov");
    check(host->SetCameraRange(camera, -1), "SetCameraRange");
    check(host->AddCameraToWorld(camera), "AddCameraToWorld");
    tessavo::Handle lost_camera = 0;
    check(host->CreateCamera("Lost camera", lost_camera), "CreateCamera");
    check(host->SetCameraPosition(lost_camera, kInf, 0, 0), "SetCameraPosition");
    check(host->AddCameraToWorld(lost_camera), "AddCameraToWorld");

    const std::array<double, 4> intensities{-2, kNaN, 1, 1};
    const std::array<double, 4> ranges{0, -3, kNaN, kInf};
    for (std::size_t i = 0; i < intensities.size(); ++i) {
        tessavo::Handle light = 0;
        check(host->CreateLight("Light" + std::to_string(i), {0, 1, 0}, light), "CreateLight");
        check(host->SetLightIntensity(light, intensities[i]), "SetLightIntensity");
        check(host->SetLightRange(light, ranges[i]), "SetLightRange");
        check(host->AddLightToWorld(light), "AddLightToWorld");
    }

    tessavo::Handle track = 0;
    check(host->CreateTrack("Gappy", tessavo::kFalse, {0, 0, 0, kNaN, 0, 0, 1, 1, 1}, 3, track),
          "CreateTrack");
    check(host->AddTrackToWorld(track), "AddTrackToWorld");
    check(host->CreateTrack("Dot", tessavo::kTrue, {1, 2, 3}, 1, track), "CreateTrack");
    check(host->AddTrackToWorld(track), "AddTrackToWorld");
    check(host->CreateTrack("Nowhere", tessavo::kTrue, {kNaN, 0, 0}, 1, track), "CreateTrack");
    check(host->AddTrackToWorld(track), "AddTrackToWorld");

    check(host->AddGroupToWorld(root, 0), "AddGroupToWorld");
    return host;
}

bool write(const Scene& scene, const fs::path& file, bool convert_axes = true) {
    const WriteOutcome outcome = write_gltf(scene, file, {.convert_axes = convert_axes});
    if (!outcome.ok) {
        std::cerr << file.string() << ": " << outcome.error << '\n';
        return false;
    }
    std::cout << file.string() << '\n';
    for (const std::string& warning : outcome.warnings) std::cout << "  warning: " << warning << '\n';
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " OUTPUT_FOLDER\n";
        return 2;
    }
    const fs::path out = argv[1];
    try {
        fs::create_directories(out);
        auto regular = regular_scene(out / "scene");
        auto odd = odd_scene();
        auto empty = SceneHost::create();
        const bool ok =
            write(regular->scene(), out / "regular.glb") && write(regular->scene(), out / "regular.gltf") &&
            write(regular->scene(), out / "regular-unchanged.glb", false) &&
            write(odd->scene(), out / "odd.glb") && write(odd->scene(), out / "odd-unchanged.glb", false) &&
            write(empty->scene(), out / "empty.glb");
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "host_gltf_samples: " << e.what() << '\n';
        return 1;
    }
}
