#include "tessavo/user_interface.h"

#include <filesystem>
#include <iostream>
#include <limits>

#include "tessavo/framework_objects.h"

namespace tessavo {
namespace {

// A path longer than this is no file name; reading stops there instead of growing without bound.
constexpr std::size_t kMaxAnswerLength = 65536;

// Reads one line from stdin. False at end of input (the user's cancel) or for an over-long line,
// whose rest is skipped.
bool ReadAnswerLine(std::string& line) {
    line.clear();
    for (;;) {
        const int c = std::cin.get();
        if (c == std::char_traits<char>::eof()) {
            std::cin.clear();
            return !line.empty();
        }
        if (c == '\n') return true;
        if (line.size() == kMaxAnswerLength) {
            std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            line.clear();
            return false;
        }
        line += static_cast<char>(c);
    }
}

// The answer made absolute against the working folder, otherwise as typed: only "." segments go.
// ".." is kept, since "link/.." need not be the folder that holds "link" when "link" is a symbolic link.
std::string AbsoluteAsTyped(const std::string& answer) {
    const std::filesystem::path absolute = std::filesystem::absolute(answer);
    std::filesystem::path kept;
    for (const auto& part : absolute) {
        if (part != ".") kept /= part;
    }
    return kept.string();
}

// The service of every thread until a host installs its own: a terminal conversation.
// It lives as long as the program, so its reference count is not kept.
class TerminalUserInterface final : public IUserInterface {
  public:
    std::uint32_t AddRef() noexcept override { return 1; }
    std::uint32_t Release() noexcept override { return 1; }

    Status OpenFileDialog(const std::string& filter, std::string& path) noexcept override {
        path.clear();
        try {
            std::cerr << "Open file [" << filter << "] (empty line or end of input cancels): " << std::flush;
            std::string line;
            if (!ReadAnswerLine(line)) return {};
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) path = AbsoluteAsTyped(line);
            return {};
        } catch (...) {
            path.clear();
            return FailureNoThrow(kErrInvalidArgument, "The file name could not be read", kFrameworkSource);
        }
    }

    Status MessageBox(const std::string& text, MessageIcon icon, const std::string& title) noexcept override {
        try {
            std::cerr << title << " (" << MessageIconName(icon) << "): " << text << '\n' << std::flush;
            return {};
        } catch (...) {
            return FailureNoThrow(kErrInvalidArgument, "The message could not be shown", kFrameworkSource);
        }
    }
};

TerminalUserInterface& Terminal() noexcept {
    static TerminalUserInterface terminal;
    return terminal;
}

thread_local Ref<IUserInterface> current_service;

}  // namespace

std::string MessageIconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return "none";
        case MessageIcon::Critical:
            return "critical";
        case MessageIcon::Question:
            return "question";
        case MessageIcon::Exclamation:
            return "exclamation";
        case MessageIcon::Information:
            return "information";
    }
    return std::to_string(static_cast<std::int32_t>(icon));
}

IUserInterface& CurrentUserInterface() noexcept {
    if (current_service) return *current_service;
    return Terminal();
}

Ref<IUserInterface> SetUserInterface(IUserInterface* ui) noexcept {
    Ref<IUserInterface> previous = std::move(current_service);
    current_service = Ref<IUserInterface>(ui);
    return previous;
}

}  // namespace tessavo
