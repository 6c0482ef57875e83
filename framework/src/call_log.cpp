#include "tessavo/call_log.h"

#include "json.h"
#include "tessavo/framework_objects.h"

namespace tessavo {
namespace {

void Append(std::string& out, std::int32_t value) {
    json::AppendInteger(out, value);
}
void Append(std::string& out, std::int16_t value) {
    json::AppendInteger(out, value);
}
void Append(std::string& out, std::uint8_t value) {
    json::AppendInteger(out, value);
}
void Append(std::string& out, double value) {
    json::AppendNumber(out, value);
}
void Append(std::string& out, const std::string& text) {
    json::AppendString(out, text);
}
void Append(std::string& out, MessageIcon icon) {
    json::AppendString(out, MessageIconName(icon));
}

template <class Range>
void AppendList(std::string& out, const Range& values) {
    out += '[';
    bool first = true;
    for (const auto& value : values) {
        if (!first) out += ", ";
        first = false;
        Append(out, value);
    }
    out += ']';
}

template <class T, std::size_t N>
void Append(std::string& out, const std::array<T, N>& values) {
    AppendList(out, values);
}
void Append(std::string& out, const std::vector<double>& values) {
    AppendList(out, values);
}

// The JSON array of a call's arguments. Empty if it cannot be built (the line then shows []).
template <class... Values>
std::string Args(const Values&... values) noexcept {
    try {
        std::string out = "[";
        [[maybe_unused]] bool first = true;
        ((out += first ? "" : ", ", first = false, Append(out, values)), ...);
        out += ']';
        return out;
    } catch (...) {
        return std::string();
    }
}

template <class Value>
std::string Json(const Value& value) noexcept {
    try {
        std::string out;
        Append(out, value);
        return out;
    } catch (...) {
        return std::string();
    }
}

Status Missing() noexcept {
    return FailureNoThrow(kErrNotAttached, "The call log has no inner object for this call",
                          kFrameworkSource);
}

}  // namespace

Ref<CallLog> CallLog::Create(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink) {
    return MakeRef<CallLog>(std::move(host), std::move(ui), std::move(sink));
}

CallLog::CallLog(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink)
    : host_(std::move(host)), ui_(std::move(ui)), sink_(std::move(sink)) {}

void CallLog::Write(std::string_view op, std::string_view args, const Status& status,
                    std::string_view ret) noexcept {
    try {
        std::string line = "{\"op\": ";
        json::AppendString(line, op);
        line += ", \"args\": ";
        line += args.empty() ? "[]" : args;
        if (!status.ok()) {
            line += ", \"error\": {\"number\": ";
            json::AppendInteger(line, status.number);
            line += ", \"description\": ";
            json::AppendString(line, status.description);
            line += ", \"source\": ";
            json::AppendString(line, status.source);
            line += '}';
        } else if (!ret.empty()) {
            line += ", \"ret\": ";
            line += ret;
        }
        line += '}';
        std::lock_guard lock(mutex_);
        if (sink_) sink_(line);
    } catch (...) {
        // A log that cannot be written must not change the outcome of the call it records.
    }
}

Status CallLog::Attached() noexcept {
    Status status = host_ ? host_->Attached() : Missing();
    Write("AttachHost", "[]", status);
    return status;
}

// Every scene operation: its input arguments, then the call, then one line with its status and, for an
// operation with a result, the result.
#define TESSAVO_LOG(Name, parameters, arguments)                   \
    Status CallLog::Name parameters noexcept {                     \
        const std::string args = Args arguments;                   \
        Status status = host_ ? host_->Name arguments : Missing(); \
        Write(#Name, args, status);                                \
        return status;                                             \
    }
#define TESSAVO_LOG_RESULT(Name, parameters, arguments, inputs, input_arguments, Result, result) \
    Status CallLog::Name parameters noexcept {                                                   \
        const std::string args = Args input_arguments;                                           \
        Status status = host_ ? host_->Name arguments : Missing();                               \
        Write(#Name, args, status, Json(result));                                                \
        return status;                                                                           \
    }
TESSAVO_HOST_SCENE_OPERATIONS(TESSAVO_LOG, TESSAVO_LOG_RESULT)
#undef TESSAVO_LOG_RESULT
#undef TESSAVO_LOG

Status CallLog::OpenFileDialog(const std::string& filter, std::string& path) noexcept {
    const std::string args = Args(filter);
    Status status = ui_ ? ui_->OpenFileDialog(filter, path) : Missing();
    Write("OpenFileDialog", args, status, Json(path));
    return status;
}

Status CallLog::MessageBox(const std::string& text, MessageIcon icon, const std::string& title) noexcept {
    const std::string args = Args(text, icon, title);
    Status status = ui_ ? ui_->MessageBox(text, icon, title) : Missing();
    Write("MessageBox", args, status);
    return status;
}

}  // namespace tessavo
