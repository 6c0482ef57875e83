#include "host/scene/scene_host.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "host/scene/host_error.h"

namespace kzv::host {
namespace {

using tessavo::Handle;
using tessavo::Status;

// Runs one operation and turns every exception into a failure status: nothing may escape a
// contract call.
template <class Body>
Status guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return host_failure(HostError::out_of_memory, "");
    } catch (const std::exception& e) {
        return host_failure(HostError::internal, e.what());
    } catch (...) {
        return host_failure(HostError::internal, "unexpected exception");
    }
}

template <class Callback, class... Args>
void notify(const Callback& callback, const Args&... args) noexcept {
    if (!callback) return;
    try {
        callback(args...);
    } catch (...) {
        // A failing display must not fail the import.
    }
}

Status unknown_handle(ObjectKind kind, Handle handle) {
    return host_failure(HostError::unknown_handle,
                        std::string(kind_name(kind)) + " " + std::to_string(handle));
}

template <class Items>
auto* find(Items& items, ObjectKind kind, Handle handle) {
    const auto index = handle_index(handle, kind, items.size());
    return index ? &items[*index] : nullptr;
}

Status no_more_handles(ObjectKind kind) {
    return host_failure(HostError::too_many_objects,
                        std::string("no more ") + std::string(kind_name(kind)) + " handles");
}

// Appends a new object and answers its handle, or a failure when the kind's handles ran out.
template <class Items, class T>
Status add_object(Items& items, ObjectKind kind, T object, Handle& handle) {
    handle = 0;
    if (items.size() >= kMaxObjectsPerKind) return no_more_handles(kind);
    items.push_back(std::move(object));
    handle = make_handle(kind, items.size() - 1);
    return Status::success();
}

std::array<float, 3> to_floats(const std::array<double, 3>& v) {
    return {to_float(v[0]), to_float(v[1]), to_float(v[2])};
}

// Room for one more element, growing by doubling as push_back does.
template <class Items>
void room_for_one_more(Items& items) {
    if (items.size() == items.capacity()) items.reserve(std::max<std::size_t>(16, 2 * items.capacity()));
}

}  // namespace

tessavo::Ref<SceneHost> SceneHost::create(HostOptions options, HostObserver observer) {
    return tessavo::Ref<SceneHost>::adopt(new SceneHost(std::move(options), std::move(observer)));
}

SceneHost::SceneHost(HostOptions options, HostObserver observer)
    : options_(std::move(options)), observer_(std::move(observer)) {}

std::uint32_t SceneHost::AddRef() noexcept {
    return ++references_;
}

std::uint32_t SceneHost::Release() noexcept {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
}

Status SceneHost::Attached() noexcept {
    ++attach_count_;
    return Status::success();
}

void SceneHost::warn(std::string text) {
    warnings_.push_back(std::move(text));
    notify(observer_.on_warning, warnings_.back());
}

void SceneHost::notify_progress() {
    notify(observer_.on_progress, progress_);
}

// ---- Locale, messages, progress ----

Status SceneHost::GetHostLCID(std::int32_t& lcid) noexcept {
    lcid = options_.lcid;
    return Status::success();
}

Status SceneHost::ReportMessage(const std::string& text, std::int32_t& kind) noexcept {
    return guarded([&] {
        messages_.push_back({text, kind});
        notify(observer_.on_message, messages_.back());
        return Status::success();
    });
}

Status SceneHost::ReportError(std::int32_t number, const std::string& description,
                              const std::string& source) noexcept {
    return guarded([&] {
        error_reports_.push_back({number, description, source});
        notify(observer_.on_error, error_reports_.back());
        return Status::success();
    });
}

Status SceneHost::ShowProgress(tessavo::VBool show) noexcept {
    progress_.visible = show != tessavo::kFalse;
    notify_progress();
    return Status::success();
}

Status SceneHost::SetProgressMax(std::int32_t count) noexcept {
    progress_.maximum = count;
    notify_progress();
    return Status::success();
}

Status SceneHost::SetProgressValue(std::int32_t count) noexcept {
    progress_.value = count;
    notify_progress();
    return Status::success();
}

