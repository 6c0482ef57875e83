// The framework objects a plug-in creates by class id: the host scene interface object, through
// which it reaches the host's scene, and the auxiliary object.
#pragma once

#include <cstdint>
#include <string_view>

#include "tessavo/host_scene.h"
#include "tessavo/object.h"

namespace tessavo {

// Status number of a scene operation called on a host scene interface object that is not attached
// to a host application (the platform's "object variable not set").
inline constexpr std::int32_t kErrNotAttached = 91;
// Status number of a call with an argument the framework cannot accept (for instance a null host).
inline constexpr std::int32_t kErrInvalidArgument = 5;

// The host scene interface object. Created unattached: until AttachHost succeeds every scene
// operation fails with kErrNotAttached. Once attached, every operation is forwarded unchanged to the
// host application object, whose status comes back as it is.
class IHostSceneInterface : public IObject, public IHostScene {
  public:
    static constexpr char kClassId[] = "{1528445D-44C1-4E12-A037-E5BABD9F5641}";
    static constexpr char kInterfaceId[] = "{1D6A787B-A082-4C0D-96B0-FBB4B40530FD}";

    // Binds the object to host: keeps a counted reference to it (releasing an earlier host) and
    // calls host->Attached(). A null host fails with kErrInvalidArgument and changes nothing; when
    // Attached() fails, its status is returned and the object is left unattached.
    virtual Status AttachHost(IHostApplication*& host) noexcept = 0;

  protected:
    ~IHostSceneInterface() = default;
};

// The auxiliary framework object: plug-ins create and hold it; it has no members of its own.
class IAuxiliary : public IObject {
  public:
    static constexpr char kClassId[] = "{99CC7F9E-731F-4016-8CC0-648A4E41DFB3}";
    static constexpr char kInterfaceId[] = "{CFA49E6F-94ED-44EC-B91F-E63A3728989A}";

  protected:
    ~IAuxiliary() = default;
};

// Creates a new framework object of class_id and hands it out through the interface interface_id:
// object receives a pointer to that interface, with one reference owned by the caller.
// Fails with kErrClassNotAvailable (tessavo/server.h) for an unknown class, kErrNoInterface for an
// interface the class lacks, kErrOutOfMemory when allocation fails; object is then null.
Status CreateObject(std::string_view class_id, std::string_view interface_id, void*& object) noexcept;

// Typed form: creates an object of class_id and returns it through interface I.
template <class I>
Status CreateObject(std::string_view class_id, Ref<I>& object) noexcept {
    void* raw = nullptr;
    Status status = CreateObject(class_id, I::kInterfaceId, raw);
    object = Ref<I>::adopt(static_cast<I*>(raw));
    return status;
}

}  // namespace tessavo
