// The document's JSON, written directly, against what tinygltf's serialiser writes for the same
// model after the writer's own repairs: the two must agree byte for byte, compact and indented.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <limits>
#include <sstream>

#include "host/gltf/gltf_document.h"
#include "host/gltf/json_text.h"
#include "host/scene/scene_host.h"
#include "scene_driver.h"

namespace kzv::host {
namespace {

namespace fs = std::filesystem;
using namespace kzv::host::testing;
using tessavo::Handle;

// What the writer wrote before it wrote JSON itself: tinygltf's text, read back, a buffer entry
// added, null objects made {} and a zero "zfar" left out.
std::string reference_json(const gltf::GltfDocument& document, const std::string& buffer_uri, bool pretty) {
    tinygltf::TinyGLTF serialiser;
    serialiser.SetImageWriter(nullptr, nullptr);
    std::ostringstream text;
    EXPECT_TRUE(serialiser.WriteGltfSceneToStream(&document.model, text, false, false));
    nlohmann::json json = nlohmann::json::parse(text.str());
    if (document.binary_size > 0) {
        nlohmann::json buffer{{"byteLength", document.binary_size}};
        if (!buffer_uri.empty()) buffer["uri"] = buffer_uri;
        json["buffers"] = nlohmann::json::array({buffer});
    }
    for (auto& [key, list] : json.items())
        if (list.is_array())
            for (auto& element : list)
                if (element.is_null()) element = nlohmann::json::object();
    if (const auto cameras = json.find("cameras"); cameras != json.end())
        for (auto& camera : *cameras)
            if (const auto perspective = camera.find("perspective"); perspective != camera.end())
                if (const auto zfar = perspective->find("zfar"); zfar != perspective->end() && *zfar == 0)
                    perspective->erase(zfar);
    return json.dump(pretty ? 2 : -1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Every kind of object and member the writer produces, names that need escapes, and numbers of
// every magnitude.
tessavo::Ref<SceneHost> varied_scene(const fs::path& folder) {
    write_test_image(folder / "Bitmaps" / "a.png", "png");
    write_test_image(folder / "Bitmaps" / "b.jpg", "jpg");
    auto host = SceneHost::create({.scene_folder = folder});
    Handle a = 0, b = 0, camera = 0, light = 0, track = 0;
    check(host->LoadBitmap(folder.string() + "/Bitmaps\\a.png", tessavo::kTrue, a), "LoadBitmap");
    check(host->LoadBitmap(folder.string() + "/Bitmaps\\b.jpg", tessavo::kTrue, b), "LoadBitmap");
    check(host->CreateCamera("Cam \"one\"\t\\", camera), "CreateCamera");
    check(host->SetCameraFov(camera, 1e-30), "SetCameraFov");
    check(host->AddCameraToWorld(camera), "AddCameraToWorld");
    check(host->CreateLight(std::string("L\0ight", 6), {1e21, -2.5e-7, 0}, light), "CreateLight");
    check(host->SetLightColor(light, {1, 128, 255}), "SetLightColor");
    check(host->SetLightRange(light, 123456789.125), "SetLightRange");
    check(host->AddLightToWorld(light), "AddLightToWorld");
    check(host->CreateTrack("", tessavo::kFalse, {0, 0, 0, 1, 2, 3}, 2, track), "CreateTrack");
    check(host->AddTrackToWorld(track), "AddTrackToWorld");

    const Handle root = add_group(*host, "", 0);
    const Handle mesh = add_group(*host, "M\xC3\xA9sh\x01", root);
    check(host->SetGroupMatrix(mesh, translation(0.1, -0.0, 3e-5)), "SetGroupMatrix");
    TriangleSpec t = facing_triangle();
    t.color = {{255, 255, 255}};
    t.bitmap = a;
    t.bitmap2 = b;
    t.corners[0].color = {{1, 2, 3}};
    add_triangle(*host, mesh, t);
    TriangleSpec plain = facing_triangle(5);
    plain.color = {{300, -4, 17}};
    add_triangle(*host, mesh, plain);
    add_triangle(*host, mesh, facing_triangle(9));
    check(host->AddGroupToWorld(root, 0), "AddGroupToWorld");
    return host;
}

TEST(GltfJson, MatchesTinygltfAndItsRepairs) {
    const fs::path folder = unique_temp_path("kzv-host-gltf-json");
    fs::remove_all(folder);
    auto host = varied_scene(folder);
    for (const bool embedded : {true, false}) {
        gltf::GltfDocument document = gltf::build_document(
            host->scene(), {}, embedded ? gltf::ImagePlacement::embedded : gltf::ImagePlacement::external);
        if (!embedded)
            for (std::size_t i = 0; i < document.model.images.size(); ++i)
                document.model.images[i].uri = "x_" + std::to_string(i) + ".png";
        const std::string uri = embedded ? "" : "x.bin";
        for (const bool pretty : {false, true})
            EXPECT_EQ(gltf::document_json(document, uri, pretty), reference_json(document, uri, pretty))
                << "embedded " << embedded << ", pretty " << pretty;
    }
    fs::remove_all(folder);
}

TEST(GltfJson, NumbersAndTextsAsNlohmannWritesThem) {
    const std::vector<double> numbers{0.0,
                                      -0.0,
                                      1.0,
                                      0.1,
                                      1e-45,
                                      123456789012345678.0,
                                      1e21,
                                      1e-5,
                                      1e-4,
                                      -2.5e300,
                                      std::numeric_limits<double>::quiet_NaN()};
    const std::vector<std::string> texts{
        "", "plain", "\"q\" \\ /", std::string("\0\x1f\x7f", 3), "\b\f\n\r\t", "\xE2\x82\xAC"};
    nlohmann::json expected = nlohmann::json::object();
    expected["numbers"] = numbers;
    expected["texts"] = texts;
    expected["empty"] = nlohmann::json::array();
    for (const bool pretty : {false, true}) {
        gltf::JsonText out(pretty);
        out.begin_object();
        out.key("empty");
        out.begin_array();
        out.end_array();
        out.member_array("numbers", numbers);
        out.member_array("texts", texts);
        out.end_object();
        EXPECT_EQ(out.take(), expected.dump(pretty ? 2 : -1, ' ', false)) << "pretty " << pretty;
    }
}

}  // namespace
}  // namespace kzv::host
