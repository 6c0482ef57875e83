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

inline const tinygltf::Node* node_named(const tinygltf::Model& model, const std::string& name) {
    for (const auto& node : model.nodes)
        if (node.name == name) return &node;
    return nullptr;
}

}  // namespace kzv::host::testing
