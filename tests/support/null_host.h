// A host application that does nothing: every scene operation succeeds at once and hands out a
// fresh handle. For measuring the plug-in alone (benchmarks) and for fuzzing the import, where a
// recording host would only add its own cost. It remembers the last progress display state, the
// number of error reports and the polygons created, so a caller can check how an import ended.
#pragma once

#include <cstdint>

#include "tessavo/host_scene.h"
#include "tessavo/object.h"

namespace kzv_test {

class NullHost final : public tessavo::RefCounted<tessavo::IHostApplication> {
  public:
    using Status = tessavo::Status;
    using Handle = tessavo::Handle;
    using VBool = tessavo::VBool;
    template <std::size_t N>
    using Doubles = std::array<double, N>;
    using Rgb = std::array<std::uint8_t, 3>;

    tessavo::VBool progress_shown = tessavo::kFalse;
    std::int64_t error_reports = 0;
    std::int64_t polygons = 0;

    Status Attached() noexcept override { return {}; }
    Status GetHostLCID(std::int32_t& lcid) noexcept override {
        lcid = 1033;
        return {};
    }
    Status ReportMessage(const std::string&, std::int32_t&) noexcept override { return {}; }
    Status ReportError(std::int32_t, const std::string&, const std::string&) noexcept override {
        ++error_reports;
        return {};
    }
    Status ShowProgress(VBool show) noexcept override {
        progress_shown = show;
        return {};
    }
    Status SetProgressMax(std::int32_t) noexcept override { return {}; }
    Status SetProgressValue(std::int32_t) noexcept override { return {}; }
    Status LoadBitmap(const std::string&, VBool, Handle& h) noexcept override { return Issue(h); }
    Status CreateCamera(const std::string&, Handle& h) noexcept override { return Issue(h); }
    Status SetCameraPosition(Handle, double, double, double) noexcept override { return {}; }
    Status SetCameraAxes(Handle, const Doubles<3>&, const Doubles<3>&, const Doubles<3>&) noexcept override {
        return {};
    }
    Status SetCameraFov(Handle, double) noexcept override { return {}; }
    Status SetCameraRange(Handle, double) noexcept override { return {}; }
    Status SetCameraMode(Handle, std::int32_t) noexcept override { return {}; }
    Status CreateLight(const std::string&, const Doubles<3>&, Handle& h) noexcept override {
        return Issue(h);
    }
    Status SetLightColor(Handle, const Rgb&) noexcept override { return {}; }
    Status SetLightIntensity(Handle, double) noexcept override { return {}; }
    Status SetLightIntensity2(Handle, double) noexcept override { return {}; }
    Status SetLightRange(Handle, double) noexcept override { return {}; }
    Status CreateTrack(const std::string&, VBool, const std::vector<double>&, std::int32_t,
                       Handle& h) noexcept override {
        return Issue(h);
    }
    Status AddCameraToWorld(Handle) noexcept override { return {}; }
    Status AddLightToWorld(Handle) noexcept override { return {}; }
    Status AddTrackToWorld(Handle) noexcept override { return {}; }
    Status CreateGroup(const std::string&, Handle& h) noexcept override { return Issue(h); }
    Status SetGroupParent(Handle, Handle) noexcept override { return {}; }
    Status SetGroupMatrix(Handle, const Doubles<16>&) noexcept override { return {}; }
    Status AddGroupToWorld(Handle, std::int32_t) noexcept override { return {}; }
    Status CreatePolygon(Handle& h) noexcept override {
        ++polygons;
        return Issue(h);
    }
    Status AddPolygonVertex(Handle, const Doubles<6>&, Handle& h) noexcept override { return Issue(h); }
    Status SetVertexNormal(Handle, const Doubles<3>&) noexcept override { return {}; }
    Status SetPolygonVertexColor(Handle, Handle, const Rgb&) noexcept override { return {}; }
    Status SetPolygonVertexUV2(Handle, Handle, const Doubles<2>&) noexcept override { return {}; }
    Status SetPolygonColor(Handle, std::int32_t, std::int32_t, std::int32_t) noexcept override { return {}; }
    Status SetPolygonBitmap(Handle, Handle) noexcept override { return {}; }
    Status SetPolygonBitmap2(Handle, Handle) noexcept override { return {}; }
    Status ClosePolygon(Handle) noexcept override { return {}; }
    Status AddPolygonToGroup(Handle, Handle) noexcept override { return {}; }

  private:
    Status Issue(Handle& h) noexcept {
        h = next_ = next_ == 0x7FFFFFFF ? 1 : next_ + 1;
        return {};
    }
    Handle next_ = 0;
};

}  // namespace kzv_test
