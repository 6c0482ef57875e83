// Terminal output of kzv-import: message lines on stderr and, on a terminal, a progress bar that
// the lines print around.
//
// Thread use: one thread at a time (the plug-in reports synchronously on the import's thread).
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kzv::host {

struct ProgressState;

// text with control characters (C0, DEL, C1) written as \xNN, so that a name from a scene file
// cannot move the cursor or recolour the terminal. keep_newlines leaves '\n' as it is.
std::string printable(std::string_view text, bool keep_newlines = false);

// One line of progress, `[#####-----] 12/40`, width characters of bar. A value above the maximum
// fills the bar; a maximum of 0 or less shows the value alone.
std::string render_progress(std::int32_t value, std::int32_t maximum, int width = 30);

// An error report as lines: "error N: description" (negative numbers also in hex, as hosts write
// them), then each line of the source trace (CR LF separated) indented by two spaces. Of a trace
// longer than most_trace_lines, the first and the last half of that are kept, with a line between
// that counts the lines left out.
std::vector<std::string> error_report_lines(std::int32_t number, std::string_view description,
                                            std::string_view source, std::size_t most_trace_lines = 20);

class TerminalOutput {
  public:
    // tty: out is a terminal, so a progress bar may be drawn. quiet: only errors are written.
    TerminalOutput(std::ostream& out, bool tty, bool quiet);
    TerminalOutput(const TerminalOutput&) = delete;
    TerminalOutput& operator=(const TerminalOutput&) = delete;

    // A line that quiet hides (notices, warnings, completion). Every control character of it is
    // escaped, line breaks too, so that a name inside it cannot begin a line of its own.
    void info(std::string_view line);
    // A line that is always written, escaped in the same way.
    void error(std::string_view line);
    // Lines that are always written together (an error report), each escaped as a line.
    void error_lines(std::span<const std::string> lines);
    // Shows, updates or hides the progress bar (only on a terminal and when not quiet). Redraws
    // are limited to a few per second, so a million small steps cost no terminal time.
    void progress(const ProgressState& state);

  private:
    void write_lines(std::span<const std::string_view> lines);
    void draw_bar();
    void clear_bar();

    std::ostream& out_;
    bool show_bar_;
    bool quiet_;
    bool bar_drawn_ = false;
    bool bar_visible_ = false;
    std::int32_t value_ = 0;
    std::int32_t maximum_ = 0;
    std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace kzv::host
