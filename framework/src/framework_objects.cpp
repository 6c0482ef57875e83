#include "tessavo/framework_objects.h"

#include <new>

#include "tessavo/server.h"

namespace tessavo {
namespace {

Status NotAttached() noexcept {
    return FailureNoThrow(
        kErrNotAttached,
        "The host scene interface is not attached to a host application (call AttachHost first)",
        kFrameworkSource);
}

// The host scene interface object: forwards every operation to the attached host application.
class HostSceneInterface final : public RefCounted<IHostSceneInterface> {
  public:
    Status AttachHost(IHostApplication*& host) noexcept override {
        if (!host)
            return FailureNoThrow(kErrInvalidArgument, "AttachHost needs a host application",
                                  kFrameworkSource);
        Ref<IHostApplication> candidate(host);
        host_.reset();
        Status status = candidate->Attached();
        if (status.ok()) host_ = std::move(candidate);
        return status;
    }

#define TESSAVO_FORWARD(Name, parameters, arguments)          \
    Status Name parameters noexcept override {                \
        return host_ ? host_->Name arguments : NotAttached(); \
    }
#define TESSAVO_FORWARD_RESULT(Name, parameters, arguments, inputs, input_arguments, Result, result) \
    TESSAVO_FORWARD(Name, parameters, arguments)
    TESSAVO_HOST_SCENE_OPERATIONS(TESSAVO_FORWARD, TESSAVO_FORWARD_RESULT)
#undef TESSAVO_FORWARD_RESULT
#undef TESSAVO_FORWARD

  private:
    Ref<IHostApplication> host_;
};

// Created and held by plug-ins; the framework gives it no work.
class Auxiliary final : public RefCounted<IAuxiliary> {};

template <class T, class... Interfaces>
Status CreateAndOffer(std::string_view interface_id, void*& object) noexcept {
    T* created = new (std::nothrow) T();
    if (!created) return FailureNoThrow(kErrOutOfMemory, "Out of memory", kFrameworkSource);
    Ref<T> owner = Ref<T>::adopt(created);
    return OfferInterface<Interfaces...>(*created, interface_id, object);
}

}  // namespace

Status CreateObject(std::string_view class_id, std::string_view interface_id, void*& object) noexcept {
    object = nullptr;
    if (IdsEqual(class_id, IHostSceneInterface::kClassId)) {
        return CreateAndOffer<HostSceneInterface, IHostSceneInterface>(interface_id, object);
    }
    if (IdsEqual(class_id, IAuxiliary::kClassId))
        return CreateAndOffer<Auxiliary, IAuxiliary>(interface_id, object);
    return FailureNoThrow(kErrClassNotAvailable, "The framework has no class with this class id",
                          kFrameworkSource);
}

}  // namespace tessavo