// ---- Bitmaps ----

// A texture that cannot be had is not an error: the import goes on without it, and the user
// gets one notice per file.
Status SceneHost::LoadBitmap(const std::string& path, tessavo::VBool, Handle& bitmap) noexcept {
    return guarded([&] {
        bitmap = 0;
        const std::uint32_t index = load_bitmap(path);
        if (index != kNoIndex) bitmap = make_handle(ObjectKind::bitmap, index);
        return Status::success();
    });
}

std::uint32_t SceneHost::load_bitmap(const std::string& path) {
    const TexturePolicy policy{options_.scene_folder, options_.allow_outside_textures};
    const TextureLookup lookup = resolve_texture_path(path, policy);
    if (lookup.verdict != TextureVerdict::found) {
        if (warned_paths_.insert(path).second) {
            const char* what =
                lookup.verdict == TextureVerdict::refused ? "Texture refused" : "Texture not found";
            warn(std::string(what) + ": " + path + " (" + lookup.reason + ")");
        }
        return kNoIndex;
    }

    // One file (device and inode: any spelling, hard links too) is loaded once.
    const std::string key =
        std::to_string(lookup.identity.device) + ":" + std::to_string(lookup.identity.inode);
    if (const auto known = bitmap_by_file_.find(key); known != bitmap_by_file_.end()) return known->second;

    ImageResult loaded = load_image_descriptor(lookup.descriptor.get(), options_.image_limits);
    std::uint32_t index = kNoIndex;
    if (!loaded.image) {
        warn("Texture unreadable: " + path + " (" + loaded.error + ")");
    } else if (scene_.bitmaps.size() >= kMaxObjectsPerKind) {
        warn("Texture left out: " + path + " (too many bitmaps)");
    } else {
        Bitmap bitmap{path,
                      lookup.file,
                      lookup.file.filename().string(),
                      std::move(loaded.image->mime_type),
                      std::move(loaded.image->bytes),
                      loaded.image->width,
                      loaded.image->height,
                      loaded.image->reencoded};
        scene_.bitmaps.push_back(std::move(bitmap));
        index = static_cast<std::uint32_t>(scene_.bitmaps.size() - 1);
    }
    bitmap_by_file_.emplace(key, index);  // failures too: one notice and one attempt per file
    return index;
}

// ---- Cameras, lights, tracks ----

Status SceneHost::CreateCamera(const std::string& name, Handle& camera) noexcept {
    return guarded(
        [&] { return add_object(scene_.cameras, ObjectKind::camera, Camera{.name = name}, camera); });
}

Status SceneHost::SetCameraPosition(Handle camera, double x, double y, double z) noexcept {
    Camera* c = find(scene_.cameras, ObjectKind::camera, camera);
    if (!c) return guarded([&] { return unknown_handle(ObjectKind::camera, camera); });
    c->position = {x, y, z};
    return Status::success();
}

Status SceneHost::SetCameraAxes(Handle camera, const std::array<double, 3>& axis1,
                                const std::array<double, 3>& axis2,
                                const std::array<double, 3>& axis3) noexcept {
    Camera* c = find(scene_.cameras, ObjectKind::camera, camera);
    if (!c) return guarded([&] { return unknown_handle(ObjectKind::camera, camera); });
    c->direction = axis1;
    c->right = axis2;
    c->up = axis3;
    return Status::success();
}

Status SceneHost::SetCameraFov(Handle camera, double degrees) noexcept {
    Camera* c = find(scene_.cameras, ObjectKind::camera, camera);
    if (!c) return guarded([&] { return unknown_handle(ObjectKind::camera, camera); });
    c->fov_degrees = degrees;
    return Status::success();
}

Status SceneHost::SetCameraRange(Handle camera, double distance) noexcept {
    Camera* c = find(scene_.cameras, ObjectKind::camera, camera);
    if (!c) return guarded([&] { return unknown_handle(ObjectKind::camera, camera); });
    c->near_range = distance;
    return Status::success();
}

