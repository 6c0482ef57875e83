// The glTF document as the writer builds it: plain structs holding just what the writer uses,
// written as JSON by document_json.h. Indices refer to the document's own lists; -1 is "none".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kzv::host::gltf {

inline constexpr int kNone = -1;

// glTF's numeric codes.
enum class ComponentType : int {
    unsigned_byte = 5121,
    unsigned_short = 5123,
    unsigned_int = 5125,
    float32 = 5126,
};
enum class ElementType { scalar, vec2, vec3, vec4 };
enum class ViewTarget : int { none = 0, vertices = 34962, indices = 34963 };
enum class PrimitiveMode : int { points = 0, line_loop = 2, line_strip = 3, triangles = 4 };

struct BufferView {
    std::size_t offset = 0;  // in the one buffer, a multiple of 4
    std::size_t length = 0;
    ViewTarget target = ViewTarget::none;
};

struct Accessor {
    int buffer_view = kNone;
    ComponentType component_type = ComponentType::float32;
    ElementType type = ElementType::scalar;
    std::size_t count = 0;
    bool normalized = false;
    // Bounds of POSITION accessors.
    std::optional<std::array<double, 3>> min;
    std::optional<std::array<double, 3>> max;
};

struct Image {
    std::string name;
    std::string mime_type;
    int buffer_view = kNone;  // embedded in the buffer, or
    std::string uri;          // a file beside the .gltf
};

// Every texture uses the document's one sampler: linear mipmapped filtering, repeating.
struct Texture {
    int source = kNone;
};

struct Material {
    std::string name;
    std::optional<std::array<double, 4>> base_color;  // linear RGBA; none: white
    int base_color_texture = kNone;                   // on TEXCOORD_0
    int occlusion_texture = kNone;                    // on TEXCOORD_1
    bool double_sided = false;
    // Always metallicFactor 0 and roughnessFactor 1: the editor's materials are diffuse.
};

struct Primitive {
    PrimitiveMode mode = PrimitiveMode::triangles;
    int position = kNone;  // accessors of the attributes
    int normal = kNone;
    int texcoord0 = kNone;
    int texcoord1 = kNone;
    int color0 = kNone;
    int indices = kNone;
    int material = kNone;

    bool operator==(const Primitive&) const = default;
};

struct Mesh {
    std::string name;
    std::vector<Primitive> primitives;
};

// A node's translation, rotation and scale, each left out when it is the default.
struct NodeTransform {
    std::optional<std::array<double, 3>> translation;
    std::optional<std::array<double, 4>> rotation;  // x, y, z, w
    std::optional<std::array<double, 3>> scale;
};

struct Node {
    std::string name;
    int mesh = kNone;
    int camera = kNone;
    int light = kNone;      // of KHR_lights_punctual
    int transform = kNone;  // in Document::transforms: nodes of big scenes mostly have none
    std::vector<int> children;
};

// A perspective camera with an infinite projection and the viewer's aspect ratio.
struct Camera {
    std::string name;
    double yfov = 0;
    double znear = 0;
};

// A KHR_lights_punctual point light.
struct Light {
    std::string name;
    std::array<double, 3> color{1, 1, 1};
    double intensity = 1;
    std::optional<double> range;
};

struct Document {
    std::string generator;
    std::vector<BufferView> buffer_views;
    std::vector<Accessor> accessors;
    std::vector<Image> images;
    std::vector<Texture> textures;
    std::vector<Material> materials;
    std::vector<Mesh> meshes;
    std::vector<Node> nodes;
    std::vector<NodeTransform> transforms;  // of the nodes that have one
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::vector<int> scene_nodes;  // the roots of the one scene
    std::size_t buffer_size = 0;   // bytes of the one buffer; 0: no buffer
};

}  // namespace kzv::host::gltf
