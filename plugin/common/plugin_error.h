// The one error value of the plug-in: number, description and source.
//
// Inside the plug-in every failure travels as a PluginError exception. It is raised where the failure
// arises, with source "Imp_KZV" in module-level code and "Imp_KZV.<class>" in a member of a class, and
// is turned into a status (or a report to the host) before anything crosses a binary boundary.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace imp_kzv {

// Numbers of the platform's error facility that the plug-in raises itself.
enum class Err : std::int32_t {
    InvalidProcedureCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    TypeMismatch = 13,
    FileNotFound = 53,
    InputPastEndOfFile = 62,
    ResourceNotFound = 326,
    // Object-defined errors of the component: the platform's object error base 0x80040000 plus 1000 on.
    GroupCycle = -2147221504 + 1000,
};

constexpr std::string_view default_description(Err e) {
    switch (e) {
        case Err::InvalidProcedureCall: return "Invalid procedure call or argument";
        case Err::Overflow: return "Overflow";
        case Err::OutOfMemory: return "Out of memory";
        case Err::SubscriptOutOfRange: return "Subscript out of range";
        case Err::DivisionByZero: return "Division by zero";
        case Err::TypeMismatch: return "Type mismatch";
        case Err::FileNotFound: return "File not found";
        case Err::InputPastEndOfFile: return "Input past end of file";
        case Err::ResourceNotFound: return "Resource with this identifier not found";
        case Err::GroupCycle: return "A group lists one of its own ancestors as a child group";
    }
    return "Unexpected error";
}

// Source of an error raised in a module-level procedure (the modules Globals and mdlErrHandler).
inline constexpr std::string_view kComponentSource = "Imp_KZV";

// Source of an error raised in a member of one of the component's classes, e.g. "Imp_KZV.p3dMesh".
inline std::string class_source(std::string_view class_name) {
    std::string s(kComponentSource);
    s += '.';
    s += class_name;
    return s;
}

struct ErrorValue {
    std::int32_t number = 0;
    std::string description;
    std::string source;  // a source trace: lines separated by CR LF
};

class PluginError : public std::exception {
public:
    explicit PluginError(ErrorValue value) : value_(std::move(value)) {}
    PluginError(Err number, std::string description, std::string source)
        : value_{static_cast<std::int32_t>(number), std::move(description), std::move(source)} {}

    const ErrorValue& value() const noexcept { return value_; }
    std::int32_t number() const noexcept { return value_.number; }
    const std::string& description() const noexcept { return value_.description; }
    const std::string& source() const noexcept { return value_.source; }
    const char* what() const noexcept override { return value_.description.c_str(); }

private:
    ErrorValue value_;
};

[[noreturn]] inline void raise(Err number, std::string description, std::string source) {
    throw PluginError(number, std::move(description), std::move(source));
}

}  // namespace imp_kzv
