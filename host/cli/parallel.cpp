#include "host/cli/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kzv::cli {

void for_each_parallel(std::size_t count, int threads, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::mutex failure_mutex;
    std::exception_ptr failure;
    const auto worker = [&] {
        for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard lock(failure_mutex);
                if (!failure) failure = std::current_exception();
            }
        }
    };
    const std::size_t wanted = std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), count);
    {
        std::vector<std::jthread> helpers;
        for (std::size_t k = 1; k < wanted; ++k) {
            try {
                helpers.emplace_back(worker);
            } catch (const std::system_error&) {
                break;  // no more threads to be had: the ones started share the work
            }
        }
        worker();
    }  // the helpers join here
    if (failure) std::rethrow_exception(failure);
}

}  // namespace kzv::cli
