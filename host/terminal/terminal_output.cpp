#include "host/terminal/terminal_output.h"

#include <algorithm>
#include <cstdio>

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

std::string format_error_report(std::int32_t number, std::string_view description, std::string_view source) {
    std::string out = "error " + std::to_string(number);
    if (number < 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, " (0x%08X)", static_cast<unsigned>(number));
        out += hex;
    }
    out += ": ";
    out += description;
    while (!source.empty()) {
        const std::size_t end = source.find("\r\n");
        out += "\n  ";
        out += source.substr(0, end);
        if (end == std::string_view::npos) break;
        source.remove_prefix(end + 2);
    }
    return out;
}

TerminalOutput::TerminalOutput(std::ostream& out, bool tty, bool quiet)
    : out_(out), show_bar_(tty && !quiet), quiet_(quiet) {}

void TerminalOutput::info(std::string_view text) {
    if (!quiet_) write_line(text);
}

void TerminalOutput::error(std::string_view text) {
    write_line(text);
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

void TerminalOutput::write_line(std::string_view text) {
    clear_bar();
    out_ << printable(text, true) << '\n';
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
