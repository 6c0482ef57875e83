// Builds the glTF document of a scene: nodes for groups, meshes from polygons, materials,
// textures, cameras, lights and tracks, and the binary buffer they refer to.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <span>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "host/gltf/colour_space.h"
#include "host/gltf/gltf_document.h"
#include "host/gltf/light_units.h"
#include "host/gltf/node_names.h"
#include "host/gltf/repairs.h"
#include "host/gltf/transform.h"
#include "host/gltf/vertex_data.h"
#include "host/scene/summary.h"
#include "host/scene/value_table.h"
#include "host/scene/world_bounds.h"

namespace kzv::host::gltf {
namespace {

constexpr double kDefaultFovDegrees = 45.0;
constexpr double kDefaultNear = 0.1;
struct MaterialKey {
    bool has_color = false;
    std::array<std::int32_t, 3> rgb{};
    std::uint32_t bitmap = kNoIndex;
    std::uint32_t bitmap2 = kNoIndex;
    auto operator<=>(const MaterialKey&) const = default;
};

class DocumentBuilder {
  public:
    DocumentBuilder(const Scene& scene, const GltfOptions& options, ImagePlacement images)
        : scene_(scene), options_(options), images_(images) {}

    GltfDocument build() {
        doc_.model.generator = valid_utf8(options_.generator);
        reserve_model();
        std::vector<int> roots = add_groups();
        append_all(roots, add_cameras());
        append_all(roots, add_lights());
        append_all(roots, add_tracks());
        doc_.model.scene_nodes = std::move(roots);
        make_node_names_unique(doc_.model);
        return std::move(doc_);
    }

  private:
    // Room for the usual numbers of objects.
    void reserve_model() {
        constexpr std::size_t kArraysPerPrimitive = 5;
        const auto with_polygons = static_cast<std::size_t>(std::count_if(
            scene_.groups.begin(), scene_.groups.end(), [](const Group& g) { return g.polygon_count > 0; }));
        const std::size_t meshes = with_polygons + scene_.tracks.size();
        doc_.model.nodes.reserve(scene_.groups.size() + scene_.tracks.size() + scene_.cameras.size() +
                                 scene_.lights.size());
        doc_.model.meshes.reserve(meshes);
        doc_.model.accessors.reserve(kArraysPerPrimitive * meshes);
        doc_.model.buffer_views.reserve(kArraysPerPrimitive * meshes + scene_.bitmaps.size());
    }

    static void append_all(std::vector<int>& to, const std::vector<int>& from) {
        to.insert(to.end(), from.begin(), from.end());
    }

    // ---- Buffer ----

    // A view of `size` bytes at the end of the buffer, each starting on a 4-byte boundary.
    int add_view(std::size_t size, ViewTarget target) {
        const std::size_t offset = (doc_.model.buffer_size + 3) / 4 * 4;
        doc_.model.buffer_size = offset + size;
        doc_.model.buffer_views.push_back({offset, size, target});
        return static_cast<int>(doc_.model.buffer_views.size() - 1);
    }

    // A view of bytes that stay alive and unchanged until the document is written.
    int add_bytes_view(const void* data, std::size_t size, ViewTarget target) {
        const int view = add_view(size, target);
        doc_.pieces.push_back({static_cast<const std::uint8_t*>(data), size, view_offset(view)});
        return view;
    }

    std::size_t view_offset(int view) const { return doc_.model.buffer_views[view].offset; }

    // An accessor of `count` elements of `components` values of `value_bytes` each, with its view.
    int add_accessor(std::size_t count, ComponentType component_type, ElementType type,
                     std::size_t components, std::size_t value_bytes, bool normalized = false,
                     ViewTarget target = ViewTarget::vertices) {
        const int view = add_view(count * components * value_bytes, target);
        Accessor& accessor = doc_.model.accessors.emplace_back();
        accessor.buffer_view = view;
        accessor.component_type = component_type;
        accessor.type = type;
        accessor.count = count;
        accessor.normalized = normalized;
        return static_cast<int>(doc_.model.accessors.size() - 1);
    }