Status SceneHost::SetCameraMode(Handle camera, std::int32_t mode) noexcept {
    Camera* c = find(scene_.cameras, ObjectKind::camera, camera);
    if (!c) return guarded([&] { return unknown_handle(ObjectKind::camera, camera); });
    c->mode = mode;
    return Status::success();
}

Status SceneHost::CreateLight(const std::string& name, const std::array<double, 3>& position,
                              Handle& light) noexcept {
    return guarded([&] {
        return add_object(scene_.lights, ObjectKind::light, Light{.name = name, .position = position}, light);
    });
}

Status SceneHost::SetLightColor(Handle light, const std::array<std::uint8_t, 3>& rgb) noexcept {
    Light* l = find(scene_.lights, ObjectKind::light, light);
    if (!l) return guarded([&] { return unknown_handle(ObjectKind::light, light); });
    l->color = rgb;
    return Status::success();
}

Status SceneHost::SetLightIntensity(Handle light, double intensity) noexcept {
    Light* l = find(scene_.lights, ObjectKind::light, light);
    if (!l) return guarded([&] { return unknown_handle(ObjectKind::light, light); });
    l->intensity = intensity;
    return Status::success();
}

Status SceneHost::SetLightIntensity2(Handle light, double intensity) noexcept {
    Light* l = find(scene_.lights, ObjectKind::light, light);
    if (!l) return guarded([&] { return unknown_handle(ObjectKind::light, light); });
    l->intensity2 = intensity;
    return Status::success();
}

Status SceneHost::SetLightRange(Handle light, double distance) noexcept {
    Light* l = find(scene_.lights, ObjectKind::light, light);
    if (!l) return guarded([&] { return unknown_handle(ObjectKind::light, light); });
    l->range = distance;
    l->has_range = true;
    return Status::success();
}

Status SceneHost::CreateTrack(const std::string& name, tessavo::VBool cyclic,
                              const std::vector<double>& points, std::int32_t count, Handle& track) noexcept {
    return guarded([&] {
        track = 0;
        if (count < 0)
            return host_failure(HostError::invalid_argument, "track point count " + std::to_string(count));
        const std::size_t values = std::size_t{3} * static_cast<std::size_t>(count);
        if (points.size() < values)
            return host_failure(HostError::invalid_argument, "track of " + std::to_string(count) +
                                                                 " points needs " + std::to_string(values) +
                                                                 " coordinates, got " +
                                                                 std::to_string(points.size()));
        Track object{name, cyclic != tessavo::kFalse,
                     std::vector<double>(points.begin(), points.begin() + values)};
        return add_object(scene_.tracks, ObjectKind::track, std::move(object), track);
    });
}

Status SceneHost::AddCameraToWorld(Handle camera) noexcept {
    Camera* c = find(scene_.cameras, ObjectKind::camera, camera);
    if (!c) return guarded([&] { return unknown_handle(ObjectKind::camera, camera); });
    c->in_world = true;
    return Status::success();
}

Status SceneHost::AddLightToWorld(Handle light) noexcept {
    Light* l = find(scene_.lights, ObjectKind::light, light);
    if (!l) return guarded([&] { return unknown_handle(ObjectKind::light, light); });
    l->in_world = true;
    return Status::success();
}

Status SceneHost::AddTrackToWorld(Handle track) noexcept {
    Track* t = find(scene_.tracks, ObjectKind::track, track);
    if (!t) return guarded([&] { return unknown_handle(ObjectKind::track, track); });
    t->in_world = true;
    return Status::success();
}

Scene SceneHost::take_scene() {
    Scene taken = std::move(scene_);
    scene_ = Scene{};
    child_counts_ = {};
    value_tables_ = std::vector<ValueTable>(1);
    likely_group_ = kNoIndex;
    material_by_value_ = {{PolygonMaterial{}, 0}};
    recent_material_changes_ = {};
    return taken;
}

// ---- Groups ----

