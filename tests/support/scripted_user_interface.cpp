#include "scripted_user_interface.h"

#include <cstdlib>

namespace kzv_test {

tessavo::Status ScriptedUserInterface::OpenFileDialog(const std::string& filter, std::string& path) noexcept {
    try {
        filters_.push_back(filter);
        path.clear();
        if (answers_.empty()) return {};
        Answer answer = std::move(answers_.front());
        answers_.pop_front();
        if (!answer.status.ok()) return answer.status;
        path = std::move(answer.path);
        return {};
    } catch (...) {
        std::abort();  // test code: running out of memory here is not a case worth reporting
    }
}

tessavo::Status ScriptedUserInterface::MessageBox(const std::string& text, tessavo::MessageIcon icon,
                                                  const std::string& title) noexcept {
    try {
        messages_.push_back({text, icon, title});
        if (message_failures_.empty()) return {};
        tessavo::Status failure = std::move(message_failures_.front());
        message_failures_.pop_front();
        return failure;
    } catch (...) {
        std::abort();
    }
}

}  // namespace kzv_test