    std::size_t accessor_offset(int accessor) const {
        return view_offset(doc_.model.accessors[accessor].buffer_view);
    }

    int add_floats(std::size_t count, ElementType type, std::size_t components) {
        return add_accessor(count, ComponentType::float32, type, components, sizeof(float));
    }

    // POSITION accessors carry their bounds, computed from the very floats written.
    int add_positions(std::size_t count, const Bounds& bounds) {
        const int index = add_floats(count, ElementType::vec3, 3);
        doc_.model.accessors[index].min = bounds.low;
        doc_.model.accessors[index].max = bounds.high;
        return index;
    }

    // ---- Materials and textures ----

    int texture_for(std::uint32_t bitmap) {
        if (const auto known = textures_.find(bitmap); known != textures_.end()) return known->second;
        const Bitmap& source = scene_.bitmaps[bitmap];
        Image image;
        image.name = valid_utf8(source.name);
        image.mime_type = source.mime_type;
        if (images_ == ImagePlacement::embedded)
            image.buffer_view = add_bytes_view(source.bytes.data(), source.bytes.size(), ViewTarget::none);
        doc_.model.images.push_back(std::move(image));
        doc_.image_bitmaps.push_back(bitmap);
        doc_.model.textures.push_back({static_cast<int>(doc_.model.images.size() - 1)});
        const int index = static_cast<int>(doc_.model.textures.size() - 1);
        textures_.emplace(bitmap, index);
        return index;
    }

    MaterialKey material_key(const Polygon& polygon) {
        const PolygonMaterial& material = scene_.materials[polygon.material];
        MaterialKey key{material.has_color, {}, material.bitmap, material.bitmap2};
        if (!material.has_color) return key;
        bool above = false, below = false;
        for (int i = 0; i < 3; ++i) {
            above |= material.color[i] > 255;
            below |= material.color[i] < 0;
            key.rgb[i] = std::clamp(material.color[i], 0, 255);
        }
        if (above) repairs_.note(Repair::color_above_255);
        if (below) repairs_.note(Repair::color_below_0);
        return key;
    }

    std::string material_name(const MaterialKey& key) const {
        std::string name;
        if (key.has_color) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "#%02X%02X%02X", key.rgb[0], key.rgb[1], key.rgb[2]);
            name = hex;
        }
        for (std::uint32_t bitmap : {key.bitmap, key.bitmap2})
            if (bitmap != kNoIndex) name += (name.empty() ? "" : " ") + scene_.bitmaps[bitmap].name;
        return name.empty() ? "default" : valid_utf8(name);
    }

    int material_for(const MaterialKey& key) {
        if (const auto known = materials_.find(key); known != materials_.end()) return known->second;
        Material material;
        material.name = material_name(key);
        if (key.has_color) {
            const bool linear = options_.linear_colors;
            material.base_color = {colour_factor(key.rgb[0], linear), colour_factor(key.rgb[1], linear),
                                   colour_factor(key.rgb[2], linear), 1.0};
        }
        material.double_sided = options_.double_sided;
        if (key.bitmap != kNoIndex) material.base_color_texture = texture_for(key.bitmap);
        // The second bitmap goes with the second UV set; its closest glTF meaning is a map that
        // darkens the surface, the occlusion texture.
        if (key.bitmap2 != kNoIndex) material.occlusion_texture = texture_for(key.bitmap2);
        doc_.model.materials.push_back(std::move(material));
        const int index = static_cast<int>(doc_.model.materials.size() - 1);
        materials_.emplace(key, index);
        return index;
    }

    // ---- Meshes ----