Status SceneHost::CreateGroup(const std::string& name, Handle& group) noexcept {
    return guarded([&] {
        // Room first, so that a failure leaves the scene as it was.
        room_for_one_more(child_counts_);
        Status status = add_object(scene_.groups, ObjectKind::group, Group{.name = name}, group);
        if (!status.ok()) return status;
        child_counts_.push_back(0);
        // Polygons created from now on most likely go to this group; the group before it is most
        // likely complete.
        if (likely_group_ != kNoIndex && scene_.groups[likely_group_].store != kNoIndex)
            fit_small_store(scene_.groups[likely_group_].store);
        likely_group_ = static_cast<std::uint32_t>(scene_.groups.size() - 1);
        return status;
    });
}

Status SceneHost::SetGroupParent(Handle group, Handle parent) noexcept {
    return guarded([&] {
        const auto child = handle_index(group, ObjectKind::group, scene_.groups.size());
        if (!child) return unknown_handle(ObjectKind::group, group);
        std::uint32_t new_parent = kNoIndex;
        if (parent != 0) {
            const auto index = handle_index(parent, ObjectKind::group, scene_.groups.size());
            if (!index) return unknown_handle(ObjectKind::group, parent);
            new_parent = *index;
            // Only a group that has children can become its own ancestor; a new group (the usual
            // case) needs no walk up the tree.
            bool cycle = new_parent == *child;
            for (std::uint32_t up = new_parent; !cycle && child_counts_[*child] > 0 && up != kNoIndex;
                 up = scene_.groups[up].parent)
                cycle = up == *child;
            if (cycle)
                return host_failure(HostError::parent_cycle,
                                    "group " + std::to_string(group) + " under " + std::to_string(parent));
        }
        Group& g = scene_.groups[*child];
        if (g.parent != kNoIndex) --child_counts_[g.parent];
        g.parent = new_parent;
        if (new_parent != kNoIndex) ++child_counts_[new_parent];
        return Status::success();
    });
}

Status SceneHost::SetGroupMatrix(Handle group, const std::array<double, 16>& matrix) noexcept {
    Group* g = find(scene_.groups, ObjectKind::group, group);
    if (!g) return guarded([&] { return unknown_handle(ObjectKind::group, group); });
    if (g->has_matrix()) {
        scene_.matrices[g->matrix] = matrix;
        return Status::success();
    }
    return guarded([&] {
        scene_.matrices.push_back(matrix);
        g->matrix = static_cast<std::uint32_t>(scene_.matrices.size() - 1);
        return Status::success();
    });
}

Status SceneHost::AddGroupToWorld(Handle group, std::int32_t flag) noexcept {
    Group* g = find(scene_.groups, ObjectKind::group, group);
    if (!g) return guarded([&] { return unknown_handle(ObjectKind::group, group); });
    g->in_world = true;
    g->world_flag = flag;
    return Status::success();
}

// ---- Polygons ----

Status SceneHost::CreatePolygon(Handle& polygon) noexcept {
    return guarded([&] { return add_object(scene_.polygons, ObjectKind::polygon, Polygon{}, polygon); });
}

Status SceneHost::AddPolygonVertex(Handle polygon, const std::array<double, 6>& data,
                                   Handle& vertex) noexcept {
    return guarded([&] {
        vertex = 0;
        const auto index = handle_index(polygon, ObjectKind::polygon, scene_.polygons.size());
        if (!index) return unknown_handle(ObjectKind::polygon, polygon);
        Polygon& p = scene_.polygons[*index];
        if (p.closed) return host_failure(HostError::polygon_closed, "polygon " + std::to_string(polygon));
        if (scene_.corners.size() >= kMaxObjectsPerKind) return no_more_handles(ObjectKind::vertex);
        // The values of a polygon outside any group go where it will most likely end up.
        if (p.corner_count == 0 && p.group == kNoIndex)
            p.store = likely_group_ == kNoIndex ? kNoGroupStore : store_of(likely_group_);
        MappedArray<Corner>& values = scene_.corner_values[p.store];
        // Everything that can fail comes first, so that a failure leaves the scene as it was.
        scene_.corners.reserve(scene_.corners.size() + 1);
        values.reserve(values.size() + 1);
        const auto added = static_cast<std::uint32_t>(scene_.corners.size());
        link_corner(p, added);
        Corner corner;
        corner.position = {to_float(data[0]), to_float(data[1]), to_float(data[2])};
        corner.uv = {to_float(data[3]), to_float(data[4])};
        values.push_back(corner);
        scene_.corners.push_back({static_cast<std::uint32_t>(values.size() - 1), *index});
        vertex = make_handle(ObjectKind::vertex, added);
        return Status::success();
    });
}

