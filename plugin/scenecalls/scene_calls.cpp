#include "scenecalls/scene_calls.h"

#include "shell/component_state.h"

namespace imp_kzv {

void CheckHostStatus(const tessavo::Status& status) {
    if (!status.ok()) throw PluginError(ErrorValue{status.number, status.description, status.source});
}

tessavo::Ref<tessavo::IHostSceneInterface> SceneCalls::Scene() const {
    tessavo::Ref<tessavo::IHostSceneInterface> scene = Component().host_scene;
    if (!scene) {
        raise(Err::ObjectNotSet, {}, caller_source_);
    }
    return scene;
}

SceneCalls::Hold::Hold(SceneCalls& scene) : scene_(scene) {
    if (scene_.holder_state_ != nullptr) return;
    ComponentState& state = Component();
    scene_.held_ = state.host_scene;
    scene_.holder_state_ = &state;
    scene_.holder_thread_ = std::this_thread::get_id();
    owner_ = true;
}

SceneCalls::Hold::~Hold() {
    if (!owner_) return;
    scene_.held_.reset();
    scene_.holder_state_ = nullptr;
}

template <class Call>
void SceneCalls::Forward(Call&& call) {
    // The holding thread's component state is known: no look-up of the thread's state per call.
    ComponentState& state = holder_state_ != nullptr && holder_thread_ == std::this_thread::get_id()
                                ? *holder_state_
                                : Component();
    // The held object stays alive even if the component's slot is replaced during the call; any other
    // object gets a counted reference for the call, as without a hold.
    tessavo::IHostSceneInterface* current = state.host_scene.get();
    if (current != nullptr && current == held_.get()) {
        CheckHostStatus(call(*current));
        return;
    }
    const tessavo::Ref<tessavo::IHostSceneInterface> scene = Scene();
    CheckHostStatus(call(*scene));
}

void SceneCalls::AttachHost(tessavo::IHostApplication*& host) {
    Forward([&](tessavo::IHostSceneInterface& s) { return s.AttachHost(host); });
}

#define IMP_KZV_CHECKED_CALL(Name, parameters, arguments)                           \
    void SceneCalls::Name parameters {                                              \
        Forward([&](tessavo::IHostSceneInterface& s) { return s.Name arguments; }); \
    }
#define IMP_KZV_CHECKED_RESULT_CALL(Name, parameters, arguments, inputs, input_arguments, Result, result) \
    auto SceneCalls::Name inputs -> Result {                                                              \
        Result result{};                                                                                  \
        Forward([&](tessavo::IHostSceneInterface& s) { return s.Name arguments; });                       \
        return result;                                                                                    \
    }
TESSAVO_HOST_SCENE_OPERATIONS(IMP_KZV_CHECKED_CALL, IMP_KZV_CHECKED_RESULT_CALL)
#undef IMP_KZV_CHECKED_RESULT_CALL
#undef IMP_KZV_CHECKED_CALL

}  // namespace imp_kzv
