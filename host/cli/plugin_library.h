// A plug-in library loaded the way every host loads one: dlopen and its exported entry points, never
// linked in.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "tessavo/object.h"
#include "tessavo/plug.h"
#include "tessavo/server.h"

namespace kzv::cli {

class PluginLibrary {
  public:
    // Loads the library and finds DllGetClassObject and DllCanUnloadNow. On failure the library is
    // not loaded and error() says why.
    explicit PluginLibrary(const std::filesystem::path& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const noexcept { return handle_ != nullptr; }
    // Why the library could not be loaded.
    const std::string& error() const noexcept { return error_; }

    // A new object of class_id through its class factory, as IPlug; null with `error` set on failure.
    // The object's component-wide state belongs to the calling thread. Thread-safe: several threads
    // may create objects at once.
    tessavo::Ref<tessavo::IPlug> create_plug(std::string_view class_id, std::string& error) const;

    // Unloads the library once it says that no object of it is alive; otherwise it stays loaded
    // until the process ends. Returns whether it was unloaded.
    bool unload_if_unused() noexcept;

  private:
    void* handle_ = nullptr;
    tessavo::DllGetClassObjectFunction get_class_object_ = nullptr;
    tessavo::DllCanUnloadNowFunction can_unload_now_ = nullptr;
    std::string error_;
};

// The class of the import plug-in, clsPlugin.
inline constexpr char kImportPluginClassId[] = "{81C649D0-144C-4475-9A6B-B8136EE1ECB9}";

}  // namespace kzv::cli