    // The primitive of the polygons that share a material, or false when it has no vertices. Its
    // vertices and indices are numbered here; write_vertex_data makes their arrays while the file
    // is written.
    bool build_primitive(std::span<const std::uint32_t> polygons, const MaterialKey& key,
                         const MeshTransform& transform, Primitive& primitive) {
        if (!numbering_) numbering_.emplace(scene_);
        PrimitiveData data = number_primitive(scene_, polygons, transform, *numbering_, repairs_);
        if (data.vertices.empty()) return false;
        const bool with_uv2 = key.bitmap2 != kNoIndex || (data.corner_flags & kCornerHasUv2);
        const bool with_colors = (data.corner_flags & kCornerHasColor) != 0;

        const std::size_t n = data.vertices.size();
        primitive.mode = PrimitiveMode::triangles;
        primitive.material = material_for(key);
        primitive.position = add_positions(n, data.bounds);
        primitive.normal = add_floats(n, ElementType::vec3, 3);
        primitive.texcoord0 = add_floats(n, ElementType::vec2, 2);
        if (with_uv2) primitive.texcoord1 = add_floats(n, ElementType::vec2, 2);
        if (with_colors)
            primitive.color0 = add_accessor(n, ComponentType::unsigned_byte, ElementType::vec4, 4, 1, true);
        const bool short_indices = index_size(n) == 2;
        primitive.indices = add_accessor(
            data.indices.size(), short_indices ? ComponentType::unsigned_short : ComponentType::unsigned_int,
            ElementType::scalar, 1, index_size(n), false, ViewTarget::indices);

        VertexSource source{std::move(data), transform};
        source.indices = accessor_offset(primitive.indices);
        source.positions = accessor_offset(primitive.position);
        source.normals = accessor_offset(primitive.normal);
        source.uv = accessor_offset(primitive.texcoord0);
        if (with_uv2) source.uv2 = accessor_offset(primitive.texcoord1);
        if (with_colors) source.colors = accessor_offset(primitive.color0);
        doc_.vertices.push_back(std::move(source));
        return true;
    }

    // The mesh's polygons grouped by material, the materials in the order they first appear and
    // the polygons of each in their own order: a counting sort, linear in the polygons.
    struct PolygonsByMaterial {
        std::vector<MaterialKey> keys;
        std::vector<std::uint32_t> first;  // polygons of keys[k] are order[first[k] .. first[k + 1])
        std::vector<std::uint32_t> order;
    };

    PolygonsByMaterial polygons_by_material(std::span<const std::uint32_t> polygons) {
        PolygonsByMaterial out;
        std::map<MaterialKey, std::uint32_t> ordinal_of;
        std::vector<std::uint32_t> ordinals(polygons.size(), kNoIndex);  // kNoIndex: left out
        std::vector<std::uint32_t> counts;
        for (std::size_t i = 0; i < polygons.size(); ++i) {
            const Polygon& polygon = scene_.polygons[polygons[i]];
            if (polygon.corner_count < 3) {
                repairs_.note(Repair::short_polygon);
                continue;
            }
            const MaterialKey key = material_key(polygon);
            // Neighbouring polygons mostly share their material: no look-up for them.
            const bool same =
                !out.keys.empty() && i > 0 && ordinals[i - 1] != kNoIndex && out.keys[ordinals[i - 1]] == key;
            if (same) {
                ordinals[i] = ordinals[i - 1];
            } else {
                const auto [entry, added] =
                    ordinal_of.emplace(key, static_cast<std::uint32_t>(out.keys.size()));
                if (added) {
                    out.keys.push_back(key);
                    counts.push_back(0);
                }
                ordinals[i] = entry->second;
            }
            ++counts[ordinals[i]];
        }
        out.first.assign(out.keys.size() + 1, 0);
        for (std::size_t k = 0; k < out.keys.size(); ++k) out.first[k + 1] = out.first[k] + counts[k];
        out.order.resize(out.first.back());
        std::vector<std::uint32_t> next(out.first.begin(), out.first.end() - 1);
        for (std::size_t i = 0; i < polygons.size(); ++i)
            if (ordinals[i] != kNoIndex) out.order[next[ordinals[i]]++] = polygons[i];
        return out;
    }

