// The component-wide state of Imp_KZV: one copy per host thread that uses the component, shared by
// every plug-in object of that thread. Everything starts empty, zero or false, also when the library is
// unloaded and loaded again by a thread that used it before.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tessavo/framework_objects.h"
#include "tessavo/host_scene.h"
#include "tessavo/object.h"

namespace imp_kzv {

struct ComponentState {
    // Replaced by every new plug-in object, emptied when any plug-in object ends.
    tessavo::Ref<tessavo::IHostSceneInterface> host_scene;
    // Created by every new plug-in object and never called; held until the thread ends.
    tessavo::Ref<tessavo::IAuxiliary> auxiliary;
    // The host application object of the last SetHost; held until the thread ends.
    tessavo::Ref<tessavo::IHostApplication> host_object;
    std::int32_t plugin_index = 0;
    std::int32_t root_group = 0;

    // Localised texts (Globals): base index 100 or 200, and the texts loaded for it.
    std::int32_t language_base = 0;
    std::string title;
    std::string caption;
    std::array<std::string, 2> completion_messages;  // [0] import completed, [1] export completed
    // The title of every message box the component shows; set to the caption.
    std::string application_title;

    // mdlErrHandler: the source of an error raised without one in module-level code, looked up once.
    std::string default_error_source;
};

// The calling thread's state.
ComponentState& Component() noexcept;

}  // namespace imp_kzv
