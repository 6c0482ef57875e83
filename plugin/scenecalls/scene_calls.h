// SceneCalls: the host scene interface as the plug-in calls it (not to be confused with the contract,
// tessavo/host_scene.h, or with a host's scene storage).
//
// Every call goes to the host scene interface object in the calling thread's component state. A failed
// status becomes a PluginError carrying the host's number, description and source unchanged, so the
// error's trace starts with the host's source. Results come back as return values.
//
// Each call keeps its interface object alive until it returns. An import makes millions of calls, so
// it holds the object once for its whole length (Hold); calls that go to the held object then need no
// counted reference of their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/plugin_error.h"
#include "tessavo/framework_objects.h"
#include "tessavo/host_scene.h"
#include "tessavo/host_scene_operations.h"

namespace imp_kzv {

struct ComponentState;

// Raises the host's failure as a PluginError; does nothing for a success.
void CheckHostStatus(const tessavo::Status& status);

class SceneCalls {
  public:
    // caller_source: the source of the error (91, Err::ObjectNotSet) raised when the component has no
    // host scene interface, that is the source of the calling code ("Imp_KZV" or "Imp_KZV.<class>").
    explicit SceneCalls(std::string_view caller_source) : caller_source_(caller_source) {}

    // Keeps the component's current host scene interface object (if any) alive while it exists; lets
    // go of it when it ends. Holds nest: an inner one changes nothing.
    class [[nodiscard]] Hold {
      public:
        explicit Hold(SceneCalls& scene);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        SceneCalls& scene_;
        bool owner_ = false;
    };

    using Handle = tessavo::Handle;
    using VBool = tessavo::VBool;

    void AttachHost(tessavo::IHostApplication*& host);
    // One checked call per scene operation (tessavo/host_scene_operations.h), in the contract's order:
    // an operation with a result returns it, the others return nothing.
#define IMP_KZV_CHECKED_CALL(Name, parameters, arguments) void Name parameters;
#define IMP_KZV_CHECKED_RESULT_CALL(Name, parameters, arguments, inputs, input_arguments, Result, result) \
    Result Name inputs;
    TESSAVO_HOST_SCENE_OPERATIONS(IMP_KZV_CHECKED_CALL, IMP_KZV_CHECKED_RESULT_CALL)
#undef IMP_KZV_CHECKED_RESULT_CALL
#undef IMP_KZV_CHECKED_CALL

  private:
    // The component's host scene interface at the time of the call (it may be replaced between calls),
    // held for the duration of the call.
    tessavo::Ref<tessavo::IHostSceneInterface> Scene() const;
    // Makes `call(interface)` on the component's current interface and raises a failed status.
    template <class Call>
    void Forward(Call&& call);

    std::string caller_source_;
    tessavo::Ref<tessavo::IHostSceneInterface> held_;
    // While a hold lasts: the component state of the thread that holds, and that thread.
    ComponentState* holder_state_ = nullptr;
    std::thread::id holder_thread_;
};

}  // namespace imp_kzv