    // One mesh with a primitive per material, in the order the materials first appear, or -1
    // when no polygon could be written.
    int add_mesh(const Group& group, std::span<const std::uint32_t> polygons,
                 const MeshTransform& transform) {
        const PolygonsByMaterial by_material = polygons_by_material(polygons);
        // Built in place (nothing else adds meshes meanwhile), and dropped again if it stays empty.
        Mesh& mesh = doc_.model.meshes.emplace_back();
        mesh.name = valid_utf8(group.name);
        for (std::size_t k = 0; k < by_material.keys.size(); ++k) {
            const std::span<const std::uint32_t> run(by_material.order.data() + by_material.first[k],
                                                     by_material.first[k + 1] - by_material.first[k]);
            if (!build_primitive(run, by_material.keys[k], transform, mesh.primitives.emplace_back()))
                mesh.primitives.pop_back();
        }
        if (mesh.primitives.empty()) {
            doc_.model.meshes.pop_back();
            return -1;
        }
        return static_cast<int>(doc_.model.meshes.size() - 1);
    }

    // ---- Instances ----

    // Whether two mesh nodes' polygons make the same mesh: the same values in their stores, and the
    // same polygons in the same order, with the same materials and the same corners' values. (A
    // store holds each distinct value once, so equal polygons of equal stores use equal indices.)
    bool same_geometry(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b) const {
        const MappedArray<Corner>& a_values = values_of(a);
        const MappedArray<Corner>& b_values = values_of(b);
        if (a.size() != b.size() || a_values.size() != b_values.size() ||
            std::memcmp(a_values.data(), b_values.data(), a_values.size() * sizeof(Corner)) != 0)
            return false;
        std::vector<std::uint32_t> corners;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const Polygon& p = scene_.polygons[a[i]];
            const Polygon& q = scene_.polygons[b[i]];
            if (p.corner_count != q.corner_count || p.material != q.material) return false;
            corners.clear();
            for_each_corner_slot(scene_, p, [&](const CornerSlot& slot) { corners.push_back(slot.values); });
            std::size_t k = 0;
            bool same = true;
            for_each_corner_slot(scene_, q,
                                 [&](const CornerSlot& slot) { same = same && corners[k++] == slot.values; });
            if (!same) return false;
        }
        return true;
    }

    const MappedArray<Corner>& values_of(std::span<const std::uint32_t> polygons) const {
        return scene_.corner_values[scene_.polygons[polygons.front()].store];
    }

    // A hash of what same_geometry compares.
    std::uint64_t geometry_hash(std::span<const std::uint32_t> polygons) const {
        std::uint64_t h = polygons.size();
        const auto mix = [&h](std::uint64_t value) { h = (h ^ value) * 0x9E3779B97F4A7C15u; };
        for (const Corner& value : values_of(polygons)) mix(corner_hash(value));
        for (const std::uint32_t index : polygons) {
            const Polygon& p = scene_.polygons[index];
            mix((std::uint64_t{p.corner_count} << 32) | p.material);
            for_each_corner_slot(scene_, p, [&](const CornerSlot& slot) { mix(slot.values); });
        }
        return h;
    }

    // The mesh of a mesh node: mesh nodes whose geometry is the same, with the same matrix applied
    // to their vertices if any (see add_group_node), share one mesh, written once.
    int mesh_for(const Group& group, std::span<const std::uint32_t> polygons,
                 const MeshTransform& transform) {
        std::uint64_t hash = geometry_hash(polygons);
        if (transform.bake)
            for (const double element : *transform.bake)
                hash = (hash ^ std::bit_cast<std::uint64_t>(element)) * 31;
        std::vector<MeshInstance>& candidates = meshes_by_geometry_[hash];
        for (const MeshInstance& candidate : candidates)
            if (same_bits(candidate.bake, transform.bake) && same_geometry(candidate.polygons, polygons))
                return candidate.mesh;
        const int mesh = add_mesh(group, polygons, transform);
        candidates.push_back({polygons, transform.bake, mesh});
        return mesh;
    }

    static bool same_bits(const std::optional<Mat4>& a, const std::optional<Mat4>& b) {
        return a.has_value() == b.has_value() && (!a || std::memcmp(a->data(), b->data(), sizeof(Mat4)) == 0);
    }

    // ---- Nodes ----

    // The group's matrix in output space, with what glTF cannot hold repaired.
    Mat4 output_matrix(const Group& group) {
        if (!group.has_matrix()) return identity_matrix();
        Mat4 m = matrix_of(scene_, group);
        if (!all_finite(m)) {
            repairs_.note(Repair::non_finite_matrix);
            return identity_matrix();
        }
        if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) {
            repairs_.note(Repair::projective_matrix);
            m[3] = m[7] = m[11] = 0;
            m[15] = 1;
        }
        return options_.convert_axes ? mirror_z(m) : m;
    }

    void set_trs(Node& node, const Trs& trs) {
        NodeTransform t;
        if (trs.translation != Vec3{0, 0, 0}) t.translation = trs.translation;
        if (trs.rotation != Quat{0, 0, 0, 1}) t.rotation = trs.rotation;
        if (trs.scale != Vec3{1, 1, 1}) t.scale = trs.scale;
        if (!t.translation && !t.rotation && !t.scale) return;
        node.transform = static_cast<int>(doc_.model.transforms.size());
        doc_.model.transforms.push_back(t);
    }

    struct Visit {
        std::uint32_t group;
        int parent_node;
        std::optional<Mat4> inherited;  // a baked ancestor matrix that this node must carry on
    };

    // Adds the node of one group; answers the matrix its children inherit (when this node's
    // own transformation had to be baked into vertices).
    std::optional<Mat4> add_group_node(const Visit& visit, std::span<const std::uint32_t> polygons) {
        const Group& group = scene_.groups[visit.group];
        // Built in place: add_mesh adds no nodes.
        const int index = static_cast<int>(doc_.model.nodes.size());
        Node& node = doc_.model.nodes.emplace_back();
        node.name = valid_utf8(group.name);
        Mat4 combined = output_matrix(group);
        if (visit.inherited) combined = multiply(combined, *visit.inherited);

        MeshTransform transform;
        transform.mirror = options_.convert_axes;
        if (!is_identity(combined)) {
            if (auto trs = decompose(combined)) {
                set_trs(node, *trs);
            } else {
                repairs_.note(Repair::baked_matrix);
                transform.bake = combined;
                transform.bake_normals = normal_matrix(combined);
            }
        }
        // Mirroring turns the editor's front faces around; so does a mirroring baked matrix.
        const bool bake_mirrors = transform.bake && linear_determinant(*transform.bake) < 0;
        transform.reverse_winding = options_.convert_axes != bake_mirrors;
        transform.linear_colors = options_.linear_colors;
        if (!polygons.empty()) node.mesh = mesh_for(group, polygons, transform);
        if (visit.parent_node >= 0) doc_.model.nodes[visit.parent_node].children.push_back(index);
        node_of_group_[visit.group] = index;
        return transform.bake;
    }

    // Polygons of each group, in creation order: polygons of g are order[first[g] .. first[g+1]).
    struct PolygonsByGroup {
        std::vector<std::uint32_t> first;
        std::vector<std::uint32_t> order;
    };

    PolygonsByGroup polygons_by_group() const {
        PolygonsByGroup out;
        out.first.assign(scene_.groups.size() + 1, 0);
        for (const Polygon& p : scene_.polygons)
            if (p.group != kNoIndex) ++out.first[p.group + 1];
        for (std::size_t g = 0; g < scene_.groups.size(); ++g) out.first[g + 1] += out.first[g];
        out.order.resize(out.first.back());
        std::vector<std::uint32_t> next(out.first.begin(), out.first.end() - 1);
        for (std::uint32_t i = 0; i < scene_.polygons.size(); ++i)
            if (scene_.polygons[i].group != kNoIndex) out.order[next[scene_.polygons[i].group]++] = i;
        return out;
    }

    // Nodes of the groups in the world, depth first; answers the scene's root nodes.
    std::vector<int> add_groups() {
        const GroupTree tree = build_group_tree(scene_);
        const std::vector<bool> in_world = groups_in_world(scene_);
        const PolygonsByGroup polygons = polygons_by_group();
        node_of_group_.assign(scene_.groups.size(), -1);
        std::vector<int> roots;
        std::vector<Visit> stack;
        for (std::uint32_t g = static_cast<std::uint32_t>(scene_.groups.size()); g-- > 0;) {
            const std::uint32_t parent = scene_.groups[g].parent;
            if (in_world[g] && (parent == kNoIndex || !in_world[parent]))
                stack.push_back({g, -1, std::nullopt});
        }
        while (!stack.empty()) {
            const Visit visit = std::move(stack.back());
            stack.pop_back();
            const std::span<const std::uint32_t> own(
                polygons.order.data() + polygons.first[visit.group],
                polygons.first[visit.group + 1] - polygons.first[visit.group]);
            const std::optional<Mat4> inherited = add_group_node(visit, own);
            const int node = node_of_group_[visit.group];
            if (visit.parent_node < 0) roots.push_back(node);
            for (std::uint32_t k = tree.first[visit.group + 1]; k > tree.first[visit.group]; --k)
                stack.push_back({tree.order[k - 1], node, inherited});
        }
        return roots;
    }

    // ---- Cameras, lights, tracks ----

    std::vector<int> add_cameras() {
        std::vector<int> nodes;
        for (const host::Camera& camera : scene_.cameras) {
            if (!camera.in_world) continue;
            if (!finite_as_float(camera.position)) {
                repairs_.note(Repair::camera_left_out);
                continue;
            }
            const CameraAxes axes = camera_axes(camera.direction, camera.right, camera.up);
            if (axes.repaired) repairs_.note(Repair::camera_axes);

            Camera out;
            out.name = valid_utf8(camera.name);
            double yfov = camera.fov_degrees * std::numbers::pi / 180.0;
            // A perspective view narrower than a half turn: 180 degrees and more see nothing in front.
            if (!std::isfinite(yfov) || !(yfov > 0) || yfov >= std::numbers::pi) {
                repairs_.note(Repair::camera_fov);
                yfov = kDefaultFovDegrees * std::numbers::pi / 180.0;
            }
            double znear = camera.near_range;
            if (!std::isfinite(znear) || !(znear > 0)) {
                repairs_.note(Repair::camera_near);
                znear = kDefaultNear;
            }
            out.yfov = yfov;
            out.znear = znear;  // no far range: an infinite projection
            doc_.model.cameras.push_back(std::move(out));

            Node node;
            node.name = valid_utf8(camera.name);
            node.camera = static_cast<int>(doc_.model.cameras.size() - 1);
            Trs trs;
            trs.translation = mirrored(camera.position, options_.convert_axes);
            trs.rotation = camera_rotation(mirrored(axes.direction, options_.convert_axes),
                                           mirrored(axes.up, options_.convert_axes));
            set_trs(node, trs);
            nodes.push_back(add_node(std::move(node)));
        }
        return nodes;
    }

    std::vector<int> add_lights() {
        std::vector<int> nodes;
        for (const host::Light& light : scene_.lights) {
            if (!light.in_world) continue;
            if (!finite_as_float(light.position)) {
                repairs_.note(Repair::light_left_out);
                continue;
            }
            Light out;
            out.name = valid_utf8(light.name);
            const bool linear = options_.linear_colors;
            out.color = {colour_factor(light.color[0], linear), colour_factor(light.color[1], linear),
                         colour_factor(light.color[2], linear)};
            out.intensity = light.intensity;
            if (std::isnan(light.intensity) || std::isinf(light.intensity)) {
                repairs_.note(Repair::light_non_finite_intensity);
                out.intensity = 1.0;
            } else if (light.intensity < 0) {
                repairs_.note(Repair::light_negative_intensity);
                out.intensity = 0.0;
            }
            // An infinite range is the same as none.
            if (light.has_range && std::isfinite(light.range) && light.range > 0)
                out.range = light.range;
            else if (light.has_range && !(light.range > 0))
                repairs_.note(Repair::light_range);
            out.intensity = light_candela(light, out.intensity, out.range.value_or(0.0));
            doc_.model.lights.push_back(std::move(out));

            Node node;
            node.name = valid_utf8(light.name);
            node.light = static_cast<int>(doc_.model.lights.size() - 1);
            Trs trs;
            trs.translation = mirrored(light.position, options_.convert_axes);
            set_trs(node, trs);
            nodes.push_back(add_node(std::move(node)));
        }
        return nodes;
    }

    // The track's finite points in output space, kept in the document for writing.
    const std::vector<float>& track_positions(const Track& track, Bounds& bounds) {
        std::vector<float>& positions = doc_.track_points.emplace_back();
        for (std::size_t i = 0; i < track.point_count(); ++i) {
            const Vec3 p = mirrored({track.points[3 * i], track.points[3 * i + 1], track.points[3 * i + 2]},
                                    options_.convert_axes);
            const std::array<float, 3> f = as_floats(p);
            if (!finite_floats(f)) continue;
            positions.insert(positions.end(), f.begin(), f.end());
            bounds.add(f);
        }
        return positions;
    }

    std::vector<int> add_tracks() {
        std::vector<int> nodes;
        for (const Track& track : scene_.tracks) {
            if (!track.in_world) continue;
            Bounds bounds;
            const std::vector<float>& positions = track_positions(track, bounds);
            const std::size_t count = positions.size() / 3;
            if (count < track.point_count()) repairs_.note(Repair::track_points, track.point_count() - count);
            if (count == 0) {
                repairs_.note(Repair::track_left_out);
                continue;
            }
            Primitive primitive;
            primitive.mode = count == 1     ? PrimitiveMode::points
                             : track.cyclic ? PrimitiveMode::line_loop
                                            : PrimitiveMode::line_strip;
            const int accessor = add_positions(count, bounds);
            primitive.position = accessor;
            doc_.pieces.push_back({reinterpret_cast<const std::uint8_t*>(positions.data()),
                                   positions.size() * sizeof(float), accessor_offset(accessor)});
            Mesh mesh;
            mesh.name = valid_utf8(track.name);
            mesh.primitives.push_back(primitive);
            doc_.model.meshes.push_back(std::move(mesh));

            Node node;
            node.name = valid_utf8(track.name);
            node.mesh = static_cast<int>(doc_.model.meshes.size() - 1);
            nodes.push_back(add_node(std::move(node)));
        }
        return nodes;
    }

    // The editor's intensity in candela, matched at the scene's geometry (light_units.h).
    double light_candela(const host::Light& light, double intensity, double range) {
        if (!world_box_) world_box_ = world_bounds(scene_);
        const std::optional<double> limit = range > 0 ? std::optional<double>(range) : std::nullopt;
        return candela(intensity, reference_distance(light.position, *world_box_, limit));
    }

    int add_node(Node node) {
        doc_.model.nodes.push_back(std::move(node));
        return static_cast<int>(doc_.model.nodes.size() - 1);
    }

    const Scene& scene_;
    const GltfOptions& options_;
    ImagePlacement images_;
    GltfDocument doc_;
    RepairLog& repairs_ = doc_.repairs;
    std::map<MaterialKey, int> materials_;
    std::map<std::uint32_t, int> textures_;
    std::vector<int> node_of_group_;
    std::optional<VertexNumbering> numbering_;  // made for the first primitive
    // Meshes written so far by a hash of their geometry, with the polygons they were made of.
    struct MeshInstance {
        std::span<const std::uint32_t> polygons;
        std::optional<Mat4> bake;
        int mesh;
    };
    std::unordered_map<std::uint64_t, std::vector<MeshInstance>> meshes_by_geometry_;
    std::optional<std::optional<Box>> world_box_;  // worked out for the first light
};

}  // namespace

GltfDocument build_document(const Scene& scene, const GltfOptions& options, ImagePlacement images) {
    return DocumentBuilder(scene, options, images).build();
}

std::string valid_utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool ok = len > 0 && i + len <= n;
        for (std::size_t k = 1; ok && k < len; ++k) ok = (s[i + k] & 0xC0) == 0x80;
        if (ok && len > 1) {
            // Refuse overlong forms, surrogates and code points above U+10FFFF.
            std::uint32_t cp = c & (0x7F >> len);
            for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
            static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
            ok = cp >= kMinimum[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        }
        if (ok) {
            out.append(text, i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

}  // namespace kzv::host::gltf
