// Host handles: each kind of object has its own block of numbers, so that a handle of the wrong
// kind (a polygon handle passed as a group) is refused instead of silently naming another object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "tessavo/host_scene.h"

namespace kzv::host {

enum class ObjectKind : std::int32_t { bitmap = 1, camera, light, track, group, polygon, vertex };

// Handles of kind k are k * kHandleBlock + index + 1, which keeps every handle positive, never 0
// (0 means "none"), and readable in logs: group 3 is 500000003.
inline constexpr std::int32_t kHandleBlock = 100'000'000;
inline constexpr std::size_t kMaxObjectsPerKind = kHandleBlock - 1;

constexpr tessavo::Handle make_handle(ObjectKind kind, std::size_t index) {
    return static_cast<std::int32_t>(kind) * kHandleBlock + static_cast<std::int32_t>(index) + 1;
}

// The index that `handle` names among `count` objects of `kind`, or nothing.
constexpr std::optional<std::uint32_t> handle_index(tessavo::Handle handle, ObjectKind kind,
                                                    std::size_t count) {
    const std::int64_t offset =
        std::int64_t{handle} - std::int64_t{static_cast<std::int32_t>(kind)} * kHandleBlock - 1;
    if (offset < 0 || offset >= kHandleBlock - 1 || static_cast<std::size_t>(offset) >= count)
        return std::nullopt;
    return static_cast<std::uint32_t>(offset);
}

constexpr std::string_view kind_name(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::bitmap:
            return "bitmap";
        case ObjectKind::camera:
            return "camera";
        case ObjectKind::light:
            return "light";
        case ObjectKind::track:
            return "track";
        case ObjectKind::group:
            return "group";
        case ObjectKind::polygon:
            return "polygon";
        case ObjectKind::vertex:
            return "vertex";
    }
    return "object";
}

}  // namespace kzv::host
