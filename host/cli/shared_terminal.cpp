#include "host/cli/shared_terminal.h"

namespace kzv::cli {

std::string prefix_lines(std::string_view prefix, std::string_view text) {
    if (prefix.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size() + prefix.size());
    while (true) {
        const std::size_t end = text.find('\n');
        out.append(prefix).append(text.substr(0, end));
        if (end == std::string_view::npos) break;
        out += '\n';
        text.remove_prefix(end + 1);
    }
    return out;
}

SharedTerminal::SharedTerminal(std::ostream& err, bool tty, bool quiet, std::ostream& out)
    : terminal_(err, tty, quiet), out_(out) {}

void SharedTerminal::info(std::string_view prefix, std::string_view text) {
    const std::string lines = prefix_lines(prefix, text);
    const std::lock_guard lock(mutex_);
    terminal_.info(lines);
}

void SharedTerminal::error(std::string_view prefix, std::string_view text) {
    const std::string lines = prefix_lines(prefix, text);
    const std::lock_guard lock(mutex_);
    terminal_.error(lines);
}

void SharedTerminal::progress(const host::ProgressState& state) {
    const std::lock_guard lock(mutex_);
    terminal_.progress(state);
}

void SharedTerminal::print(std::string_view prefix, std::string_view text) {
    // A summary ends with a newline; the prefix belongs to the lines before it only.
    const bool newline_at_end = !text.empty() && text.back() == '\n';
    if (newline_at_end) text.remove_suffix(1);
    std::string lines = prefix_lines(prefix, host::printable(text, true));
    if (newline_at_end) lines += '\n';
    const std::lock_guard lock(mutex_);
    out_ << lines << std::flush;
}

}  // namespace kzv::cli
