// Runs a test body on a thread of its own. The plug-in's component-wide state exists once per host
// thread, so each such thread starts with the state of a freshly loaded component.
#pragma once

#include <functional>
#include <thread>

namespace kzv_test {

inline void RunOnFreshThread(const std::function<void()>& body) {
    std::thread thread(body);
    thread.join();
}

}  // namespace kzv_test
