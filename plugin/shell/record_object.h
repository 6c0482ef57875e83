// A record handed out by the component's class factories. The record classes are plain C++ classes
// held by std::shared_ptr; their factory creates a new record and wraps it in this small counted
// object, which keeps the component loaded while it lives.
#pragma once

#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "shell/server.h"
#include "tessavo/object.h"
#include "tessavo/server.h"

namespace imp_kzv {

template <class Record>
class RecordObject final : public tessavo::RefCounted<tessavo::IObject> {
  public:
    explicit RecordObject(std::shared_ptr<Record> record) : record_(std::move(record)) {}
    const std::shared_ptr<Record>& record() const noexcept { return record_; }

  private:
    std::shared_ptr<Record> record_;
    tessavo::LiveObject live_{ComponentLifetime()};
};

// The factory creation of a record class: a new, empty Record, handed out as an IObject. Use it in the
// class table as &CreateRecordObject<p3dWorld>.
template <class Record>
tessavo::Status CreateRecordObject(std::string_view interface_id, void*& object) noexcept {
    object = nullptr;
    try {
        auto wrapper = tessavo::MakeRef<RecordObject<Record>>(std::make_shared<Record>());
        return tessavo::OfferInterface<tessavo::IObject>(*wrapper, interface_id, object);
    } catch (const std::bad_alloc&) {
        return tessavo::FailureNoThrow(tessavo::kErrOutOfMemory, "Out of memory", "Imp_KZV");
    } catch (...) {
        return tessavo::FailureNoThrow(tessavo::kErrUnexpected, "The record could not be created", "Imp_KZV");
    }
}

}  // namespace imp_kzv
