// Imp_KZV as an in-process server: its public classes, their factories, the count of live objects
// and locks, and its registration. The exported entry points (entry_points.cpp) forward here.
#pragma once

#include <cstdint>
#include <string>

#include "tessavo/server.h"

namespace imp_kzv {

// Live objects and locks of the component: every object it hands out counts itself here.
tessavo::ServerLifetime& ComponentLifetime() noexcept;

// The component's classes, class ids, type library and threading model.
const tessavo::ServerDescription& ComponentServer() noexcept;

// The bodies of the four entry points; each returns a result number of tessavo/server.h.
std::int32_t GetComponentClassObject(const char* class_id, const char* interface_id, void** object) noexcept;
std::int32_t CanUnloadComponent() noexcept;
std::int32_t RegisterComponent(const std::string& registry_path, const std::string& library_path) noexcept;
std::int32_t UnregisterComponent(const std::string& registry_path) noexcept;

// The path of the library (or program) this code was loaded from.
std::string ComponentLibraryPath() noexcept;

}  // namespace imp_kzv
