// Drives a host through IHostScene the way the plug-in does, for tests and sample scenes.
#pragma once

#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tessavo/host_scene.h"

namespace kzv::host::testing {

inline void check(const tessavo::Status& status, const char* call) {
    if (!status.ok()) throw std::runtime_error(std::string(call) + " failed: " + status.description);
}

struct CornerSpec {
    std::array<double, 3> position{};
    std::array<double, 2> uv{};
    std::array<double, 3> normal{0, 0, -1};
    std::optional<std::array<std::uint8_t, 3>> color;
    std::optional<std::array<double, 2>> uv2;
};

struct TriangleSpec {
    std::array<CornerSpec, 3> corners;  // corners 1, 2, 3 of the file's triangle
    std::optional<std::array<std::int32_t, 3>> color;
    tessavo::Handle bitmap = 0;
    tessavo::Handle bitmap2 = 0;
};

inline tessavo::Handle add_group(tessavo::IHostScene& host, const std::string& name, tessavo::Handle parent) {
    tessavo::Handle group = 0;
    check(host.CreateGroup(name, group), "CreateGroup");
    check(host.SetGroupParent(group, parent), "SetGroupParent");
    return group;
}

// One polygon per triangle, corners 3, 2, 1, then colour, bitmaps, close and placement.
inline tessavo::Handle add_triangle(tessavo::IHostScene& host, tessavo::Handle group, const TriangleSpec& t) {
    tessavo::Handle polygon = 0;
    check(host.CreatePolygon(polygon), "CreatePolygon");
    for (int k = 2; k >= 0; --k) {
        const CornerSpec& c = t.corners[k];
        tessavo::Handle vertex = 0;
        check(host.AddPolygonVertex(
                  polygon, {c.position[0], c.position[1], c.position[2], c.uv[0], c.uv[1], 100.0}, vertex),
              "AddPolygonVertex");
        check(host.SetVertexNormal(vertex, c.normal), "SetVertexNormal");
        if (c.color) check(host.SetPolygonVertexColor(vertex, polygon, *c.color), "SetPolygonVertexColor");
        if (c.uv2) check(host.SetPolygonVertexUV2(vertex, polygon, *c.uv2), "SetPolygonVertexUV2");
    }
    if (t.color)
        check(host.SetPolygonColor(polygon, (*t.color)[0], (*t.color)[1], (*t.color)[2]), "SetPolygonColor");
    if (t.bitmap) check(host.SetPolygonBitmap(polygon, t.bitmap), "SetPolygonBitmap");
    if (t.bitmap2) check(host.SetPolygonBitmap2(polygon, t.bitmap2), "SetPolygonBitmap2");
    check(host.ClosePolygon(polygon), "ClosePolygon");
    check(host.AddPolygonToGroup(polygon, group), "AddPolygonToGroup");
    return polygon;
}

// A triangle in the z = 0 plane whose front faces the editor's camera at -z (normal 0, 0, -1).
// The editor's front faces are clockwise as it receives them (left-handed, clockwise front
// faces), so corners 1, 2, 3 of the file run counter-clockwise and the received 3, 2, 1 clockwise.
inline TriangleSpec facing_triangle(double offset = 0) {
    TriangleSpec t;
    t.corners[0].position = {offset + 0, 1, 0};
    t.corners[1].position = {offset - 1, -1, 0};
    t.corners[2].position = {offset + 1, -1, 0};
    t.corners[0].uv = {0.5, 0};
    t.corners[1].uv = {0, 1};
    t.corners[2].uv = {1, 1};
    return t;
}

inline std::array<double, 16> translation(double x, double y, double z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

// A path in the temporary folder that no other test process uses at the same time.
inline std::filesystem::path unique_temp_path(const std::string& name) {
    return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
}

// Writes a small image file of the given format ("png", "bmp", "jpg", "tga").
void write_test_image(const std::filesystem::path& file, const std::string& format, int width = 4,
                      int height = 2);

}  // namespace kzv::host::testing
