// The host scene interface: everything a plug-in asks of the host's scene, progress display,
// messages, error report and locale.
//
// Conventions, as for every framework contract:
// - Every operation is noexcept and returns a Status; results come back through out-parameters.
// - Handles are 32-bit host-issued integers; group handle 0 means "no parent".
// - Reals are doubles, booleans the 16-bit automation form (true -1, false 0), arrays are
//   zero-based and passed by reference.
// - Texts are UTF-8. The framework, the plug-in and the host are built against the same C++
//   standard library, so std::string and std::vector may cross the boundary.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tessavo/host_scene_operations.h"
#include "tessavo/object.h"
#include "tessavo/status.h"

namespace tessavo {

using Handle = std::int32_t;
using VBool = std::int16_t;
inline constexpr VBool kTrue = -1;
inline constexpr VBool kFalse = 0;

// Message kinds of ReportMessage.
inline constexpr std::int32_t kMessageError = 1;
inline constexpr std::int32_t kMessageNotice = 4;

// The scene operations, in the order of the contract (tessavo/host_scene_operations.h lists them with
// their parameters). AttachHost is not here: it belongs to the framework's host scene interface object,
// which binds these operations to a host application.
class IHostScene {
  public:
#define TESSAVO_DECLARE_OPERATION(Name, parameters, arguments) virtual Status Name parameters noexcept = 0;
#define TESSAVO_DECLARE_RESULT_OPERATION(Name, parameters, arguments, inputs, input_arguments, Result, \
                                         result)                                                       \
    TESSAVO_DECLARE_OPERATION(Name, parameters, arguments)
    TESSAVO_HOST_SCENE_OPERATIONS(TESSAVO_DECLARE_OPERATION, TESSAVO_DECLARE_RESULT_OPERATION)
#undef TESSAVO_DECLARE_RESULT_OPERATION
#undef TESSAVO_DECLARE_OPERATION

  protected:
    ~IHostScene() = default;
};

// Implemented by a host: its application object, which really performs the scene operations.
// The framework's host scene interface object forwards every call to it once attached.
class IHostApplication : public IObject, public IHostScene {
  public:
    // Told once per AttachHost, before any other call arrives through that attachment.
    virtual Status Attached() noexcept = 0;

  protected:
    ~IHostApplication() = default;
};

}  // namespace tessavo
