#include "shell/err_handler.h"

#include <exception>
#include <new>
#include <stdexcept>

#include "resources/version_info.h"
#include "scenecalls/scene_calls.h"
#include "shell/component_state.h"

namespace imp_kzv {
namespace {

bool IsModule(std::string_view module) {
    return module == "Globals" || module == "mdlErrHandler";
}

std::string SourceOfCaller(std::string_view module) {
    return IsModule(module) ? std::string(kComponentSource) : class_source(module);
}

// The source that module-level code gives an error raised without one; determined on the first use in
// each thread and unchanged afterwards.
const std::string& DefaultErrorSource() {
    std::string& cached = Component().default_error_source;
    if (cached.empty()) cached = kComponentSource;
    return cached;
}

ErrorValue Platform(Err number, std::string_view source) {
    return ErrorValue{number_of(number), std::string(default_description(number)), std::string(source)};
}

}  // namespace

std::string BuildErrSource(std::string_view source, std::string_view module,
                           std::string_view procedure) noexcept {
    try {
        std::string line(kProductName);
        line += '.';
        line += module;
        line += '.';
        line += procedure;
        // An empty source would only add an empty first line, so it is treated like the default.
        if (source.empty() || source == DefaultErrorSource()) return line;
        std::string trace(source);
        trace += "\r\n";
        trace += line;
        return trace;
    } catch (...) {
        return std::string();
    }
}

ErrorValue CurrentError(std::string_view caller_source) noexcept {
    try {
        try {
            if (std::current_exception()) std::rethrow_exception(std::current_exception());
            return ErrorValue{};
        } catch (const PluginError& e) {
            return e.value();
        } catch (const std::bad_alloc&) {
            return Platform(Err::OutOfMemory, caller_source);
        } catch (const std::length_error&) {
            return Platform(Err::OutOfMemory, caller_source);
        } catch (const std::out_of_range&) {
            return Platform(Err::SubscriptOutOfRange, caller_source);
        } catch (const std::overflow_error&) {
            return Platform(Err::Overflow, caller_source);
        } catch (const std::exception& e) {
            return ErrorValue{number_of(Err::Internal), e.what(), std::string(caller_source)};
        } catch (...) {
            return Platform(Err::Internal, caller_source);
        }
    } catch (...) {
        // Not even the error value could be built: keep at least its number.
        ErrorValue out_of_memory;
        out_of_memory.number = number_of(Err::OutOfMemory);
        return out_of_memory;
    }
}

void ReportErrToHost(const ErrorValue& error, std::string_view module, std::string_view procedure) noexcept {
    try {
        const std::string trace = BuildErrSource(error.source, module, procedure);
        SceneCalls(kComponentSource).ReportError(error.number, error.description, trace);
    } catch (...) {
        // The report is lost, but the host's call must still end normally.
    }
}

void ReportErrToHost(std::string_view module, std::string_view procedure) noexcept {
    try {
        ReportErrToHost(CurrentError(SourceOfCaller(module)), module, procedure);
    } catch (...) {
        // As above: a report that cannot even be built is dropped.
    }
}

void RaiseErrToCaller(const ErrorValue& error, std::string_view module, std::string_view procedure) {
    throw PluginError(
        ErrorValue{error.number, error.description, BuildErrSource(error.source, module, procedure)});
}

void RaiseErrToCaller(std::string_view module, std::string_view procedure) {
    RaiseErrToCaller(CurrentError(SourceOfCaller(module)), module, procedure);
}

tessavo::Status ToStatus(const ErrorValue& error) noexcept {
    return tessavo::FailureNoThrow(error.number, error.description, error.source);
}

}  // namespace imp_kzv
