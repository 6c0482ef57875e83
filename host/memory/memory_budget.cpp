#include "host/memory/memory_budget.h"

#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>

namespace kzv::host::memory_budget {
namespace {

constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();

// The control group's memory limit (version 2, else version 1), or none.
std::optional<std::size_t> control_group_limit() {
    for (const char* file : {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
        std::ifstream in(file);
        std::string text;
        if (!(in >> text)) continue;
        std::size_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc() && end == text.data() + text.size()) return value;
    }
    return std::nullopt;
}

std::size_t physical_memory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), page_size = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0) return 0;
    const auto count = static_cast<std::size_t>(pages), size = static_cast<std::size_t>(page_size);
    return count > kMax / size ? kMax : count * size;
}

// The power of 1024 that a suffix stands for, consuming it; 1 for none, 0 for an unknown one.
std::size_t take_unit(std::string_view& text) {
    if (text.empty()) return 1;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
    const std::string_view letters = "KMGT";
    const std::size_t power = letters.find(letter);
    if (power == std::string_view::npos) return 0;
    text.remove_prefix(1);
    if (text == "B" || text == "b" || text == "iB" || text == "ib") text = {};
    return std::size_t{1} << (10 * (power + 1));
}

}  // namespace

std::size_t default_limit() {
    std::size_t memory = physical_memory();
    if (const std::optional<std::size_t> group = control_group_limit(); group && *group < memory)
        memory = *group;
    return memory / 2;
}

std::optional<std::size_t> parse_size(std::string_view text) {
    std::size_t whole = 0;
    const auto [whole_end, whole_error] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (whole_error != std::errc() || whole_end == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(whole_end - text.data()));
    std::string_view fraction;
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        std::size_t digits = 0;
        while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
        if (digits == 0 || digits > 6) return std::nullopt;
        fraction = text.substr(0, digits);
        text.remove_prefix(digits);
    }
    const std::size_t unit = take_unit(text);
    if (unit == 0 || !text.empty() || whole > kMax / unit) return std::nullopt;
    std::size_t tenths = 0, scale = 1;  // the fraction as an integer over `scale`
    for (const char digit : fraction) {
        tenths = tenths * 10 + static_cast<std::size_t>(digit - '0');
        scale *= 10;
    }
    const std::size_t part = unit / scale * tenths + unit % scale * tenths / scale;
    if (whole * unit > kMax - part) return std::nullopt;
    return whole * unit + part;
}

std::string format_size(std::size_t bytes) {
    const char* const units = "KMGT";
    for (int power = 4; power >= 1; --power) {
        const std::size_t unit = std::size_t{1} << (10 * power);
        if (bytes < unit) continue;
        char text[32];
        if (bytes % unit == 0) {
            std::snprintf(text, sizeof text, "%zu%c", bytes / unit, units[power - 1]);
        } else {
            std::snprintf(text, sizeof text, "%.1f%c", static_cast<double>(bytes) / static_cast<double>(unit),
                          units[power - 1]);
        }
        return text;
    }
    return std::to_string(bytes);
}

}  // namespace kzv::host::memory_budget