// A polygon whose next corner does not follow its run lists its corners one by one from then on.
void SceneHost::scatter_corner(Polygon& polygon, std::uint32_t added) {
    if (polygon.scattered != kNoIndex) {
        scene_.scattered_corners[polygon.scattered].push_back(added);
        return;
    }
    std::vector<std::uint32_t> corners(polygon.corner_count);
    for (std::uint32_t n = 0; n < polygon.corner_count; ++n) corners[n] = polygon.first_corner + n;
    corners.push_back(added);
    scene_.scattered_corners.push_back(std::move(corners));
    polygon.scattered = static_cast<std::uint32_t>(scene_.scattered_corners.size() - 1);
}

Status SceneHost::SetVertexNormal(Handle vertex, const std::array<double, 3>& normal) noexcept {
    return guarded([&] {
        CornerSlot* slot = find(scene_.corners, ObjectKind::vertex, vertex);
        if (!slot) return unknown_handle(ObjectKind::vertex, vertex);
        const std::array<float, 3> value = to_floats(normal);
        change_corner(*slot, kCornerHasNormal, [&](Corner& corner) { corner.normal = value; });
        return Status::success();
    });
}

Status SceneHost::corner_of(Handle vertex, Handle polygon, CornerSlot*& slot) {
    slot = find(scene_.corners, ObjectKind::vertex, vertex);
    if (!slot) return unknown_handle(ObjectKind::vertex, vertex);
    const auto index = handle_index(polygon, ObjectKind::polygon, scene_.polygons.size());
    if (!index) return unknown_handle(ObjectKind::polygon, polygon);
    if (slot->polygon != *index)
        return host_failure(
            HostError::invalid_argument,
            "vertex " + std::to_string(vertex) + " is not a corner of polygon " + std::to_string(polygon));
    return Status::success();
}

Status SceneHost::SetPolygonVertexColor(Handle vertex, Handle polygon,
                                        const std::array<std::uint8_t, 3>& rgb) noexcept {
    return guarded([&] {
        CornerSlot* slot = nullptr;
        Status status = corner_of(vertex, polygon, slot);
        if (!status.ok()) return status;
        change_corner(*slot, kCornerHasColor, [&](Corner& corner) { corner.color = rgb; });
        return status;
    });
}

Status SceneHost::SetPolygonVertexUV2(Handle vertex, Handle polygon,
                                      const std::array<double, 2>& uv) noexcept {
    return guarded([&] {
        CornerSlot* slot = nullptr;
        Status status = corner_of(vertex, polygon, slot);
        if (!status.ok()) return status;
        const std::array<float, 2> value{to_float(uv[0]), to_float(uv[1])};
        change_corner(*slot, kCornerHasUv2, [&](Corner& corner) { corner.uv2 = value; });
        return status;
    });
}

// The store of group `group`'s corner values, made when the group gets its first polygon: most
// groups of a big scene have none.
std::uint32_t SceneHost::store_of(std::uint32_t group) {
    Group& g = scene_.groups[group];
    if (g.store != kNoIndex) return g.store;
    room_for_one_more(scene_.corner_values);
    room_for_one_more(value_tables_);
    scene_.corner_values.emplace_back();
    value_tables_.emplace_back();
    g.store = static_cast<std::uint32_t>(scene_.corner_values.size() - 1);
    return g.store;
}

// A mesh node of a few polygons would otherwise keep up to twice the room its values and table
// need; with many such nodes (instances of a small geometry) that room is most of the scene. Only
// small stores are fitted, so that the work stays bounded however the calls come.
void SceneHost::fit_small_store(std::uint32_t store) noexcept {
    constexpr std::size_t kSmallStore = 256;
    MappedArray<Corner>& values = scene_.corner_values[store];
    if (values.size() > kSmallStore) return;
    values.shrink_to_fit();
    value_tables_[store].shrink(values);
}

