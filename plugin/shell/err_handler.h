// mdlErrHandler: how errors travel up through the plug-in and reach the host.
//
// A procedure with a handler catches everything in its body and either passes the error on with
// RaiseErrToCaller (one more trace line) or, at the top of a host call, reports it with
// ReportErrToHost and returns normally. Each line the plug-in adds reads
// "Imp_KZV_Plugin.<module>.<procedure>"; lines are separated by CR LF, with none after the last.
//
//   void clsPlugin::CreateStatePolygon(...) try { ... } catch (...) {
//       RaiseErrToCaller("clsPlugin", "CreateStatePolygon");
//   }
#pragma once

#include <string>
#include <string_view>

#include "common/plugin_error.h"
#include "tessavo/host_scene.h"

namespace imp_kzv {

// The trace after one more handler: source followed by the handler's line, or the handler's line
// alone when source is the default error source (an error the plug-in raised in module-level code
// without a source of its own) or empty. Never throws.
std::string BuildErrSource(std::string_view source, std::string_view module,
                           std::string_view procedure) noexcept;

// The error being handled. Call only inside a catch block. A PluginError keeps its value; failures that
// C++ signals its own ways become the platform's numbered errors (7 out of memory, 9 subscript out of
// range, 6 overflow, 51 anything else) with caller_source, the source of the code that caught them
// ("Imp_KZV" in module-level code, "Imp_KZV.<class>" in a member of a class).
ErrorValue CurrentError(std::string_view caller_source) noexcept;

// Reports error to the host through ReportError, its source extended by one line. A report that cannot
// be delivered is dropped: the host's call still ends normally.
void ReportErrToHost(const ErrorValue& error, std::string_view module, std::string_view procedure) noexcept;
// The same for the error being handled (inside a catch block); module is the module or class name.
void ReportErrToHost(std::string_view module, std::string_view procedure) noexcept;

// Raises error again towards the caller, its source extended by one line.
[[noreturn]] void RaiseErrToCaller(const ErrorValue& error, std::string_view module,
                                   std::string_view procedure);
// The same for the error being handled (inside a catch block).
[[noreturn]] void RaiseErrToCaller(std::string_view module, std::string_view procedure);

// An error value as the status of a contract call.
tessavo::Status ToStatus(const ErrorValue& error) noexcept;

}  // namespace imp_kzv
