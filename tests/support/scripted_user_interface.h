// A user interface for tests: the open-file dialog answers from a queue, message boxes are recorded.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "tessavo/user_interface.h"

namespace kzv_test {

class ScriptedUserInterface final : public tessavo::RefCounted<tessavo::IUserInterface> {
  public:
    struct Message {
        std::string text;
        tessavo::MessageIcon icon;
        std::string title;
        bool operator==(const Message&) const = default;
    };

    // Queues the dialog's next answer; "" is a cancel. With the queue empty the dialog cancels.
    void AnswerDialog(std::string path) { answers_.push_back({std::move(path), {}}); }
    // Queues a dialog that fails with status.
    void FailDialog(tessavo::Status status) { answers_.push_back({{}, std::move(status)}); }
    // Makes the next message box that has no failure queued yet fail with status (it is still recorded).
    void FailMessageBox(tessavo::Status status) { message_failures_.push_back(std::move(status)); }

    const std::vector<std::string>& dialog_filters() const noexcept { return filters_; }
    const std::vector<Message>& messages() const noexcept { return messages_; }

    tessavo::Status OpenFileDialog(const std::string& filter, std::string& path) noexcept override;
    tessavo::Status MessageBox(const std::string& text, tessavo::MessageIcon icon,
                               const std::string& title) noexcept override;

  private:
    struct Answer {
        std::string path;
        tessavo::Status status;
    };
    std::deque<Answer> answers_;
    std::deque<tessavo::Status> message_failures_;
    std::vector<std::string> filters_;
    std::vector<Message> messages_;
};

}  // namespace kzv_test
