#include "host/gltf/vertex_data.h"

#include "host/gltf/colour_space.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "host/gltf/gltf_document.h"

namespace kzv::host::gltf {
namespace {

// A normal whose length differs from 1 by more than this is normalised; unit normals read from
// single-precision data are within about 1e-7.
constexpr double kUnitTolerance = 1e-5;

struct OutputCorner {
    std::uint32_t value = 0;  // the corner's record in Scene::corner_values
    Vec3 position{};
    std::array<float, 3> written_position{};  // as_floats(position)
    Vec3 normal{};
    double normal_length = 0;  // length(normal), worked out once: it is costly and needed twice
    bool normal_usable = false;
    std::array<float, 2> uv{};
    std::array<float, 2> uv2{};
    std::array<std::uint8_t, 4> color{255, 255, 255, 255};
    // A corner of a value whose shared vertex exists already: only `value` is set.
    bool known = false;
    // How often reading it noted each repair of kCornerRepairs.
    std::array<std::uint8_t, 3> repairs{};

    // Whether the corner's vertex carries its own normal; the others take their polygon's.
    bool own_normal() const { return normal_usable && normal_length > 0 && std::isfinite(normal_length); }
};

// The repairs a corner's values can need, in the order of OutputCorner::repairs.
constexpr std::array<Repair, 3> kCornerRepairs{Repair::zero_normal, Repair::non_unit_normal,
                                               Repair::non_finite_uv};

// One vertex as the file holds it.
struct OutputVertex {
    std::array<float, 3> position;
    std::array<float, 3> normal;
    std::array<float, 2> uv;
    std::array<float, 2> uv2;
    std::array<std::uint8_t, 4> color;
};

Vec3 widen(const std::array<float, 3>& v) {
    return {v[0], v[1], v[2]};
}

Vec3 output_position(const Corner& corner, const MeshTransform& transform) {
    const Vec3 p = mirrored(widen(corner.position), transform.mirror);
    return transform.bake ? transform_point(*transform.bake, p) : p;
}

// Newell's normal of the corners in output order, counter-clockwise seen from the front.
Vec3 face_normal(std::span<const OutputCorner> corners) {
    Vec3 n{};
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Vec3& a = corners[i].position;
        const Vec3& b = corners[(i + 1) % corners.size()].position;
        n[0] += (a[1] - b[1]) * (a[2] + b[2]);
        n[1] += (a[2] - b[2]) * (a[0] + b[0]);
        n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    const double len = length(n);
    if (!(len > 0) || !std::isfinite(len)) return {0, 1, 0};  // degenerate polygon: any unit normal
    return {n[0] / len, n[1] / len, n[2] / len};
}

// Calls `visit(value, corner)` with the record index (in the polygon's store) and the values of
// each corner of the polygon, in the order they were added.
template <class Visit>
void for_each_corner_value(const Scene& scene, const Polygon& polygon, Visit&& visit) {
    const MappedArray<Corner>& values = scene.corner_values[polygon.store];
    for_each_corner_slot(scene, polygon,
                         [&](const CornerSlot& slot) { visit(slot.values, values[slot.values]); });
}

// Reads corners into output space, noting the repairs they need.
class CornerReader {
  public:
    explicit CornerReader(RepairLog& repairs) : repairs_(repairs) {}

    OutputCorner read(std::uint32_t value, const Corner& corner, const MeshTransform& transform) {
        OutputCorner o;
        o.value = value;
        o.position = output_position(corner, transform);
        o.written_position = as_floats(o.position);
        o.normal_usable = usable_normal(corner, o);
        if (o.normal_usable) {
            // Mirroring keeps the length.
            o.normal = mirrored(widen(corner.normal), transform.mirror);
            if (transform.bake) {
                o.normal_usable = transform.bake_normals.has_value();
                if (o.normal_usable) {
                    o.normal = transform_normal(*transform.bake_normals, o.normal);
                    o.normal_length = length(o.normal);
                }
            }
        }
        o.uv = finite_uv(corner.uv, o);
        if (corner.flags & kCornerHasUv2) o.uv2 = finite_uv(corner.uv2, o);
        if (corner.flags & kCornerHasColor) {
            const std::array<std::uint8_t, 3> c = colour_bytes(corner.color, transform.linear_colors);
            o.color = {c[0], c[1], c[2], 255};
        }
        for (std::size_t k = 0; k < kCornerRepairs.size(); ++k)
            if (o.repairs[k] > 0) repairs_.note(kCornerRepairs[k], o.repairs[k]);
        return o;
    }

