#include "tessavo/server.h"

#include <dlfcn.h>

#include <filesystem>
#include <new>

namespace tessavo {
namespace {

// The factory of one class of a server; counts as a live object of that server.
class ClassFactory final : public RefCounted<IClassFactory> {
  public:
    ClassFactory(ServerLifetime& lifetime, CreateFunction create)
        : lifetime_(lifetime), live_(lifetime), create_(create) {}

    Status CreateInstance(std::string_view interface_id, void*& object) noexcept override {
        object = nullptr;
        return create_(interface_id, object);
    }

    Status LockServer(VBool lock) noexcept override {
        if (lock) {
            lifetime_.Lock();
        } else {
            lifetime_.Unlock();
        }
        return {};
    }

  private:
    ServerLifetime& lifetime_;
    LiveObject live_;
    CreateFunction create_;
};

std::string ProgId(const ServerDescription& server, const ServerClass& cls) {
    return std::string(server.component) + '.' + std::string(cls.name);
}

std::string TypeLibrarySection(const ServerDescription& server) {
    return "TypeLib/" + std::string(server.type_library_id) + '/' + std::string(server.type_library_version);
}

// Names of every section the server owns, for unregistration.
std::vector<std::string> SectionNames(const ServerDescription& server) {
    std::vector<std::string> names;
    for (const ServerClass& cls : server.classes) {
        names.push_back("CLSID/" + std::string(cls.class_id));
        names.push_back("ProgID/" + ProgId(server, cls));
    }
    names.push_back(TypeLibrarySection(server));
    return names;
}

}  // namespace

void ServerLifetime::Unlock() noexcept {
    long locks = locks_.load();
    while (locks > 0 && !locks_.compare_exchange_weak(locks, locks - 1)) {
    }
}

Status GetClassObject(const ServerDescription& server, ServerLifetime& lifetime, std::string_view class_id,
                      std::string_view interface_id, void*& object) noexcept {
    object = nullptr;
    for (const ServerClass& cls : server.classes) {
        if (!IdsEqual(cls.class_id, class_id) || !cls.create) continue;
        auto* factory = new (std::nothrow) ClassFactory(lifetime, cls.create);
        if (!factory) return FailureNoThrow(kErrOutOfMemory, "Out of memory", kFrameworkSource);
        Ref<ClassFactory> owner = Ref<ClassFactory>::adopt(factory);
        return OfferInterface<IClassFactory>(*factory, interface_id, object);
    }
    return FailureNoThrow(kErrClassNotAvailable, "The server has no creatable class with this class id",
                          kFrameworkSource);
}

std::vector<RegistrySection> RegistrationEntries(const ServerDescription& server,
                                                 std::string_view library_path) {
    std::vector<RegistrySection> sections;
    for (const ServerClass& cls : server.classes) {
        RegistrySection by_id{"CLSID/" + std::string(cls.class_id), {}};
        by_id.Set("Class", cls.name);
        by_id.Set("ProgID", ProgId(server, cls));
        by_id.Set("InprocServer", library_path);
        by_id.Set("ThreadingModel", server.threading_model);
        by_id.Set("TypeLib", server.type_library_id);
        by_id.Set("Version", server.type_library_version);
        sections.push_back(std::move(by_id));

        RegistrySection by_name{"ProgID/" + ProgId(server, cls), {}};
        by_name.Set("CLSID", cls.class_id);
        sections.push_back(std::move(by_name));
    }
    RegistrySection library{TypeLibrarySection(server), {}};
    library.Set("Name", server.component);
    library.Set("Path", library_path);
    sections.push_back(std::move(library));
    return sections;
}

Status RegisterServer(const ServerDescription& server, const std::string& registry_path,
                      const std::string& library_path) noexcept {
    if (library_path.empty()) {
        return FailureNoThrow(kErrRegistration, "The server library's path is unknown", kFrameworkSource);
    }
    Status status = UpdateRegistry(registry_path, [&](RegistryData& data) {
        for (RegistrySection& section : RegistrationEntries(server, library_path))
            data.Put(std::move(section));
    });
    if (!status.ok()) status.number = kErrRegistration;
    return status;
}

Status UnregisterServer(const ServerDescription& server, const std::string& registry_path) noexcept {
    Status status = UpdateRegistry(registry_path, [&](RegistryData& data) {
        for (const std::string& name : SectionNames(server)) data.Remove(name);
    });
    if (!status.ok()) status.number = kErrRegistration;
    return status;
}

std::string ModulePathOf(const void* address) noexcept {
    try {
        Dl_info info{};
        if (::dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname) return {};
        return std::filesystem::absolute(info.dli_fname).lexically_normal().string();
    } catch (...) {
        return {};
    }
}

}  // namespace tessavo
