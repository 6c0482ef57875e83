// The largest single allocation through operator new since the last reset, for tests that prove a
// damaged count allocates nothing big. The replacement operators live in allocation_probe.cpp.
#pragma once

#include <cstddef>

namespace imp_kzv::testing {

void ResetLargestAllocation() noexcept;
std::size_t LargestAllocation() noexcept;

}  // namespace imp_kzv::testing
