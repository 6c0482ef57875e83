#include "shell/server.h"

#include <array>

#include "resources/version_info.h"
#include "shell/clsPlugin.h"
#include "scenefile/p3dWorld.h"
#include "shell/record_object.h"

namespace imp_kzv {
namespace {

using tessavo::ServerClass;

// The public classes. Class ids are fixed: hosts and registries keep them across builds.
// Record classes are handed out as a RecordObject holding a new, empty record.
constexpr std::array kPublicClasses{
    ServerClass{"clsPlugin", clsPlugin::kClassId, &clsPlugin::CreateInstance},
    ServerClass{"p3dWorld", "{F9347FD9-F38B-4CE8-A680-04F96E13857F}", &CreateRecordObject<p3dWorld>},
    ServerClass{"p3dGroup", "{6EC9091B-C69A-4F5B-A6B3-7FAEC59ACFBC}", &CreateRecordObject<p3dGroup>},
    ServerClass{"p3dMesh", "{CBFE88D9-D4ED-4E27-A06D-F90A23DB4653}", &CreateRecordObject<p3dMesh>},
    ServerClass{"meshGeom", "{1A191008-2D88-4A39-A97D-F95E34838FDC}", &CreateRecordObject<meshGeom>},
    ServerClass{"MultiMaterial", "{768C0FA8-F17D-4CFF-93B8-8E9C9D3925D5}", &CreateRecordObject<MultiMaterial>},
    ServerClass{"p3dMaterial", "{42FFD9D2-B8FC-416A-B7ED-A30E0186E3A6}", &CreateRecordObject<p3dMaterial>},
    ServerClass{"p3dCamera", "{115C02E6-2257-44E2-8DCF-D94C84F1C463}", &CreateRecordObject<p3dCamera>},
    ServerClass{"p3dLight", "{82DEB2EE-6A27-451B-8F5B-F756CBD452E9}", &CreateRecordObject<p3dLight>},
    ServerClass{"p3dTrack", "{B09FF9AB-4D85-436D-86EB-BA8875045834}", &CreateRecordObject<p3dTrack>},
    ServerClass{"p3dTri", "{9F2C8F1B-0214-4366-815D-220BEEA0E61C}", &CreateRecordObject<p3dTri>},
    ServerClass{"p3dVert", "{C931E88E-33A5-401C-9D70-1317D3916940}", &CreateRecordObject<p3dVert>},
    ServerClass{"p3dPt2D", "{DDF2DBA3-7DD2-4A25-A928-A308602C0B86}", &CreateRecordObject<p3dPt2D>},
    ServerClass{"p3dPt3D", "{3411B566-8EFB-4DD5-86C0-FA1F11A0E890}", &CreateRecordObject<p3dPt3D>},
};

constexpr tessavo::ServerDescription kServer{kComponentName, kTypeLibraryId, kTypeLibraryVersion, "Apartment",
                                             kPublicClasses};

// Any object of this library, for finding the library's own path.
constexpr char kLocationMarker = 0;

}  // namespace

tessavo::ServerLifetime& ComponentLifetime() noexcept {
    static tessavo::ServerLifetime lifetime;
    return lifetime;
}

const tessavo::ServerDescription& ComponentServer() noexcept {
    return kServer;
}

std::int32_t GetComponentClassObject(const char* class_id, const char* interface_id, void** object) noexcept {
    if (!object) return tessavo::kErrPointer;
    *object = nullptr;
    if (!class_id || !interface_id) return tessavo::kErrPointer;
    return tessavo::GetClassObject(kServer, ComponentLifetime(), class_id, interface_id, *object).number;
}

std::int32_t CanUnloadComponent() noexcept {
    return ComponentLifetime().CanUnload() ? tessavo::kResultOk : tessavo::kResultFalse;
}

std::int32_t RegisterComponent(const std::string& registry_path, const std::string& library_path) noexcept {
    return tessavo::RegisterServer(kServer, registry_path, library_path).number;
}

std::int32_t UnregisterComponent(const std::string& registry_path) noexcept {
    return tessavo::UnregisterServer(kServer, registry_path).number;
}

std::string ComponentLibraryPath() noexcept {
    return tessavo::ModulePathOf(&kLocationMarker);
}

}  // namespace imp_kzv
