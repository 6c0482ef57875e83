// Limits of one import that protect a host from files that expand without bound.
//
// Groups may list a child group more than once, and every listing imports the child's whole
// subtree again; a file of a few hundred bytes can so describe billions of nodes. The import counts
// the group nodes, mesh nodes and polygons it creates and fails cleanly past the limit.
#pragma once

#include <cstdint>

namespace imp_kzv::import {

inline constexpr std::uint64_t kDefaultWorkLimit = std::uint64_t{1} << 28;

// Per thread, like all of the component's state; tests and the fuzz target lower it.
inline thread_local std::uint64_t current_work_limit = kDefaultWorkLimit;

inline std::uint64_t work_limit() noexcept {
    return current_work_limit;
}
inline void set_work_limit(std::uint64_t limit) noexcept {
    current_work_limit = limit;
}

}  // namespace imp_kzv::import
