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

// Every error number the plug-in raises itself, with its default description and when it is raised:
// the numbers of the platform's error facility, and the component's own errors from the object error
// base 0x80040000 plus 1000 on. A description at a raise site is the default one, optionally followed by
// details (raise, raise_continued).
// clang-format off
#define IMP_KZV_ERROR_TABLE(X)                                                                            \
    X(InvalidProcedureCall, 5, "Invalid procedure call or argument") /* an unacceptable argument */       \
    X(Overflow, 6, "Overflow")                   /* a value does not fit its target type */                \
    X(OutOfMemory, 7, "Out of memory")           /* a failed allocation, a tree beyond the work limit */   \
    X(SubscriptOutOfRange, 9, "Subscript out of range") /* an index outside its list, invalid bounds */    \
    X(DivisionByZero, 11, "Division by zero")    /* a slot reduced by an empty multi-material */           \
    X(TypeMismatch, 13, "Type mismatch")         /* a record object this component did not create */       \
    X(Internal, 51, "Internal error")            /* a C++ failure with no better number */                 \
    X(BadFileNumber, 52, "Bad file name or number") /* a read after close, a file number not open */       \
    X(FileNotFound, 53, "File not found")        /* nothing at the scene file's path */                    \
    X(DeviceIO, 57, "Device I/O error")          /* a failed read, or the file shrank while read */        \
    X(InputPastEndOfFile, 62, "Input past end of file") /* a field or count beyond the end of the file */  \
    X(PermissionDenied, 70, "Permission denied") /* the scene file may not be read */                      \
    X(PathFileAccess, 75, "Path/File access error") /* a folder, a special file, or an open that failed */ \
    X(ObjectNotSet, 91, "Object variable or With block variable not set") /* no host scene interface, or   \
                                                                             a null record in a list */    \
    X(ResourceNotFound, 326, "Resource with this identifier not found") /* a string id not in the table */ \
    X(GroupCycle, -2147221504 + 1000, "Group cycle") /* a group lists one of its own ancestors */
// clang-format on

enum class Err : std::int32_t {
#define IMP_KZV_ERROR_NUMBER(name, number, description) name = number,
    IMP_KZV_ERROR_TABLE(IMP_KZV_ERROR_NUMBER)
#undef IMP_KZV_ERROR_NUMBER
};

constexpr std::string_view default_description(Err e) {
    switch (e) {
#define IMP_KZV_ERROR_DESCRIPTION(name, number, description) \
    case Err::name:                                          \
        return description;
        IMP_KZV_ERROR_TABLE(IMP_KZV_ERROR_DESCRIPTION)
#undef IMP_KZV_ERROR_DESCRIPTION
    }
    return "Unexpected error";
}

constexpr std::int32_t number_of(Err e) {
    return static_cast<std::int32_t>(e);
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

// Raises number with its default description, followed by ": " and detail when detail is not empty.
[[noreturn]] inline void raise(Err number, std::string_view detail, std::string source) {
    std::string description(default_description(number));
    if (!detail.empty()) {
        description += ": ";
        description += detail;
    }
    throw PluginError(number, std::move(description), std::move(source));
}

// Raises number with its default description followed directly by tail (e.g. " (string id 101)").
[[noreturn]] inline void raise_continued(Err number, std::string_view tail, std::string source) {
    std::string description(default_description(number));
    description += tail;
    throw PluginError(number, std::move(description), std::move(source));
}

}  // namespace imp_kzv
