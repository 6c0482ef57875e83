// The largest single allocation through operator new since the last reset, for tests that prove a
// damaged count allocates nothing big, and the number of allocations so far, for tests that prove a
// list costs no allocation per record. The replacement operators live in allocation_probe.cpp.
#pragma once

#include <cstddef>

namespace imp_kzv::testing {

void ResetLargestAllocation() noexcept;
std::size_t LargestAllocation() noexcept;
std::size_t AllocationCount() noexcept;

}  // namespace imp_kzv::testing