    // The corners of one polygon in output order, or false when it must be left out. With
    // `numbering`, a corner of a value that already has a shared vertex is not read again: its
    // repairs are noted as when it was read, and its position is finite, as is every written one.
    bool gather(const Scene& scene, const Polygon& polygon, const MeshTransform& transform,
                std::vector<OutputCorner>& out, const VertexNumbering* numbering = nullptr) {
        out.clear();
        bool finite = true;
        for_each_corner_value(scene, polygon, [&](std::uint32_t value, const Corner& corner) {
            if (numbering != nullptr && numbering->shares(value)) {
                out.push_back({.value = value, .known = true});
                note_again(value);
                return;
            }
            out.push_back(read(value, corner, transform));
            finite = finite && finite_floats(out.back().written_position);
        });
        if (!finite) {
            repairs_.note(Repair::non_finite_position);
            return false;
        }
        if (transform.reverse_winding) std::reverse(out.begin(), out.end());
        return true;
    }

    // Remembers the repairs of a corner whose vertex later corners share.
    void remember_repairs(const OutputCorner& corner) {
        if (corner.repairs != std::array<std::uint8_t, 3>{}) repairs_of_value_[corner.value] = corner.repairs;
    }

  private:
    void note_again(std::uint32_t value) {
        if (repairs_of_value_.empty()) return;
        const auto found = repairs_of_value_.find(value);
        if (found == repairs_of_value_.end()) return;
        for (std::size_t k = 0; k < kCornerRepairs.size(); ++k)
            if (found->second[k] > 0) repairs_.note(kCornerRepairs[k], found->second[k]);
    }

    // Whether the corner's normal can be used (after normalising); sets its length.
    static bool usable_normal(const Corner& corner, OutputCorner& o) {
        o.normal_length = length(widen(corner.normal));
        if (!(corner.flags & kCornerHasNormal) || !std::isfinite(o.normal_length) || !(o.normal_length > 0)) {
            ++o.repairs[0];
            return false;
        }
        if (std::abs(o.normal_length - 1) > kUnitTolerance) ++o.repairs[1];
        return true;
    }

    static std::array<float, 2> finite_uv(const std::array<float, 2>& uv, OutputCorner& o) {
        if (std::isfinite(uv[0]) && std::isfinite(uv[1])) return uv;
        ++o.repairs[2];
        return {std::isfinite(uv[0]) ? uv[0] : 0.0f, std::isfinite(uv[1]) ? uv[1] : 0.0f};
    }

    RepairLog& repairs_;
    std::unordered_map<std::uint32_t, std::array<std::uint8_t, 3>> repairs_of_value_;
};

// The arrays of one primitive, made a batch at a time: each array collects the values of kBatch
// vertices (or indices), which then go to the sink at their place in the buffer. The batch stays
// in the processor's caches, where the whole arrays of a big mesh would take fresh memory.
class VertexBatch {
  public:
    explicit VertexBatch(const BinarySink& sink) : sink_(sink) {}

    void start(const VertexSource& source) {
        source_ = &source;
        written_ = indices_written_ = 0;
        filled_ = indices_filled_ = 0;
    }

    void add(const OutputVertex& v) {
        positions_[filled_] = v.position;
        normals_[filled_] = v.normal;
        uv_[filled_] = v.uv;
        uv2_[filled_] = v.uv2;
        colors_[filled_] = v.color;
        if (++filled_ == kBatch) flush_vertices();
    }

    void add_index(std::uint32_t vertex) {
        indices_[indices_filled_] = vertex;
        if (++indices_filled_ == kBatch) flush_indices();
    }

    // Hands over the rest; the vertices and indices made must be those the document counted.
    void finish() {
        flush_vertices();
        flush_indices();
        if (written_ != source_->data.vertices.size() || indices_written_ != source_->data.indices.size())
            throw std::logic_error("the vertex count of a primitive changed");
    }

  private:
    static constexpr std::size_t kBatch = 4096;

    template <class T>
    void put(std::size_t offset, const std::array<T, kBatch>& values) {
        if (offset == kNoOffset) return;
        sink_(offset + written_ * sizeof(T), values.data(), filled_ * sizeof(T));
    }

    void flush_vertices() {
        if (filled_ == 0) return;
        put(source_->positions, positions_);
        put(source_->normals, normals_);
        put(source_->uv, uv_);
        put(source_->uv2, uv2_);
        put(source_->colors, colors_);
        written_ += filled_;
        filled_ = 0;
    }

    void flush_indices() {
        if (indices_filled_ == 0) return;
        const std::size_t size = index_size(source_->data.vertices.size());
        const std::size_t offset = source_->indices + indices_written_ * size;
        if (size == 4) {
            sink_(offset, indices_.data(), indices_filled_ * size);
        } else {
            for (std::size_t i = 0; i < indices_filled_; ++i)
                short_indices_[i] = static_cast<std::uint16_t>(indices_[i]);
            sink_(offset, short_indices_.data(), indices_filled_ * size);
        }
        indices_written_ += indices_filled_;
        indices_filled_ = 0;
    }

