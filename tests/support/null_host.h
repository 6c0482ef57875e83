// A host application that does nothing: every scene operation succeeds at once and hands out a
// fresh handle. For measuring the plug-in alone (benchmarks) and for fuzzing the import, where a
// recording host would only add its own cost. It remembers the last progress display state, the
// number of error reports and the polygons created, so a caller can check how an import ended.
#pragma once

#include <cstdint>
#include <tuple>

#include "tessavo/host_scene.h"
#include "tessavo/host_scene_operations.h"
#include "tessavo/object.h"

namespace kzv_test {

// Answers every scene operation with success; one with a result gets the next handle.
class SucceedingHost : public tessavo::RefCounted<tessavo::IHostApplication> {
  public:
    using Status = tessavo::Status;
    using Handle = tessavo::Handle;
    using VBool = tessavo::VBool;

    Status Attached() noexcept override { return {}; }
#define KZV_SUCCEED(Name, parameters, arguments)            \
    Status Name parameters noexcept override {              \
        static_cast<void>(std::forward_as_tuple arguments); \
        return {};                                          \
    }
#define KZV_SUCCEED_RESULT(Name, parameters, arguments, inputs, input_arguments, Result, result) \
    Status Name parameters noexcept override {                                                   \
        static_cast<void>(std::forward_as_tuple input_arguments);                                \
        result = next_ = next_ == 0x7FFFFFFF ? 1 : next_ + 1;                                    \
        return {};                                                                               \
    }
    TESSAVO_HOST_SCENE_OPERATIONS(KZV_SUCCEED, KZV_SUCCEED_RESULT)
#undef KZV_SUCCEED_RESULT
#undef KZV_SUCCEED

  private:
    Handle next_ = 0;
};

class NullHost final : public SucceedingHost {
  public:
    tessavo::VBool progress_shown = tessavo::kFalse;
    std::int64_t error_reports = 0;
    std::int64_t polygons = 0;

    Status GetHostLCID(std::int32_t& lcid) noexcept override {
        lcid = 1033;
        return {};
    }
    Status ReportError(std::int32_t number, const std::string& description,
                       const std::string& source) noexcept override {
        ++error_reports;
        return SucceedingHost::ReportError(number, description, source);
    }
    Status ShowProgress(VBool show) noexcept override {
        progress_shown = show;
        return {};
    }
    Status CreatePolygon(Handle& polygon) noexcept override {
        ++polygons;
        return SucceedingHost::CreatePolygon(polygon);
    }
};

}  // namespace kzv_test
