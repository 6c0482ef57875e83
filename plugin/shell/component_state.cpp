#include "shell/component_state.h"

namespace imp_kzv {

ComponentState& Component() noexcept {
    thread_local ComponentState state;
    return state;
}

}  // namespace imp_kzv
