// Minimal JSON text output for the call log (the framework uses the standard library only).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessavo::json {

// Appends text as a JSON string: UTF-8 kept, each byte of an invalid UTF-8 sequence replaced by
// U+FFFD, control characters escaped (NUL as \u0000).
void AppendString(std::string& out, std::string_view text);

// Appends a double in shortest round-trip form; NaN and infinities as the strings "NaN",
// "Infinity" and "-Infinity", since JSON numbers cannot hold them.
void AppendNumber(std::string& out, double value);

void AppendInteger(std::string& out, std::int64_t value);

}  // namespace tessavo::json
