#include "shell/clsPlugin.h"

#include <new>

#include "common/plugin_error.h"
#include "scenecalls/scene_calls.h"
#include "shell/component_state.h"
#include "shell/err_handler.h"
#include "shell/locale_strings.h"
#include "tessavo/framework_objects.h"

namespace imp_kzv {

using tessavo::Status;

namespace {

const std::string& ClassSource() {
    static const std::string source = class_source(clsPlugin::kClassName);
    return source;
}

}  // namespace

Status clsPlugin::Create(tessavo::Ref<clsPlugin>& plugin) noexcept {
    plugin.reset();
    auto* created = new (std::nothrow) clsPlugin();
    if (!created) return tessavo::FailureNoThrow(tessavo::kErrOutOfMemory, "Out of memory", ClassSource());
    auto owner = tessavo::Ref<clsPlugin>::adopt(created);
    if (Status status = created->Initialize(); !status.ok()) return status;
    plugin = std::move(owner);
    return {};
}

Status clsPlugin::CreateInstance(std::string_view interface_id, void*& object) noexcept {
    object = nullptr;
    tessavo::Ref<clsPlugin> plugin;
    if (Status status = Create(plugin); !status.ok()) return status;
    return tessavo::OfferInterface<tessavo::IPlug, _clsPlugin>(*plugin, interface_id, object);
}

Status clsPlugin::Initialize() noexcept {
    ComponentState& state = Component();
    tessavo::Ref<tessavo::IHostSceneInterface> scene;
    if (Status status = tessavo::CreateObject(tessavo::IHostSceneInterface::kClassId, scene); !status.ok()) {
        return status;
    }
    state.host_scene = std::move(scene);
    tessavo::Ref<tessavo::IAuxiliary> auxiliary;
    if (Status status = tessavo::CreateObject(tessavo::IAuxiliary::kClassId, auxiliary); !status.ok())
        return status;
    state.auxiliary = std::move(auxiliary);
    return {};
}

clsPlugin::~clsPlugin() {
    // Whichever plug-in object of the thread ends, the shared slot is emptied; the host object and the
    // auxiliary object stay until the thread ends.
    Component().host_scene.reset();
}

Status clsPlugin::IPlug_NewWorldLoaded() noexcept {
    return {};
}

Status clsPlugin::IPlug_SetHost(tessavo::IHostApplication*& host) noexcept {
    try {
        Component().host_object = tessavo::Ref<tessavo::IHostApplication>(host);
        Scene().AttachHost(host);
        SetLangBaseIndxBasedOnLCID(Scene().GetHostLCID());
    } catch (...) {
        ReportErrToHost(kClassName, "IPlug_SetHost");
    }
    return {};
}

Status clsPlugin::get_IPlug_PluginType(tessavo::PluginType& result) noexcept {
    result = tessavo::kPluginTypeDefault;
    return {};
}

Status clsPlugin::IPlug_Undo() noexcept {
    return {};
}
Status clsPlugin::IPlug_Redo() noexcept {
    return {};
}
Status clsPlugin::IPlug_SelectedEntityChanged() noexcept {
    return {};
}
Status clsPlugin::IPlug_ViewPortClick(std::int16_t&) noexcept {
    return {};
}

Status clsPlugin::IPlug_ViewPortMouseUp(std::int16_t&, std::int16_t&, std::int16_t&, float&, float&,
                                        VBool& result) noexcept {
    result = tessavo::kFalse;
    return {};
}

Status clsPlugin::IPlug_ViewPortMouseDown(std::int16_t&, std::int16_t&, std::int16_t&, float&, float&,
                                          VBool& result) noexcept {
    result = tessavo::kFalse;
    return {};
}

Status clsPlugin::IPlug_ViewPortMouseMove(std::int16_t&, std::int16_t&, std::int16_t&, float&, float&,
                                          VBool& result) noexcept {
    result = tessavo::kFalse;
    return {};
}

Status clsPlugin::IPlug_ViewPortPaint(std::int16_t, std::int32_t) noexcept {
    return {};
}

Status clsPlugin::get_IPlug_Caption(std::string& result) noexcept {
    try {
        result = Component().caption;
        return {};
    } catch (...) {
        return ToStatus(CurrentError(ClassSource()));
    }
}

Status clsPlugin::get_IPlug_ViewMenuEntry(std::string& result) noexcept {
    result.clear();
    return {};
}

Status clsPlugin::get_IPlug_PluginActive(VBool& result) noexcept {
    result = tessavo::kFalse;
    return {};
}

Status clsPlugin::IPlug_SetRootGroup(std::int32_t Grp) noexcept {
    Component().root_group = Grp;
    return {};
}

Status clsPlugin::get_IPlug_CompatibleZorvaneVersion(tessavo::CompatibleVersion& result) noexcept {
    result = tessavo::kCompatibleVersionDefault;
    return {};
}

Status clsPlugin::get_IPlug_MyPluginIndex(std::int32_t& result) noexcept {
    result = Component().plugin_index;
    return {};
}

Status clsPlugin::put_IPlug_MyPluginIndex(std::int32_t value) noexcept {
    Component().plugin_index = value;
    return {};
}

Status clsPlugin::IPlug_SetApplicationLCID(std::int32_t lcid) noexcept {
    try {
        SetLangBaseIndxBasedOnLCID(lcid);
    } catch (...) {
        ReportErrToHost(kClassName, "IPlug_SetApplicationLCID");
    }
    return {};
}

Status clsPlugin::IPlug_KeyPress(std::int16_t&, std::int16_t&) noexcept {
    return {};
}

Status clsPlugin::get_IPlug_CanImport(VBool& result) noexcept {
    result = tessavo::kTrue;
    return {};
}

Status clsPlugin::get_IPlug_CanExport(VBool& result) noexcept {
    result = tessavo::kFalse;
    return {};
}

Status clsPlugin::IPlug_GetToolbarObject(tessavo::IObject*& result) noexcept {
    result = nullptr;
    return {};
}

Status clsPlugin::IPlug_ResetToolbar() noexcept {
    return {};
}
Status clsPlugin::IPlug_SaveToolbar() noexcept {
    return {};
}
Status clsPlugin::IPlug_RestoreToolbar() noexcept {
    return {};
}

Status clsPlugin::get_IPlug_CoolbarIndex(std::int32_t& result) noexcept {
    result = 0;
    return {};
}

Status clsPlugin::put_IPlug_CoolbarIndex(std::int32_t) noexcept {
    return {};
}

Status clsPlugin::get_IPlug_CoolbarBandIndex(std::int32_t& result) noexcept {
    result = 0;
    return {};
}

Status clsPlugin::put_IPlug_CoolbarBandIndex(std::int32_t) noexcept {
    return {};
}

Status clsPlugin::get_IPlug_ToolbarPluginRank(std::int32_t& result) noexcept {
    result = 0;
    return {};
}

Status clsPlugin::put_IPlug_ToolbarPluginRank(std::int32_t) noexcept {
    return {};
}

// The parent is not kept: the plug-in has no window of its own to place in it.
Status clsPlugin::IPlug_SetPlugParent(tessavo::IObject*&) noexcept {
    return {};
}
Status clsPlugin::IPlug_ResetPlugParent() noexcept {
    return {};
}

}  // namespace imp_kzv