    const BinarySink& sink_;
    const VertexSource* source_ = nullptr;
    std::size_t written_ = 0;          // vertices handed over
    std::size_t filled_ = 0;           // vertices in the batch
    std::size_t indices_written_ = 0;  // indices handed over
    std::size_t indices_filled_ = 0;   // indices in the batch
    std::array<std::array<float, 3>, kBatch> positions_;
    std::array<std::array<float, 3>, kBatch> normals_;
    std::array<std::array<float, 2>, kBatch> uv_;
    std::array<std::array<float, 2>, kBatch> uv2_;
    std::array<std::array<std::uint8_t, 4>, kBatch> colors_;
    std::array<std::uint32_t, kBatch> indices_;
    std::array<std::uint16_t, kBatch> short_indices_;
};

// Adds the polygon's new vertices and its fan of triangles to `data`; remembers the repairs of new
// shared vertices for the corners that will share them.
void add_polygon(std::span<const OutputCorner> corners, VertexNumbering& numbering, CornerReader& reader,
                 PrimitiveData& data, std::vector<std::uint32_t>& vertices) {
    std::uint32_t face = kNoIndex;  // only polygons with an unusable normal need it
    vertices.clear();
    for (const OutputCorner& c : corners) {
        const std::uint32_t state = numbering.state(c.value);
        if (state != VertexNumbering::kUnseen && state != VertexNumbering::kOwnVertices) {
            vertices.push_back(state);
            continue;
        }
        const bool own = c.own_normal();
        vertices.push_back(numbering.add(c.value, own));
        if (own) reader.remember_repairs(c);
        if (!own && face == kNoIndex) {
            const Vec3 n = face_normal(corners);
            data.face_normals.push_back(
                {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])});
            face = static_cast<std::uint32_t>(data.face_normals.size() - 1);
        }
        data.vertices.push_back({c.value, own ? kNoIndex : face});
        data.bounds.add(c.written_position);
    }
    for (std::size_t i = 1; i + 1 < vertices.size(); ++i)
        data.indices.insert(data.indices.end(), {vertices[0], vertices[i], vertices[i + 1]});
}

// Whether a new vertex of the polygon takes the face normal, which needs the positions of the
// corners that were not read.
bool needs_all_positions(std::span<const OutputCorner> corners) {
    const auto known = [](const OutputCorner& c) { return c.known; };
    const auto takes_face_normal = [](const OutputCorner& c) { return !c.known && !c.own_normal(); };
    return std::any_of(corners.begin(), corners.end(), known) &&
           std::any_of(corners.begin(), corners.end(), takes_face_normal);
}

// The vertex as the file holds it.
OutputVertex output_vertex(const OutputCorner& c, const PrimitiveData& data, const PrimitiveVertex& vertex) {
    std::array<float, 3> normal{};
    if (vertex.face != kNoIndex) {
        normal = data.face_normals[vertex.face];
    } else {
        for (int k = 0; k < 3; ++k) normal[k] = static_cast<float>(c.normal[k] / c.normal_length);
    }
    return {c.written_position, normal, c.uv, c.uv2, c.color};
}

}  // namespace

PrimitiveData number_primitive(const Scene& scene, std::span<const std::uint32_t> polygons,
                               const MeshTransform& transform, VertexNumbering& numbering,
                               RepairLog& repairs) {
    CornerReader reader(repairs);
    RepairLog noted_already;
    CornerReader rereader(noted_already);
    PrimitiveData data;
    if (!polygons.empty()) data.store = scene.polygons[polygons.front()].store;
    numbering.start_primitive();
    std::vector<OutputCorner> corners;
    std::vector<std::uint32_t> vertices;
    for (const std::uint32_t index : polygons) {
        const Polygon& polygon = scene.polygons[index];
        if (!reader.gather(scene, polygon, transform, corners, &numbering)) continue;
        if (needs_all_positions(corners)) (void)rereader.gather(scene, polygon, transform, corners);
        add_polygon(corners, numbering, reader, data, vertices);
        data.corner_flags |= polygon.corner_flags;
    }
    return data;
}

void write_vertex_data(const Scene& scene, const GltfDocument& document, const BinarySink& sink) {
    RepairLog noted_already;  // number_primitive noted the repairs
    CornerReader reader(noted_already);
    auto batch = std::make_unique<VertexBatch>(sink);  // about 250 KiB: not for the stack
    for (const VertexSource& source : document.vertices) {
        const PrimitiveData& data = source.data;
        const MappedArray<Corner>& values = scene.corner_values[data.store];
        batch->start(source);
        for (const PrimitiveVertex& vertex : data.vertices) {
            const OutputCorner c = reader.read(vertex.value, values[vertex.value], source.transform);
            batch->add(output_vertex(c, data, vertex));
        }
        for (const std::uint32_t index : data.indices) batch->add_index(index);
        batch->finish();
    }
}

}  // namespace kzv::host::gltf
