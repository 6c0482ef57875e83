// Work spread over a few threads.
#pragma once

#include <cstddef>
#include <functional>

namespace kzv::cli {

// Calls work(i) once for every i in [0, count), on up to `threads` threads (the calling thread is
// one of them), taking the indices in order, and returns when every call has returned. If calls
// throw, the others still run and the first exception is rethrown at the end. If fewer threads can
// be started, the work runs on those there are.
void for_each_parallel(std::size_t count, int threads, const std::function<void(std::size_t)>& work);

}  // namespace kzv::cli
