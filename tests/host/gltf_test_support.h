// Reading written glTF files back for checks.
#pragma once

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kzv::host::testing {

inline tinygltf::Model read_gltf(const std::filesystem::path& file) {
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string error, warning;
    const bool binary = file.extension() == ".glb";
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, file.string())
                           : loader.LoadASCIIFromFile(&model, &error, &warning, file.string());
    EXPECT_TRUE(ok) << error;
    return model;
}

inline std::string read_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The elements of an accessor as T, whatever its type (VEC3 floats give 3 values per element).
template <class T>
std::vector<T> accessor_values(const tinygltf::Model& model, int index) {
    const tinygltf::Accessor& accessor = model.accessors.at(index);
    const tinygltf::BufferView& view = model.bufferViews.at(accessor.bufferView);
    const tinygltf::Buffer& buffer = model.buffers.at(view.buffer);
    const std::size_t components = static_cast<std::size_t>(tinygltf::GetNumComponentsInType(accessor.type));
    std::vector<T> values(accessor.count * components);
    std::memcpy(values.data(), buffer.data.data() + view.byteOffset + accessor.byteOffset,
                values.size() * sizeof(T));
    return values;
}

// The values of a primitive's attribute per triangle corner, in drawing order (through the
// primitive's indices when it has them), as T.
template <class T>
std::vector<T> corner_values(const tinygltf::Model& model, const tinygltf::Primitive& primitive,
                             const std::string& attribute) {
    const int index = primitive.attributes.at(attribute);
    const std::vector<T> values = accessor_values<T>(model, index);
    if (primitive.indices < 0) return values;
    const tinygltf::Accessor& indices = model.accessors.at(primitive.indices);
    std::vector<std::uint32_t> order;
    if (indices.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
        for (const std::uint16_t i : accessor_values<std::uint16_t>(model, primitive.indices))
            order.push_back(i);
    } else {
        order = accessor_values<std::uint32_t>(model, primitive.indices);
    }
    const std::size_t width = values.size() / model.accessors.at(index).count;
    std::vector<T> out;
    for (const std::uint32_t i : order)
        out.insert(out.end(), values.begin() + i * width, values.begin() + (i + 1) * width);
    return out;
}

// How the triangles of a mesh face compared with their vertex normals, as a viewer that culls back
// faces sees them: a corner is against its triangle when its normal points behind the triangle's
// front (counter-clockwise) side.
struct Facing {
    std::size_t triangles = 0;
    std::size_t against = 0;  // triangles with a corner whose normal points behind their front
};

inline Facing facing_of(const tinygltf::Model& model, const tinygltf::Mesh& mesh) {
    Facing facing;
    for (const tinygltf::Primitive& primitive : mesh.primitives) {
        if (primitive.mode != TINYGLTF_MODE_TRIANGLES || !primitive.attributes.contains("NORMAL")) continue;
        const std::vector<float> p = corner_values<float>(model, primitive, "POSITION");
        const std::vector<float> n = corner_values<float>(model, primitive, "NORMAL");
        for (std::size_t t = 0; t + 9 <= p.size(); t += 9) {
            const float* a = &p[t];
            const float u[3] = {a[3] - a[0], a[4] - a[1], a[5] - a[2]};
            const float v[3] = {a[6] - a[0], a[7] - a[1], a[8] - a[2]};
            const float front[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                    u[0] * v[1] - u[1] * v[0]};
            bool against = false;
            for (std::size_t c = 0; c < 3; ++c) {
                const float* normal = &n[t + 3 * c];
                against |= front[0] * normal[0] + front[1] * normal[1] + front[2] * normal[2] <= 0;
            }
            ++facing.triangles;
            facing.against += against ? 1 : 0;
        }
    }
    return facing;
}

inline const tinygltf::Node* node_named(const tinygltf::Model& model, const std::string& name) {
    for (const auto& node : model.nodes)
        if (node.name == name) return &node;
    return nullptr;
}

}  // namespace kzv::host::testing
