// A call log of everything a plug-in asks of its host and of the user.
//
// CallLog sits between a plug-in and the real host application and user interface: it forwards every
// call to the inner object unchanged and writes one JSON object per call, one line each, in call order:
//   {"op": "CreateGroup", "args": ["Box01"], "ret": 5}
//   {"op": "SetGroupParent", "args": [5, 0]}
//   {"op": "CreatePolygon", "args": [], "error": {"number": 6, "description": "Overflow", "source": "Host"}}
// "ret" appears only for calls whose result the plug-in relies on (handles, the LCID, the dialog's
// path); a failed call carries "error" instead. Arguments keep the order of the host scene operations.
// Integers (handles, counts, kinds, colour bytes) are JSON integers, automation booleans -1 and 0;
// doubles are in shortest round-trip form, NaN and infinities the strings "NaN", "Infinity",
// "-Infinity"; texts are JSON strings (invalid UTF-8 replaced by U+FFFD, NUL as \u0000); icons are
// "information", "exclamation", ... Attached() is logged as "AttachHost".
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "tessavo/host_scene.h"
#include "tessavo/object.h"
#include "tessavo/user_interface.h"

namespace tessavo {

class CallLog final : public RefCounted<IHostApplication, IUserInterface> {
  public:
    // Receives each line, without its line feed. Called with the log's lock held, so lines from
    // several threads never interleave. What it throws is swallowed.
    using Sink = std::function<void(std::string_view line)>;

    // Either inner object may be null: calls towards a missing one fail with kErrNotAttached (and are
    // logged so).
    static Ref<CallLog> Create(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink);

    Status Attached() noexcept override;
#define TESSAVO_LOGGED(Name, parameters, arguments) Status Name parameters noexcept override;
#define TESSAVO_LOGGED_RESULT(Name, parameters, arguments, inputs, input_arguments, Result, result) \
    TESSAVO_LOGGED(Name, parameters, arguments)
    TESSAVO_HOST_SCENE_OPERATIONS(TESSAVO_LOGGED, TESSAVO_LOGGED_RESULT)
#undef TESSAVO_LOGGED_RESULT
#undef TESSAVO_LOGGED

    Status OpenFileDialog(const std::string& filter, std::string& path) noexcept override;
    Status MessageBox(const std::string& text, MessageIcon icon, const std::string& title) noexcept override;

    // Use Create.
    CallLog(Ref<IHostApplication> host, Ref<IUserInterface> ui, Sink sink);

  private:
    // Writes one line; ret (a JSON value, empty for none) is written only after a success.
    void Write(std::string_view op, std::string_view args, const Status& status,
               std::string_view ret = {}) noexcept;

    Ref<IHostApplication> host_;
    Ref<IUserInterface> ui_;
    Sink sink_;
    std::mutex mutex_;
};

}  // namespace tessavo
