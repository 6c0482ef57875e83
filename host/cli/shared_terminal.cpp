#include "host/cli/shared_terminal.h"

#include <vector>

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

void SharedTerminal::info(std::string_view prefix, std::string_view line) {
    const std::string text = std::string(prefix).append(line);
    const std::lock_guard lock(mutex_);
    terminal_.info(text);
}

void SharedTerminal::error(std::string_view prefix, std::string_view line) {
    const std::string text = std::string(prefix).append(line);
    const std::lock_guard lock(mutex_);
    terminal_.error(text);
}

void SharedTerminal::error_lines(std::string_view prefix, std::span<const std::string> lines) {
    std::vector<std::string> prefixed;
    prefixed.reserve(lines.size());
    for (const std::string& line : lines) prefixed.push_back(std::string(prefix).append(line));
    const std::lock_guard lock(mutex_);
    terminal_.error_lines(prefixed);
}

void SharedTerminal::progress(const host::ProgressState& state) {
    const std::lock_guard lock(mutex_);
    terminal_.progress(state);
}

bool SharedTerminal::print(std::string_view prefix, std::string_view text) {
    // A summary ends with a newline; the prefix belongs to the lines before it only.
    const bool newline_at_end = !text.empty() && text.back() == '\n';
    if (newline_at_end) text.remove_suffix(1);
    std::string lines = prefix_lines(prefix, host::printable(text, true));
    if (newline_at_end) lines += '\n';
    const std::lock_guard lock(mutex_);
    out_ << lines << std::flush;
    return out_.good();
}

}  // namespace kzv::cli
