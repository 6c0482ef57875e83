// In-process servers: the entry points a plug-in library exports, its class factories, the count
// of live objects and locks that decides when it may be unloaded, and its registration.
//
// A host loads a server library with dlopen and finds four C entry points by name:
//   DllGetClassObject(class_id, interface_id, &object)  the class factory of class_id
//   DllCanUnloadNow()                                     kResultOk when no object or lock is alive
//   DllRegisterServer() / DllUnregisterServer()           writes / removes its registry entries
// Each returns one of the result numbers below and never lets an exception out.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tessavo/host_scene.h"
#include "tessavo/object.h"
#include "tessavo/registry.h"

namespace tessavo {

// Result numbers of the entry points and factories (also used as Status numbers).
inline constexpr std::int32_t kResultOk = 0;
inline constexpr std::int32_t kResultFalse = 1;  // DllCanUnloadNow: objects or locks alive
inline constexpr std::int32_t kErrNoInterface = static_cast<std::int32_t>(0x80004002u);
inline constexpr std::int32_t kErrPointer = static_cast<std::int32_t>(0x80004003u);
inline constexpr std::int32_t kErrUnexpected = static_cast<std::int32_t>(0x8000FFFFu);
inline constexpr std::int32_t kErrOutOfMemory = static_cast<std::int32_t>(0x8007000Eu);
inline constexpr std::int32_t kErrClassNotAvailable = static_cast<std::int32_t>(0x80040111u);
inline constexpr std::int32_t kErrRegistration = static_cast<std::int32_t>(0x80040201u);

extern "C" {
using DllGetClassObjectFunction = std::int32_t (*)(const char* class_id, const char* interface_id,
                                                   void** object);
using DllCanUnloadNowFunction = std::int32_t (*)();
using DllRegisterServerFunction = std::int32_t (*)();
using DllUnregisterServerFunction = std::int32_t (*)();
}

class IClassFactory : public IObject {
  public:
    static constexpr char kInterfaceId[] = "{8B9D0D91-175A-4C00-A0E4-E3786B6CFD9A}";

    // Creates a new object of the factory's class; object receives the interface interface_id
    // with one reference owned by the caller.
    virtual Status CreateInstance(std::string_view interface_id, void*& object) noexcept = 0;
    // kTrue keeps the server loaded without a live object, kFalse undoes one such lock.
    virtual Status LockServer(VBool lock) noexcept = 0;

  protected:
    ~IClassFactory() = default;
};

// Live objects and server locks of one server library. Thread-safe.
class ServerLifetime {
  public:
    void ObjectCreated() noexcept { objects_.fetch_add(1); }
    void ObjectDestroyed() noexcept { objects_.fetch_sub(1); }
    void Lock() noexcept { locks_.fetch_add(1); }
    // An unlock without a matching lock is ignored, so the count never goes below zero.
    void Unlock() noexcept;
    long LiveObjects() const noexcept { return objects_.load(); }
    long Locks() const noexcept { return locks_.load(); }
    bool CanUnload() const noexcept { return LiveObjects() == 0 && Locks() == 0; }

  private:
    std::atomic<long> objects_{0};
    std::atomic<long> locks_{0};
};

// A member that counts its owner as a live object of a server for the owner's lifetime.
class LiveObject {
  public:
    explicit LiveObject(ServerLifetime& lifetime) noexcept : lifetime_(lifetime) {
        lifetime_.ObjectCreated();
    }
    LiveObject(const LiveObject& other) noexcept : LiveObject(other.lifetime_) {}
    LiveObject& operator=(const LiveObject&) = delete;
    ~LiveObject() { lifetime_.ObjectDestroyed(); }

  private:
    ServerLifetime& lifetime_;
};

// Hands out object through the interface named interface_id, with a new reference for the caller:
// IObject (through the first of Interfaces) or one of Interfaces. Fails with kErrNoInterface.
template <class... Interfaces, class T>
Status OfferInterface(T& object, std::string_view interface_id, void*& out) noexcept {
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    out = nullptr;
    if (IdsEqual(interface_id, IObject::kInterfaceId)) {
        out = static_cast<IObject*>(static_cast<First*>(&object));
    } else {
        ((IdsEqual(interface_id, Interfaces::kInterfaceId) ? (out = static_cast<Interfaces*>(&object), true)
                                                           : false) ||
         ...);
    }
    if (!out)
        return FailureNoThrow(kErrNoInterface, "The object does not have this interface", kFrameworkSource);
    static_cast<First*>(&object)->AddRef();
    return {};
}

// Creates one object of a class and hands it out through interface_id (see OfferInterface).
using CreateFunction = Status (*)(std::string_view interface_id, void*& object) noexcept;

struct ServerClass {
    std::string_view name;      // class name; the programmatic id is component + "." + name
    std::string_view class_id;  // stable across builds
    CreateFunction create;      // null: registered, but not creatable yet
};

struct ServerDescription {
    std::string_view component;  // e.g. "Imp_KZV"
    std::string_view type_library_id;
    std::string_view type_library_version;  // e.g. "1.0"
    std::string_view threading_model;       // e.g. "Apartment"
    std::span<const ServerClass> classes;
};

// DllGetClassObject for a server: a new class factory for class_id, handed out through interface_id
// (IClassFactory or IObject). The factory counts as a live object. Fails with kErrClassNotAvailable
// for a class the server lacks or cannot create yet.
Status GetClassObject(const ServerDescription& server, ServerLifetime& lifetime, std::string_view class_id,
                      std::string_view interface_id, void*& object) noexcept;

// The registry sections of a server: per class "CLSID/{id}" (ProgID, InprocServer, ThreadingModel,
// TypeLib) and "ProgID/<component>.<name>" (CLSID), and "TypeLib/{id}/<version>" (Name, Path).
std::vector<RegistrySection> RegistrationEntries(const ServerDescription& server,
                                                 std::string_view library_path);

// Writes the server's sections into the registry file (replacing earlier ones of the same names)
// or removes them; other sections are kept. Fail with kErrRegistration.
Status RegisterServer(const ServerDescription& server, const std::string& registry_path,
                      const std::string& library_path) noexcept;
Status UnregisterServer(const ServerDescription& server, const std::string& registry_path) noexcept;

// The absolute path of the loaded library (or executable) that holds address; empty if unknown.
std::string ModulePathOf(const void* address) noexcept;

}  // namespace tessavo
