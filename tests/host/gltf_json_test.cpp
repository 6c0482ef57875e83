// The document stage alone: a Document written as JSON and parsed back as values, numbers and texts
// that survive exactly, and a varied scene's files read back with a glTF loader.
#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>

#include "host/gltf/document_json.h"
#include "host/gltf/gltf_writer.h"
#include "host/gltf/json_text.h"
#include "host/output/output_files.h"
#include "host/scene/scene_host.h"
#include "scene_driver.h"

namespace kzv::host {
namespace {

namespace fs = std::filesystem;
using namespace kzv::host::testing;
using nlohmann::json;
using tessavo::Handle;

// One object of every kind the writer makes.
gltf::Document small_document() {
    using namespace gltf;
    Document d;
    d.generator = "test \"gen\"";
    d.buffer_views = {
        {0, 36, ViewTarget::vertices}, {36, 6, ViewTarget::indices}, {44, 10, ViewTarget::none}};
    Accessor positions;
    positions.buffer_view = 0;
    positions.type = ElementType::vec3;
    positions.count = 3;
    positions.min = {-1, 0, 0.5};
    positions.max = {1, 2, 0.5};
    Accessor indices;
    indices.buffer_view = 1;
    indices.component_type = ComponentType::unsigned_short;
    indices.count = 3;
    Accessor colours;
    colours.buffer_view = 0;
    colours.component_type = ComponentType::unsigned_byte;
    colours.type = ElementType::vec4;
    colours.count = 3;
    colours.normalized = true;
    d.accessors = {positions, indices, colours};
    Image image;
    image.name = "wood.png";
    image.mime_type = "image/png";
    image.buffer_view = 2;
    d.images = {image};
    d.textures = {{0}};
    Material red;
    red.name = "#FF0000";
    red.base_color = {1, 0, 0, 1};
    red.base_color_texture = red.occlusion_texture = 0;
    red.double_sided = true;
    Material plain;
    plain.name = "default";
    d.materials = {red, plain};
    Primitive triangles;
    triangles.position = 0;
    triangles.color0 = 2;
    triangles.indices = 1;
    triangles.material = 0;
    Primitive loop;
    loop.mode = PrimitiveMode::line_loop;
    loop.position = 0;
    d.meshes = {{"Box", {triangles}}, {"Path", {loop}}};
    d.cameras = {{"Cam", 0.5, 0.1}};
    d.lights = {{"Lamp", {1, 0.5, 0}, 632.5, 10.0}};
    d.nodes.resize(4);
    d.nodes[0].name = "Box";
    d.nodes[0].mesh = 0;
    d.nodes[0].children = {1, 2};
    d.nodes[0].transform = 0;
    d.transforms.push_back(
        {.translation = {{1, 2, 3}}, .rotation = {{0, 0, 0.6, 0.8}}, .scale = {{2, 2, 2}}});
    d.nodes[1].name = "Cam";
    d.nodes[1].camera = 0;
    d.nodes[2].name = "Lamp";
    d.nodes[2].light = 0;
    d.nodes[3].name = "Path";
    d.nodes[3].mesh = 1;
    d.scene_nodes = {0, 3};
    d.buffer_size = 54;
    return d;
}

TEST(GltfJson, DocumentAsValues) {
    const gltf::Document document = small_document();
    const json compact = json::parse(gltf::document_json(document, "", false));
    const json pretty = json::parse(gltf::document_json(document, "a%20b.bin", true));
    EXPECT_EQ(compact["asset"], json({{"generator", "test \"gen\""}, {"version", "2.0"}}));
    EXPECT_EQ(compact["scene"], 0);
    EXPECT_EQ(compact["scenes"], json::parse(R"([{"nodes":[0,3]}])"));
    EXPECT_EQ(compact["extensionsUsed"], json::array({"KHR_lights_punctual"}));
    EXPECT_EQ(
        compact["extensions"]["KHR_lights_punctual"]["lights"],
        json::parse(R"([{"name":"Lamp","type":"point","color":[1,0.5,0],"intensity":632.5,"range":10}])"));
    EXPECT_EQ(compact["nodes"], json::parse(R"([
        {"name":"Box","mesh":0,"translation":[1,2,3],"rotation":[0,0,0.6,0.8],"scale":[2,2,2],"children":[1,2]},
        {"name":"Cam","camera":0},
        {"name":"Lamp","extensions":{"KHR_lights_punctual":{"light":0}}},
        {"name":"Path","mesh":1}])"));
    EXPECT_EQ(compact["meshes"], json::parse(R"([
        {"name":"Box","primitives":[{"attributes":{"POSITION":0,"COLOR_0":2},"indices":1,"material":0}]},
        {"name":"Path","primitives":[{"attributes":{"POSITION":0},"mode":2}]}])"));
    EXPECT_EQ(compact["materials"], json::parse(R"([
        {"name":"#FF0000","pbrMetallicRoughness":{"baseColorFactor":[1,0,0,1],"baseColorTexture":{"index":0},
         "metallicFactor":0,"roughnessFactor":1},"occlusionTexture":{"index":0,"texCoord":1},"doubleSided":true},
        {"name":"default","pbrMetallicRoughness":{"metallicFactor":0,"roughnessFactor":1}}])"));
    EXPECT_EQ(compact["textures"], json::parse(R"([{"sampler":0,"source":0}])"));
    EXPECT_EQ(compact["samplers"],
              json::parse(R"([{"magFilter":9729,"minFilter":9987,"wrapS":10497,"wrapT":10497}])"));
    EXPECT_EQ(compact["images"],
              json::parse(R"([{"name":"wood.png","bufferView":2,"mimeType":"image/png"}])"));
    EXPECT_EQ(compact["cameras"],
              json::parse(R"([{"name":"Cam","type":"perspective","perspective":{"yfov":0.5,"znear":0.1}}])"));
    EXPECT_EQ(compact["accessors"], json::parse(R"([
        {"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[-1,0,0.5],"max":[1,2,0.5]},
        {"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"},
        {"bufferView":0,"componentType":5121,"normalized":true,"count":3,"type":"VEC4"}])"));
    EXPECT_EQ(compact["bufferViews"], json::parse(R"([
        {"buffer":0,"byteLength":36,"target":34962},
        {"buffer":0,"byteOffset":36,"byteLength":6,"target":34963},
        {"buffer":0,"byteOffset":44,"byteLength":10}])"));
    EXPECT_EQ(compact["buffers"], json::parse(R"([{"byteLength":54}])"));
    EXPECT_EQ(pretty["buffers"], json::parse(R"([{"byteLength":54,"uri":"a%20b.bin"}])"));
    json without_buffers = pretty;
    without_buffers.erase("buffers");
    json compact_without = compact;
    compact_without.erase("buffers");
    EXPECT_EQ(without_buffers, compact_without);
}

TEST(GltfJson, EmptyDocumentHasAnEmptySceneAndNoBuffer) {
    const json empty = json::parse(gltf::document_json(gltf::Document{}, "", false));
    EXPECT_EQ(empty, json::parse(R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{}]})"));
}

// Numbers read back as the very doubles written (NaN, which JSON lacks, as null); texts as the
// very bytes; the indented form is the same JSON.
// The text handed over in pieces as it is made is the whole text, for a document of many pieces.
TEST(GltfJson, TextInPiecesIsTheWholeText) {
    gltf::Document d = small_document();
    for (int i = 0; i < 20'000; ++i) {
        gltf::Node& node = d.nodes.emplace_back();
        node.name = "Node \"" + std::to_string(i) + "\"";
        node.mesh = 0;
    }
    for (const bool pretty : {false, true}) {
        std::string pieces;
        int count = 0;
        const std::size_t size =
            gltf::write_document_json(d, "scene.bin", pretty, [&](std::string_view text) {
                pieces += text;
                ++count;
            });
        EXPECT_EQ(pieces, gltf::document_json(d, "scene.bin", pretty));
        EXPECT_EQ(size, pieces.size());
        EXPECT_GT(count, 5);
    }
}

TEST(GltfJson, NumbersAndTextsSurviveExactly) {
    const std::vector<double> numbers{0.0,
                                      -0.0,
                                      1.0,
                                      0.1,
                                      1e-45,
                                      5e-324,
                                      123456789012345678.0,
                                      1e21,
                                      1e-5,
                                      -2.5e300,
                                      std::numeric_limits<double>::max(),
                                      1.0 / 3.0,
                                      std::numeric_limits<double>::quiet_NaN()};
    const std::vector<std::string> texts{
        "", "plain", "\"q\" \\ /", std::string("\0\x1f\x7f", 3), "\b\f\n\r\t", "\xE2\x82\xAC"};
    for (const bool pretty : {false, true}) {
        gltf::JsonText out(pretty);
        out.begin_object();
        out.key("empty");
        out.begin_array();
        out.end_array();
        out.member_array("numbers", numbers);
        out.member_array("texts", texts);
        out.end_object();
        const std::string text = out.take();
        EXPECT_EQ(text.find('\n') != std::string::npos, pretty);
        const json parsed = json::parse(text);
        EXPECT_EQ(parsed["empty"], json::array());
        ASSERT_EQ(parsed["numbers"].size(), numbers.size());
        // (-0 is written as "-0", which nlohmann::json reads as the integer 0.)
        for (std::size_t i = 0; i + 1 < numbers.size(); ++i)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(parsed["numbers"][i].get<double>()),
                      std::bit_cast<std::uint64_t>(numbers[i] == 0 ? 0.0 : numbers[i]))
                << numbers[i];
        EXPECT_NE(text.find("-0,"), std::string::npos);
        EXPECT_TRUE(parsed["numbers"].back().is_null());
        EXPECT_EQ(parsed["texts"].get<std::vector<std::string>>(), texts);
    }
}

// A scene of every kind of object, names that need escapes included, written as .glb and .gltf
// into memory and loaded back.
TEST(GltfJson, VariedSceneLoadsBack) {
    const fs::path folder = unique_temp_path("kzv-host-gltf-json");
    fs::remove_all(folder);
    write_test_image(folder / "Bitmaps" / "a.png", "png");
    write_test_image(folder / "Bitmaps" / "b.jpg", "jpg");
    auto host = SceneHost::create({.scene_folder = folder});
    Handle a = 0, b = 0, camera = 0, light = 0, track = 0;
    check(host->LoadBitmap(folder.string() + "/Bitmaps\\a.png", tessavo::kTrue, a), "LoadBitmap");
    check(host->LoadBitmap(folder.string() + "/Bitmaps\\b.jpg", tessavo::kTrue, b), "LoadBitmap");
    check(host->CreateCamera("Cam \"one\"\t\\", camera), "CreateCamera");
    check(host->AddCameraToWorld(camera), "AddCameraToWorld");
    check(host->CreateLight("Lamp", {1e21, -2.5e-7, 0}, light), "CreateLight");
    check(host->SetLightRange(light, 123456789.125), "SetLightRange");
    check(host->AddLightToWorld(light), "AddLightToWorld");
    check(host->CreateTrack("", tessavo::kFalse, {0, 0, 0, 1, 2, 3}, 2, track), "CreateTrack");
    check(host->AddTrackToWorld(track), "AddTrackToWorld");
    const Handle root = add_group(*host, "", 0);
    const Handle mesh = add_group(*host, "M\xC3\xA9sh\x01", root);
    TriangleSpec t = facing_triangle();
    t.bitmap = a;
    t.bitmap2 = b;
    add_triangle(*host, mesh, t);
    check(host->AddGroupToWorld(root, 0), "AddGroupToWorld");

    for (const std::string name : {"x.glb", "x.gltf"}) {
        MemoryOutput output;
        const WriteOutcome outcome = write_gltf(host->scene(), output, name);
        ASSERT_TRUE(outcome.ok) << outcome.error;
        const std::string& bytes = output.contents().at(name);
        tinygltf::TinyGLTF loader;
        loader.SetImageLoader([](tinygltf::Image*, const int, std::string*, std::string*, int, int,
                                 const unsigned char*, int, void*) { return true; },
                              nullptr);
        tinygltf::Model model;
        std::string error, warning;
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        const bool ok = name == "x.glb"
                            ? loader.LoadBinaryFromMemory(&model, &error, &warning, data, bytes.size())
                            : [&] {
                                  // External files are left unread: the buffer and images are checked above.
                                  const json parsed = json::parse(bytes);
                                  EXPECT_EQ(parsed["buffers"][0]["uri"], "x.bin");
                                  EXPECT_EQ(parsed["images"][1]["uri"], "x_1.jpg");
                                  return true;
                              }();
        ASSERT_TRUE(ok) << error;
        if (name != "x.glb") continue;
        ASSERT_EQ(model.nodes.size(), 5u);
        EXPECT_EQ(model.nodes[1].name, "M\xC3\xA9sh\x01");
        EXPECT_EQ(model.cameras.at(0).name, "Cam \"one\"\t\\");
        EXPECT_EQ(model.lights.at(0).range, 123456789.125);
        EXPECT_EQ(model.images.size(), 2u);
        EXPECT_EQ(model.materials.at(0).occlusionTexture.texCoord, 1);
        EXPECT_EQ(model.meshes.at(1).primitives.at(0).mode, TINYGLTF_MODE_LINE_STRIP);
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace kzv::host
