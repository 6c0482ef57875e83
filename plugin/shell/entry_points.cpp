// The four exported entry points of libImp_KZV.so. Everything else in the library is hidden.
#include <cstdint>

#include "shell/server.h"
#include "tessavo/registry.h"
#include "tessavo/server.h"

#define IMP_KZV_EXPORT extern "C" [[gnu::visibility("default")]]

IMP_KZV_EXPORT std::int32_t DllGetClassObject(const char* class_id, const char* interface_id,
                                              void** object) noexcept {
    return imp_kzv::GetComponentClassObject(class_id, interface_id, object);
}

IMP_KZV_EXPORT std::int32_t DllCanUnloadNow() noexcept {
    return imp_kzv::CanUnloadComponent();
}

IMP_KZV_EXPORT std::int32_t DllRegisterServer() noexcept {
    try {
        return imp_kzv::RegisterComponent(tessavo::RegistryPath(), imp_kzv::ComponentLibraryPath());
    } catch (...) {
        return tessavo::kErrRegistration;
    }
}

IMP_KZV_EXPORT std::int32_t DllUnregisterServer() noexcept {
    try {
        return imp_kzv::UnregisterComponent(tessavo::RegistryPath());
    } catch (...) {
        return tessavo::kErrRegistration;
    }
}
