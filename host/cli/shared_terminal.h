// Terminal output shared by the threads of a batch import: every call writes whole lines under one
// lock, so that lines of different files never mix inside a line, and a line of a file in a batch
// starts with the file's name.
#pragma once

#include <mutex>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "host/scene/scene_host.h"
#include "host/terminal/terminal_output.h"

namespace kzv::cli {

// Every line of text (split at '\n') with prefix in front; empty text gives one line of the prefix.
std::string prefix_lines(std::string_view prefix, std::string_view text);

class SharedTerminal {
  public:
    // Lines go to err (a progress bar too, when tty and not quiet), summaries to out.
    SharedTerminal(std::ostream& err, bool tty, bool quiet, std::ostream& out);
    SharedTerminal(const SharedTerminal&) = delete;
    SharedTerminal& operator=(const SharedTerminal&) = delete;

    // A line that quiet hides (notices, warnings, completion), and a line always written; line
    // breaks and other control characters in them are escaped.
    void info(std::string_view prefix, std::string_view line);
    void error(std::string_view prefix, std::string_view line);
    // Lines always written together, each prefixed.
    void error_lines(std::string_view prefix, std::span<const std::string> lines);
    void progress(const host::ProgressState& state);
    // Text for stdout (a scene summary), each line prefixed, written and flushed in one piece; control
    // characters of the text are escaped, newlines kept. False when stdout did not take all of it.
    bool print(std::string_view prefix, std::string_view text);

  private:
    std::mutex mutex_;
    host::TerminalOutput terminal_;
    std::ostream& out_;
};

// What one import writes: its lines and summary, named after its file in a batch. In a batch the
// plug-in's own progress is not shown: the bar counts files instead.
class FileTerminal {
  public:
    // prefix: what each line starts with, control characters escaped here.
    FileTerminal(SharedTerminal& shared, std::string_view prefix, bool show_plugin_progress)
        : shared_(shared), prefix_(host::printable(prefix)), show_plugin_progress_(show_plugin_progress) {}

    void info(std::string_view line) { shared_.info(prefix_, line); }
    void error(std::string_view line) { shared_.error(prefix_, line); }
    // The report's first line and its trace, a long trace shortened (error_report_lines).
    void error_report(std::int32_t number, std::string_view description, std::string_view source) {
        shared_.error_lines(prefix_, host::error_report_lines(number, description, source));
    }
    void plugin_progress(const host::ProgressState& state) {
        if (show_plugin_progress_) shared_.progress(state);
    }
    bool print(std::string_view text) { return shared_.print(prefix_, text); }

  private:
    SharedTerminal& shared_;
    std::string prefix_;
    bool show_plugin_progress_;
};

}  // namespace kzv::cli
