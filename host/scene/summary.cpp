#include "host/scene/summary.h"

#include <sstream>
#include <string_view>
#include <utility>

namespace kzv::host {
namespace {

// Deeper levels are not indented further, so that a pathological chain of groups cannot make
// the summary grow with the square of its depth.
constexpr std::size_t kMaxIndentLevel = 32;

// A name on one line: its line breaks written as \x0A and \x0D, so that a name cannot forge lines
// of the summary (its other control characters are left to the terminal's escaping).
std::string one_line(std::string_view name) {
    std::string out;
    for (const char c : name) out += c == '\n' ? "\\x0A" : c == '\r' ? "\\x0D" : std::string(1, c);
    return out;
}

void write_group_line(std::ostringstream& out, const Scene& scene, std::uint32_t index, std::size_t depth,
                      bool in_world) {
    const Group& group = scene.groups[index];
    out << std::string(2 * (1 + std::min(depth, kMaxIndentLevel)), ' ');
    if (depth > kMaxIndentLevel) out << "[depth " << depth << "] ";
    out << one_line(group.name);
    if (group.is_mesh()) out << " [mesh, " << group.polygon_count << " polygons]";
    if (!in_world) out << " (not in world)";
    out << '\n';
}

void write_tree(std::ostringstream& out, const Scene& scene) {
    const GroupTree tree = build_group_tree(scene);
    const std::vector<bool> in_world = groups_in_world(scene);
    std::vector<std::pair<std::uint32_t, std::size_t>> stack;  // group, depth
    for (auto root = tree.roots.rbegin(); root != tree.roots.rend(); ++root) stack.emplace_back(*root, 0);
    while (!stack.empty()) {
        const auto [index, depth] = stack.back();
        stack.pop_back();
        write_group_line(out, scene, index, depth, in_world[index]);
        for (std::uint32_t k = tree.first[index + 1]; k > tree.first[index]; --k)
            stack.emplace_back(tree.order[k - 1], depth + 1);
    }
}

template <class Object, class Detail>
void write_objects(std::ostringstream& out, const char* title, const std::vector<Object>& objects,
                   Detail detail) {
    if (objects.empty()) return;
    out << title << ":\n";
    for (const Object& object : objects) {
        out << "  " << one_line(object.name) << detail(object);
        if (!object.in_world) out << " (not in world)";
        out << '\n';
    }
}

}  // namespace

GroupTree build_group_tree(const Scene& scene) {
    const std::size_t count = scene.groups.size();
    GroupTree tree;
    tree.first.assign(count + 1, 0);
    for (const Group& group : scene.groups)
        if (group.parent != kNoIndex) ++tree.first[group.parent + 1];
    for (std::size_t i = 0; i < count; ++i) tree.first[i + 1] += tree.first[i];
    tree.order.resize(tree.first[count]);
    std::vector<std::uint32_t> next(tree.first.begin(), tree.first.end() - 1);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t parent = scene.groups[i].parent;
        if (parent == kNoIndex)
            tree.roots.push_back(i);
        else
            tree.order[next[parent]++] = i;
    }
    return tree;
}

std::vector<bool> groups_in_world(const Scene& scene) {
    const GroupTree tree = build_group_tree(scene);
    std::vector<bool> in_world(scene.groups.size(), false);
    std::vector<std::uint32_t> stack;
    for (std::uint32_t i = 0; i < scene.groups.size(); ++i)
        if (scene.groups[i].in_world) stack.push_back(i);
    while (!stack.empty()) {
        const std::uint32_t index = stack.back();
        stack.pop_back();
        if (in_world[index]) continue;
        in_world[index] = true;
        for (std::uint32_t k = tree.first[index]; k < tree.first[index + 1]; ++k)
            stack.push_back(tree.order[k]);
    }
    return in_world;
}

SceneCounts count_scene(const Scene& scene) {
    SceneCounts counts;
    for (const Group& group : scene.groups) ++(group.is_mesh() ? counts.mesh_nodes : counts.group_nodes);
    counts.polygons = scene.polygons.size();
    counts.corners = scene.corners.size();
    counts.cameras = scene.cameras.size();
    counts.lights = scene.lights.size();
    counts.tracks = scene.tracks.size();
    counts.bitmaps = scene.bitmaps.size();
    return counts;
}

std::string describe_scene(const Scene& scene) {
    const SceneCounts counts = count_scene(scene);
    std::ostringstream out;
    out << "group nodes: " << counts.group_nodes << '\n'
        << "mesh nodes: " << counts.mesh_nodes << '\n'
        << "polygons: " << counts.polygons << '\n'
        << "corners: " << counts.corners << '\n'
        << "cameras: " << counts.cameras << '\n'
        << "lights: " << counts.lights << '\n'
        << "tracks: " << counts.tracks << '\n'
        << "bitmaps: " << counts.bitmaps << '\n';
    if (!scene.groups.empty()) {
        out << "tree:\n";
        write_tree(out, scene);
    }
    write_objects(out, "cameras", scene.cameras, [](const Camera&) { return std::string(); });
    write_objects(out, "lights", scene.lights, [](const Light&) { return std::string(); });
    write_objects(out, "tracks", scene.tracks, [](const Track& track) {
        return " (" + std::to_string(track.point_count()) + (track.cyclic ? " points, cyclic)" : " points)");
    });
    if (!scene.bitmaps.empty()) out << "bitmaps:\n";
    for (const Bitmap& bitmap : scene.bitmaps)
        out << "  " << one_line(bitmap.name) << " (" << bitmap.width << 'x' << bitmap.height << ", "
            << bitmap.mime_type << (bitmap.reencoded ? ", re-encoded)\n" : ")\n");
    return out.str();
}

}  // namespace kzv::host
