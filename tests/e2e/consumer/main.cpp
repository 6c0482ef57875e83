// Loads the installed import plug-in through its entry points and asks what it can do.
#include <dlfcn.h>

#include <iostream>

#include "tessavo/plug.h"
#include "tessavo/server.h"

int main() {
    void* library = ::dlopen(IMPORT_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::cerr << ::dlerror() << '\n';
        return 1;
    }
    auto get_class_object =
        reinterpret_cast<tessavo::DllGetClassObjectFunction>(::dlsym(library, "DllGetClassObject"));
    void* raw = nullptr;
    if (!get_class_object || get_class_object("{81C649D0-144C-4475-9A6B-B8136EE1ECB9}",
                                              tessavo::IClassFactory::kInterfaceId, &raw) != 0)
        return 1;
    auto factory = tessavo::Ref<tessavo::IClassFactory>::adopt(static_cast<tessavo::IClassFactory*>(raw));
    if (!factory->CreateInstance(tessavo::IPlug::kInterfaceId, raw).ok()) return 1;
    auto plug = tessavo::Ref<tessavo::IPlug>::adopt(static_cast<tessavo::IPlug*>(raw));
    tessavo::VBool can_import = 0, can_export = 0;
    if (!plug->get_CanImport(can_import).ok() || !plug->get_CanExport(can_export).ok()) return 1;
    std::cout << "CanImport " << can_import << " CanExport " << can_export << '\n';
    return 0;
}
