// The vertex and index arrays of the glTF primitives. Corners of one distinct value of their mesh
// node's store (the host shares equal corner values) become one vertex of their primitive, referred
// to by indices, unless they need a normal of their polygon's own. Each primitive is numbered once,
// while the document is built (number_primitive): its vertices (which value each one writes) and
// its indices, with the repairs noted there; the vertex values are made from the scene while the
// file is written (write_vertex_data in gltf_document.h).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "host/gltf/repairs.h"
#include "host/gltf/transform.h"
#include "host/scene/scene.h"

namespace kzv::host::gltf {

struct MeshTransform;

inline std::array<float, 3> as_floats(const Vec3& v) {
    return {to_float(v[0]), to_float(v[1]), to_float(v[2])};
}

inline bool finite_floats(const std::array<float, 3>& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

inline bool finite_as_float(const Vec3& v) {
    return finite_floats(as_floats(v));
}

// Axis conversion: the editor's z mirrored.
inline Vec3 mirrored(Vec3 v, bool mirror) {
    if (mirror) v[2] = -v[2];
    return v;
}

// Bounds of positions, as a POSITION accessor states them.
struct Bounds {
    static constexpr double kInfinity = std::numeric_limits<double>::infinity();
    std::array<double, 3> low{kInfinity, kInfinity, kInfinity};
    std::array<double, 3> high{-kInfinity, -kInfinity, -kInfinity};

    void add(const std::array<float, 3>& p) {
        for (std::size_t k = 0; k < 3; ++k) {
            low[k] = std::min<double>(low[k], p[k]);
            high[k] = std::max<double>(high[k], p[k]);
        }
    }
};

// The vertices of one primitive, numbered in the order they are first used: a table from the
// scene's corner value records to the primitive's vertices, cleared between primitives at the
// cost of the entries used.
class VertexNumbering {
  public:
    static constexpr std::uint32_t kUnseen = std::numeric_limits<std::uint32_t>::max();
    static constexpr std::uint32_t kOwnVertices = kUnseen - 1;  // every use gets a vertex of its own

    // For primitives of any mesh node of `scene` (all of a primitive's values are in one store).
    explicit VertexNumbering(const Scene& scene) {
        std::size_t most = 0;
        for (const MappedArray<Corner>& values : scene.corner_values) most = std::max(most, values.size());
        vertex_of_value_.assign(most, kUnseen);
    }

    void start_primitive() {
        for (const std::uint32_t value : used_) vertex_of_value_[value] = kUnseen;
        used_.clear();
        count_ = 0;
    }
    std::uint32_t state(std::uint32_t value) const { return vertex_of_value_[value]; }
    // Whether `value` has a vertex that later uses share.
    bool shares(std::uint32_t value) const { return vertex_of_value_[value] < kOwnVertices; }
    // A new vertex for a use of `value`; later uses share it when `shared`.
    std::uint32_t add(std::uint32_t value, bool shared) {
        if (vertex_of_value_[value] == kUnseen) used_.push_back(value);
        vertex_of_value_[value] = shared ? count_ : kOwnVertices;
        return count_++;
    }
    std::size_t count() const { return count_; }

  private:
    std::vector<std::uint32_t> vertex_of_value_;
    std::vector<std::uint32_t> used_;
    std::uint32_t count_ = 0;
};

// One vertex of a primitive: a value of the mesh node's store, with its own normal or, for a
// corner whose normal cannot be used, its polygon's face normal.
struct PrimitiveVertex {
    std::uint32_t value = 0;
    std::uint32_t face = kNoIndex;  // index into PrimitiveData::face_normals, or kNoIndex
};

// A primitive numbered: what its arrays hold, worked out before anything is written.
struct PrimitiveData {
    std::uint32_t store = 0;  // of Scene::corner_values, that of the primitive's polygons
    std::vector<PrimitiveVertex> vertices;
    std::vector<std::array<float, 3>> face_normals;
    std::vector<std::uint32_t> indices;
    Bounds bounds;                  // of the positions written
    std::uint8_t corner_flags = 0;  // Corner::flags of the polygons written
};

// Numbers the primitive of `polygons` (each of at least three corners, all of one mesh node) in one
// pass, leaving out polygons with a non-finite position, and notes the repairs of their corners.
PrimitiveData number_primitive(const Scene& scene, std::span<const std::uint32_t> polygons,
                               const MeshTransform& transform, VertexNumbering& numbering,
                               RepairLog& repairs);

// The index type a primitive of `vertices` vertices needs: 2 or 4 bytes.
inline std::size_t index_size(std::size_t vertices) {
    return vertices <= 0xFFFF ? 2 : 4;
}

}  // namespace kzv::host::gltf
