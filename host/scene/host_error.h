// The host's error numbers and messages, in one table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tessavo/host_scene.h"

namespace kzv::host {

// Source of every failure status that the host returns to the plug-in.
inline constexpr std::string_view kHostSource = "kzv-import.SceneHost";

// Automation components number their own errors from vbObjectError (0x80040000) + 512 upward;
// out of memory keeps the platform's number 7.
inline constexpr std::int32_t kHostErrorBase = static_cast<std::int32_t>(0x80040000u) + 512;

enum class HostError : std::int32_t {
    out_of_memory = 7,
    unknown_handle = kHostErrorBase + 1,
    invalid_argument = kHostErrorBase + 2,
    polygon_closed = kHostErrorBase + 3,
    parent_cycle = kHostErrorBase + 4,
    too_many_objects = kHostErrorBase + 5,
    internal = kHostErrorBase + 6,
};

constexpr std::string_view message(HostError error) {
    switch (error) {
        case HostError::out_of_memory:
            return "Out of memory";
        case HostError::unknown_handle:
            return "Unknown handle";
        case HostError::invalid_argument:
            return "Invalid argument";
        case HostError::polygon_closed:
            return "Polygon already closed";
        case HostError::parent_cycle:
            return "Group parent would form a cycle";
        case HostError::too_many_objects:
            return "Too many objects";
        case HostError::internal:
            return "Internal host failure";
    }
    return "Host failure";
}

// A failure status: the table's message, then the detail ("Unknown handle: polygon 600000003").
inline tessavo::Status host_failure(HostError error, std::string_view detail) {
    std::string description(message(error));
    if (!detail.empty()) description.append(": ").append(detail);
    return tessavo::Status::failure(static_cast<std::int32_t>(error), std::move(description),
                                    std::string(kHostSource));
}

}  // namespace kzv::host