// One of the store's distinct values: an equal one it holds, or `value` added.
std::uint32_t SceneHost::add_distinct_value(std::uint32_t store, const Corner& value) {
    MappedArray<Corner>& values = scene_.corner_values[store];
    values.reserve(values.size() + 1);
    value_tables_[store].reserve(1, values);
    values.push_back(value);
    const auto added = static_cast<std::uint32_t>(values.size() - 1);
    const std::uint32_t found = value_tables_[store].find_or_add(added, values);
    if (found != added) values.truncate(added);
    return found;
}

// A closed polygon of a group: each corner's values become one of the group's distinct values,
// shared with every other corner of that group that has the same values. Its own records are
// given back when they are the store's newest, as they are for a polygon built in one go.
void SceneHost::share_corner_values(Polygon& polygon) {
    MappedArray<Corner>& values = scene_.corner_values[polygon.store];
    ValueTable& table = value_tables_[polygon.store];
    const std::uint32_t count = polygon.corner_count;
    table.reserve(count, values);  // nothing below can fail
    const std::size_t base = values.size() - std::min<std::size_t>(count, values.size());
    bool newest = polygon.scattered == kNoIndex && count <= values.size();
    for (std::uint32_t n = 0; newest && n < count; ++n)
        newest = scene_.corners[polygon.first_corner + n].values == base + n;
    if (newest) {
        std::size_t kept = base;
        for (std::uint32_t n = 0; n < count; ++n) {
            CornerSlot& slot = scene_.corners[polygon.first_corner + n];
            if (kept != base + n) values[kept] = values[base + n];
            slot.values = table.find_or_add(static_cast<std::uint32_t>(kept), values);
            if (slot.values == kept) ++kept;
        }
        values.truncate(kept);
    } else {
        const auto share = [&](std::uint32_t corner) {
            CornerSlot& slot = scene_.corners[corner];
            slot.values = table.find_or_add(slot.values, values);
        };
        if (polygon.scattered != kNoIndex) {
            for (const std::uint32_t corner : scene_.scattered_corners[polygon.scattered]) share(corner);
        } else {
            for (std::uint32_t n = 0; n < count; ++n) share(polygon.first_corner + n);
        }
    }
    polygon.shared = true;
}

// The polygon's corner values copied into `store` (distinct values when the polygon is shared);
// the records it leaves are given back when they are the newest of their store. Needs room for
// the polygon's corners in `store`'s values and table.
void SceneHost::move_corner_values(Polygon& polygon, std::uint32_t store) {
    MappedArray<Corner>& from = scene_.corner_values[polygon.store];
    MappedArray<Corner>& to = scene_.corner_values[store];
    ValueTable& table = value_tables_[store];
    const std::uint32_t count = polygon.corner_count;
    const std::size_t base = from.size() - std::min<std::size_t>(count, from.size());
    bool newest = !polygon.shared && polygon.scattered == kNoIndex && count <= from.size();
    for (std::uint32_t n = 0; newest && n < count; ++n)
        newest = scene_.corners[polygon.first_corner + n].values == base + n;
    const auto move = [&](std::uint32_t corner) {
        CornerSlot& slot = scene_.corners[corner];
        to.push_back(from[slot.values]);
        const auto added = static_cast<std::uint32_t>(to.size() - 1);
        slot.values = polygon.shared ? table.find_or_add(added, to) : added;
        if (slot.values != added) to.truncate(added);
    };
    if (polygon.scattered != kNoIndex) {
        for (const std::uint32_t corner : scene_.scattered_corners[polygon.scattered]) move(corner);
    } else {
        for (std::uint32_t n = 0; n < count; ++n) move(polygon.first_corner + n);
    }
    if (newest) from.truncate(base);
    polygon.store = store;
}

