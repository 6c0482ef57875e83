#include "host/terminal/terminal_output.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "host/scene/scene_host.h"

namespace kzv::host {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string hex_escape(unsigned char byte) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
    return buffer;
}

// Length of the well-formed UTF-8 sequence at the start of text (1 to 4), or 0.
std::size_t utf8_sequence_length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

std::string printable(std::string_view text, bool keep_newlines) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        if (byte < 0x80) {
            const bool control = byte < 0x20 || byte == 0x7F;
            if (control && !(keep_newlines && byte == '\n')) {
                out += hex_escape(byte);
            } else {
                out += static_cast<char>(byte);
            }
            text.remove_prefix(1);
            continue;
        }
        const std::size_t length = utf8_sequence_length(text);
        // U+0080..U+009F are the C1 controls, which some terminals obey (CSI is U+009B).
        const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
        if (length == 0 || c1) {
            out += hex_escape(byte);
            text.remove_prefix(1);
            continue;
        }
        out.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return out;
}

std::string render_progress(std::int32_t value, std::int32_t maximum, int width) {
    const std::string count = std::to_string(value);
    if (maximum <= 0) return "[" + count + "]";
    const double fraction = std::clamp(static_cast<double>(value) / maximum, 0.0, 1.0);
    const int filled = static_cast<int>(fraction * width);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(width - filled), '-') + "] " + count + "/" +
           std::to_string(maximum);
}

namespace {

// The first `count` lines of the trace (CR LF separated), indented.
void add_trace_lines(std::vector<std::string>& out, std::string_view source, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = source.find("\r\n");
        out.push_back("  " + std::string(source.substr(0, end)));
        if (end == std::string_view::npos) break;
        source.remove_prefix(end + 2);
    }
}

// Where the last `count` lines of the trace begin.
std::size_t start_of_last_lines(std::string_view source, std::size_t count) {
    std::size_t start = 0;
    std::size_t before = source.size();  // the separator found last begins here
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = before == 0 ? std::string_view::npos : source.rfind("\r\n", before - 1);
        if (end == std::string_view::npos) return 0;
        start = end + 2;
        before = end;
    }
    return start;
}

std::size_t count_trace_lines(std::string_view source) {
    if (source.empty()) return 0;
    std::size_t lines = 1;
    for (std::size_t at = source.find("\r\n"); at != std::string_view::npos; at = source.find("\r\n", at + 2))
        ++lines;
    return lines;
}

}  // namespace

std::vector<std::string> error_report_lines(std::int32_t number, std::string_view description,
                                            std::string_view source, std::size_t most_trace_lines) {
    std::string first = "error " + std::to_string(number);
    if (number < 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, " (0x%08X)", static_cast<unsigned>(number));
        first += hex;
    }
    first += ": ";
    first += description;
    std::vector<std::string> lines{std::move(first)};
    const std::size_t trace_lines = count_trace_lines(source);
    if (trace_lines <= most_trace_lines) {
        add_trace_lines(lines, source, trace_lines);
        return lines;
    }
    const std::size_t head = most_trace_lines / 2, tail = most_trace_lines - head;
    add_trace_lines(lines, source, head);
    lines.push_back("  ... " + std::to_string(trace_lines - head - tail) + " more lines ...");
    add_trace_lines(lines, source.substr(start_of_last_lines(source, tail)), tail);
    return lines;
}

TerminalOutput::TerminalOutput(std::ostream& out, bool tty, bool quiet)
    : out_(out), show_bar_(tty && !quiet), quiet_(quiet) {}

void TerminalOutput::info(std::string_view line) {
    if (!quiet_) write_lines({&line, 1});
}

void TerminalOutput::error(std::string_view line) {
    write_lines({&line, 1});
}

void TerminalOutput::error_lines(std::span<const std::string> lines) {
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    write_lines(views);
}

void TerminalOutput::progress(const ProgressState& state) {
    if (!show_bar_) return;
    // Showing the bar or a new maximum is drawn at once; steps are throttled.
    const bool changed = (state.visible && !bar_visible_) || state.maximum != maximum_;
    bar_visible_ = state.visible;
    value_ = state.value;
    maximum_ = state.maximum;
    if (!bar_visible_) {
        clear_bar();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (changed || now - last_draw_ >= kRedrawInterval) {
        last_draw_ = now;
        draw_bar();
    }
}

void TerminalOutput::write_lines(std::span<const std::string_view> lines) {
    clear_bar();
    for (const std::string_view line : lines) out_ << printable(line) << '\n';
    if (bar_visible_) draw_bar();
    out_.flush();
}

void TerminalOutput::draw_bar() {
    // \r and "erase to end of line" overwrite the previous bar in place.
    out_ << "\r\x1b[K" << render_progress(value_, maximum_) << std::flush;
    bar_drawn_ = true;
}

void TerminalOutput::clear_bar() {
    if (!bar_drawn_) return;
    out_ << "\r\x1b[K" << std::flush;
    bar_drawn_ = false;
}

}  // namespace kzv::host
