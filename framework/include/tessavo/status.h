// The outcome of every framework contract call: success, or an error with the failing side's number,
// description and source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tessavo {

// Outcome of a contract call: number 0 is success; otherwise an error with the failing side's
// number, description and source.
struct [[nodiscard]] Status {
    std::int32_t number = 0;
    std::string description;
    std::string source;

    bool ok() const noexcept { return number == 0; }
    static Status success() noexcept { return {}; }
    static Status failure(std::int32_t number, std::string description, std::string source) {
        return Status{number, std::move(description), std::move(source)};
    }
};

// Builds a failure status without ever throwing: if the texts cannot be allocated, the status keeps
// only its number. For noexcept code paths that report an error.
inline Status FailureNoThrow(std::int32_t number, std::string_view description,
                             std::string_view source) noexcept {
    Status status;
    status.number = number;
    try {
        status.description = description;
        status.source = source;
    } catch (...) {
        status.description.clear();
        status.source.clear();
    }
    return status;
}

}  // namespace tessavo