Status SceneHost::SetPolygonColor(Handle polygon, std::int32_t red, std::int32_t green,
                                  std::int32_t blue) noexcept {
    return guarded([&] {
        Polygon* p = find(scene_.polygons, ObjectKind::polygon, polygon);
        if (!p) return unknown_handle(ObjectKind::polygon, polygon);
        PolygonMaterial material = scene_.materials[p->material];
        material.color = {red, green, blue};
        material.has_color = true;
        p->material = material_index(p->material, material);
        return Status::success();
    });
}

// The index of `material` among the scene's distinct materials, added if new. The plug-in gives
// run after run of polygons the same material: the last few changes made are remembered.
std::uint32_t SceneHost::material_index(std::uint32_t from, const PolygonMaterial& material) {
    for (const MaterialChange& change : recent_material_changes_)
        if (change.from == from && change.to == material) return change.index;
    auto found = material_by_value_.find(material);
    if (found == material_by_value_.end()) {
        room_for_one_more(scene_.materials);
        found =
            material_by_value_.emplace(material, static_cast<std::uint32_t>(scene_.materials.size())).first;
        scene_.materials.push_back(material);
    }
    std::copy_backward(recent_material_changes_.begin(), recent_material_changes_.end() - 1,
                       recent_material_changes_.end());
    recent_material_changes_.front() = {from, material, found->second};
    return found->second;
}

Status SceneHost::set_bitmap(Handle polygon, Handle bitmap, bool second) {
    Polygon* p = find(scene_.polygons, ObjectKind::polygon, polygon);
    if (!p) return unknown_handle(ObjectKind::polygon, polygon);
    std::uint32_t index = kNoIndex;  // handle 0: no bitmap
    if (bitmap != 0) {
        const auto known = handle_index(bitmap, ObjectKind::bitmap, scene_.bitmaps.size());
        if (!known) return unknown_handle(ObjectKind::bitmap, bitmap);
        index = *known;
    }
    PolygonMaterial material = scene_.materials[p->material];
    (second ? material.bitmap2 : material.bitmap) = index;
    p->material = material_index(p->material, material);
    return Status::success();
}

Status SceneHost::SetPolygonBitmap(Handle polygon, Handle bitmap) noexcept {
    return guarded([&] { return set_bitmap(polygon, bitmap, false); });
}

Status SceneHost::SetPolygonBitmap2(Handle polygon, Handle bitmap) noexcept {
    return guarded([&] { return set_bitmap(polygon, bitmap, true); });
}

Status SceneHost::ClosePolygon(Handle polygon) noexcept {
    return guarded([&] {
        Polygon* p = find(scene_.polygons, ObjectKind::polygon, polygon);
        if (!p) return unknown_handle(ObjectKind::polygon, polygon);
        // A polygon not yet in a group shares its values once it is placed in one.
        if (p->group != kNoIndex && !p->shared) share_corner_values(*p);
        p->closed = true;
        return Status::success();
    });
}

Status SceneHost::AddPolygonToGroup(Handle polygon, Handle group) noexcept {
    return guarded([&] {
        Polygon* p = find(scene_.polygons, ObjectKind::polygon, polygon);
        if (!p) return unknown_handle(ObjectKind::polygon, polygon);
        const auto index = handle_index(group, ObjectKind::group, scene_.groups.size());
        if (!index) return unknown_handle(ObjectKind::group, group);
        if (p->group == *index) return Status::success();
        // The polygon's values go to the group's store: room for them first, so that nothing
        // below can fail.
        const std::uint32_t store = store_of(*index);
        MappedArray<Corner>& values = scene_.corner_values[store];
        if (p->store != store) values.reserve(values.size() + p->corner_count);
        value_tables_[store].reserve(p->corner_count, values);
        if (p->store != store) move_corner_values(*p, store);
        if (p->closed && !p->shared) share_corner_values(*p);
        // A polygon belongs to one group: adding it elsewhere moves it.
        if (p->group != kNoIndex) --scene_.groups[p->group].polygon_count;
        p->group = *index;
        ++scene_.groups[*index].polygon_count;
        likely_group_ = *index;
        return Status::success();
    });
}

}  // namespace kzv::host
