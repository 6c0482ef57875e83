#include "host/cli/plugin_library.h"

#include <dlfcn.h>

namespace kzv::cli {
namespace {

std::string last_dl_error() {
    const char* text = ::dlerror();
    return text ? text : "unknown error";
}

std::string failure_text(std::string_view step, std::int32_t number, std::string_view description = {}) {
    std::string text = std::string(step) + " failed with " + std::to_string(number);
    if (!description.empty()) text += ": " + std::string(description);
    return text;
}

}  // namespace

PluginLibrary::PluginLibrary(const std::filesystem::path& path) {
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error_ = last_dl_error();
        return;
    }
    get_class_object_ =
        reinterpret_cast<tessavo::DllGetClassObjectFunction>(::dlsym(handle_, "DllGetClassObject"));
    can_unload_now_ = reinterpret_cast<tessavo::DllCanUnloadNowFunction>(::dlsym(handle_, "DllCanUnloadNow"));
    if (!get_class_object_ || !can_unload_now_) {
        error_ = path.string() + " is not a plug-in library (no DllGetClassObject or DllCanUnloadNow)";
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

PluginLibrary::~PluginLibrary() {
    unload_if_unused();
}

tessavo::Ref<tessavo::IPlug> PluginLibrary::create_plug(std::string_view class_id, std::string& error) const {
    if (!handle_) {
        error = "the plug-in library is not loaded";
        return nullptr;
    }
    void* raw = nullptr;
    const std::string id(class_id);
    const std::int32_t result = get_class_object_(id.c_str(), tessavo::IClassFactory::kInterfaceId, &raw);
    if (result != tessavo::kResultOk || !raw) {
        error = failure_text("DllGetClassObject", result);
        return nullptr;
    }
    auto factory = tessavo::Ref<tessavo::IClassFactory>::adopt(static_cast<tessavo::IClassFactory*>(raw));
    raw = nullptr;
    const tessavo::Status status = factory->CreateInstance(tessavo::IPlug::kInterfaceId, raw);
    if (!status.ok() || !raw) {
        error = failure_text("CreateInstance", status.number, status.description);
        return nullptr;
    }
    return tessavo::Ref<tessavo::IPlug>::adopt(static_cast<tessavo::IPlug*>(raw));
}

bool PluginLibrary::unload_if_unused() noexcept {
    if (!handle_ || can_unload_now_() != tessavo::kResultOk) return false;
    ::dlclose(handle_);
    handle_ = nullptr;
    return true;
}

}  // namespace kzv::cli
