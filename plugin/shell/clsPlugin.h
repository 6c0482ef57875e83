// clsPlugin: the class of the component that the host creates. It implements the IPlug contract and
// answers it as an import plug-in without an interactive tool, toolbar or menu entry.
//
// Each IPlug member forwards to its implementation, named IPlug_ plus the member name (property reads
// get_IPlug_X, writes put_IPlug_X). 19 of them also make up the default interface _clsPlugin.
// Runs on the host's thread; the component-wide state it uses belongs to that thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/plugin_error.h"
#include "scenecalls/scene_calls.h"
#include "scenefile/p3dWorld.h"
#include "shell/server.h"
#include "tessavo/host_scene.h"
#include "tessavo/object.h"
#include "tessavo/plug.h"
#include "tessavo/server.h"
#include "tessavo/user_interface.h"

namespace imp_kzv {

// The default interface of clsPlugin: the implementations it exposes under their own names.
class _clsPlugin : public tessavo::IObject {
  public:
    static constexpr char kInterfaceId[] = "{9CD03E91-5DF3-4983-A186-35A90BE78C00}";

    virtual tessavo::Status IPlug_SetHost(tessavo::IHostApplication*& host) noexcept = 0;
    virtual tessavo::Status get_IPlug_PluginType(tessavo::PluginType& result) noexcept = 0;
    virtual tessavo::Status IPlug_Undo() noexcept = 0;
    virtual tessavo::Status IPlug_Redo() noexcept = 0;
    virtual tessavo::Status IPlug_ViewPortClick(std::int16_t& Index) noexcept = 0;
    virtual tessavo::Status IPlug_ViewPortMouseUp(std::int16_t& Index, std::int16_t& Button,
                                                  std::int16_t& Shift, float& x, float& y,
                                                  tessavo::VBool& result) noexcept = 0;
    virtual tessavo::Status IPlug_ViewPortMouseDown(std::int16_t& Index, std::int16_t& Button,
                                                    std::int16_t& Shift, float& x, float& y,
                                                    tessavo::VBool& result) noexcept = 0;
    virtual tessavo::Status IPlug_ViewPortMouseMove(std::int16_t& Index, std::int16_t& Button,
                                                    std::int16_t& Shift, float& x, float& y,
                                                    tessavo::VBool& result) noexcept = 0;
    virtual tessavo::Status IPlug_ViewPortPaint(std::int16_t Index, std::int32_t DC) noexcept = 0;
    virtual tessavo::Status get_IPlug_Caption(std::string& result) noexcept = 0;
    virtual tessavo::Status get_IPlug_PluginActive(tessavo::VBool& result) noexcept = 0;
    virtual tessavo::Status IPlug_SetRootGroup(std::int32_t Grp) noexcept = 0;
    virtual tessavo::Status get_IPlug_CompatibleZorvaneVersion(
        tessavo::CompatibleVersion& result) noexcept = 0;
    virtual tessavo::Status get_IPlug_MyPluginIndex(std::int32_t& result) noexcept = 0;
    virtual tessavo::Status put_IPlug_MyPluginIndex(std::int32_t value) noexcept = 0;
    virtual tessavo::Status get_IPlug_CanImport(tessavo::VBool& result) noexcept = 0;
    virtual tessavo::Status get_IPlug_CanExport(tessavo::VBool& result) noexcept = 0;
    virtual tessavo::Status IPlug_SetPlugParent(tessavo::IObject*& PlugParent) noexcept = 0;
    virtual tessavo::Status IPlug_ResetPlugParent() noexcept = 0;

  protected:
    ~_clsPlugin() = default;
};

class clsPlugin final : public tessavo::RefCounted<tessavo::IPlug, _clsPlugin> {
  public:
    using Status = tessavo::Status;
    using VBool = tessavo::VBool;

    static constexpr std::string_view kClassName = "clsPlugin";
    static constexpr char kClassId[] = "{81C649D0-144C-4475-9A6B-B8136EE1ECB9}";

    // Creates a plug-in object. Its creation gives the component a new host scene interface (not yet
    // attached, replacing any earlier one) and a new auxiliary framework object.
    static Status Create(tessavo::Ref<clsPlugin>& plugin) noexcept;
    // The class factory's creation: a new object handed out through interface_id (IPlug, _clsPlugin or
    // IObject).
    static Status CreateInstance(std::string_view interface_id, void*& object) noexcept;

    // IPlug, in the contract's order.
    Status NewWorldLoaded() noexcept override { return IPlug_NewWorldLoaded(); }
    Status SetHost(tessavo::IHostApplication*& host) noexcept override { return IPlug_SetHost(host); }
    Status get_PluginType(tessavo::PluginType& result) noexcept override {
        return get_IPlug_PluginType(result);
    }
    Status Undo() noexcept override { return IPlug_Undo(); }
    Status Redo() noexcept override { return IPlug_Redo(); }
    Status SelectedEntityChanged() noexcept override { return IPlug_SelectedEntityChanged(); }
    Status ViewPortClick(std::int16_t& Index) noexcept override { return IPlug_ViewPortClick(Index); }
    Status ViewPortMouseUp(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x, float& y,
                           VBool& result) noexcept override {
        return IPlug_ViewPortMouseUp(Index, Button, Shift, x, y, result);
    }
    Status ViewPortMouseDown(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                             float& y, VBool& result) noexcept override {
        return IPlug_ViewPortMouseDown(Index, Button, Shift, x, y, result);
    }
    Status ViewPortMouseMove(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                             float& y, VBool& result) noexcept override {
        return IPlug_ViewPortMouseMove(Index, Button, Shift, x, y, result);
    }
    Status ViewPortPaint(std::int16_t Index, std::int32_t DC) noexcept override {
        return IPlug_ViewPortPaint(Index, DC);
    }
    Status get_Caption(std::string& result) noexcept override { return get_IPlug_Caption(result); }
    Status get_ViewMenuEntry(std::string& result) noexcept override {
        return get_IPlug_ViewMenuEntry(result);
    }
    Status get_PluginActive(VBool& result) noexcept override { return get_IPlug_PluginActive(result); }
    Status SetRootGroup(std::int32_t Grp) noexcept override { return IPlug_SetRootGroup(Grp); }
    Status get_CompatibleZorvaneVersion(tessavo::CompatibleVersion& result) noexcept override {
        return get_IPlug_CompatibleZorvaneVersion(result);
    }
    Status get_MyPluginIndex(std::int32_t& result) noexcept override {
        return get_IPlug_MyPluginIndex(result);
    }
    Status put_MyPluginIndex(std::int32_t value) noexcept override { return put_IPlug_MyPluginIndex(value); }
    Status SetApplicationLCID(std::int32_t lcid) noexcept override { return IPlug_SetApplicationLCID(lcid); }
    Status KeyPress(std::int16_t& KeyCode, std::int16_t& Shift) noexcept override {
        return IPlug_KeyPress(KeyCode, Shift);
    }
    Status get_CanImport(VBool& result) noexcept override { return get_IPlug_CanImport(result); }
    Status get_CanExport(VBool& result) noexcept override { return get_IPlug_CanExport(result); }
    Status Import(std::int32_t& result) noexcept override { return IPlug_Import(result); }
    Status Export(std::int32_t& result) noexcept override { return IPlug_Export(result); }
    Status GetToolbarObject(tessavo::IObject*& result) noexcept override {
        return IPlug_GetToolbarObject(result);
    }
    Status ResetToolbar() noexcept override { return IPlug_ResetToolbar(); }
    Status SaveToolbar() noexcept override { return IPlug_SaveToolbar(); }
    Status RestoreToolbar() noexcept override { return IPlug_RestoreToolbar(); }
    Status get_CoolbarIndex(std::int32_t& result) noexcept override { return get_IPlug_CoolbarIndex(result); }
    Status put_CoolbarIndex(std::int32_t value) noexcept override { return put_IPlug_CoolbarIndex(value); }
    Status get_CoolbarBandIndex(std::int32_t& result) noexcept override {
        return get_IPlug_CoolbarBandIndex(result);
    }
    Status put_CoolbarBandIndex(std::int32_t value) noexcept override {
        return put_IPlug_CoolbarBandIndex(value);
    }
    Status get_ToolbarPluginRank(std::int32_t& result) noexcept override {
        return get_IPlug_ToolbarPluginRank(result);
    }
    Status put_ToolbarPluginRank(std::int32_t value) noexcept override {
        return put_IPlug_ToolbarPluginRank(value);
    }
    Status SetPlugParent(tessavo::IObject*& PlugParent) noexcept override {
        return IPlug_SetPlugParent(PlugParent);
    }
    Status ResetPlugParent() noexcept override { return IPlug_ResetPlugParent(); }

    // The implementations, in the same order.
    Status IPlug_NewWorldLoaded() noexcept;
    // Keeps host, attaches the host scene interface to it and loads the texts for the host's locale.
    // Failures are reported to the host; the call itself always succeeds.
    Status IPlug_SetHost(tessavo::IHostApplication*& host) noexcept override;
    Status get_IPlug_PluginType(tessavo::PluginType& result) noexcept override;
    Status IPlug_Undo() noexcept override;
    Status IPlug_Redo() noexcept override;
    Status IPlug_SelectedEntityChanged() noexcept;
    Status IPlug_ViewPortClick(std::int16_t& Index) noexcept override;
    // The three mouse members answer false and leave their arguments untouched.
    Status IPlug_ViewPortMouseUp(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                                 float& y, VBool& result) noexcept override;
    Status IPlug_ViewPortMouseDown(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                                   float& y, VBool& result) noexcept override;
    Status IPlug_ViewPortMouseMove(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                                   float& y, VBool& result) noexcept override;
    Status IPlug_ViewPortPaint(std::int16_t Index, std::int32_t DC) noexcept override;
    // The caption of the current locale; empty before the first locale setup.
    Status get_IPlug_Caption(std::string& result) noexcept override;
    Status get_IPlug_ViewMenuEntry(std::string& result) noexcept;
    Status get_IPlug_PluginActive(VBool& result) noexcept override;
    Status IPlug_SetRootGroup(std::int32_t Grp) noexcept override;
    Status get_IPlug_CompatibleZorvaneVersion(tessavo::CompatibleVersion& result) noexcept override;
    Status get_IPlug_MyPluginIndex(std::int32_t& result) noexcept override;
    Status put_IPlug_MyPluginIndex(std::int32_t value) noexcept override;
    // Reloads the texts for lcid. Failures are reported to the host; the call itself always succeeds.
    Status IPlug_SetApplicationLCID(std::int32_t lcid) noexcept;
    Status IPlug_KeyPress(std::int16_t& KeyCode, std::int16_t& Shift) noexcept;
    Status get_IPlug_CanImport(VBool& result) noexcept override;
    Status get_IPlug_CanExport(VBool& result) noexcept override;
    Status IPlug_Import(std::int32_t& result) noexcept;
    Status IPlug_Export(std::int32_t& result) noexcept;
    Status IPlug_GetToolbarObject(tessavo::IObject*& result) noexcept;
    Status IPlug_ResetToolbar() noexcept;
    Status IPlug_SaveToolbar() noexcept;
    Status IPlug_RestoreToolbar() noexcept;
    Status get_IPlug_CoolbarIndex(std::int32_t& result) noexcept;
    Status put_IPlug_CoolbarIndex(std::int32_t value) noexcept;
    Status get_IPlug_CoolbarBandIndex(std::int32_t& result) noexcept;
    Status put_IPlug_CoolbarBandIndex(std::int32_t value) noexcept;
    Status get_IPlug_ToolbarPluginRank(std::int32_t& result) noexcept;
    Status put_IPlug_ToolbarPluginRank(std::int32_t value) noexcept;
    Status IPlug_SetPlugParent(tessavo::IObject*& PlugParent) noexcept override;
    Status IPlug_ResetPlugParent() noexcept override;

  private:
    clsPlugin() = default;
    // The end of a plug-in object empties the component's host scene interface slot.
    ~clsPlugin() override;

    // Creation of a plug-in object: the two framework objects of the component.
    Status Initialize() noexcept;

    // The host scene interface as members of this class call it (errors of a missing one carry the
    // source "Imp_KZV.clsPlugin").
    SceneCalls& Scene() noexcept { return scene_; }

  public:
    using MaterialList = std::vector<std::shared_ptr<p3dMaterial>>;
    using GroupList = std::vector<std::shared_ptr<p3dGroup>>;
    using VertexList = RecordList<p3dVert>;
    using Point2List = RecordList<p3dPt2D>;
    using Point3List = RecordList<p3dPt3D>;

    // The record tree of the most recent import (null before the first); kept until the next one.
    const std::shared_ptr<p3dWorld>& CurrentWorld() const noexcept { return current_world_; }

    // The Import command for a scene already in memory: DoImport reads sceneBytes instead of opening
    // fileName (which still names the scene's folder for its bitmaps), then the completion or failure
    // message follows as after the dialog. For hosts and tests that hold the scene's bytes.
    Status ImportScene(const std::string& fileName, std::span<const std::byte> sceneBytes) noexcept;

  private:
    // The import engine (plugin/import). DoImport reports its own failure to the host and answers
    // false; the other two pass errors on to their caller with one more trace line.
    bool DoImport(const std::string& fileName);
    // The same with the scene's bytes at hand: nothing is opened.
    bool DoImport(const std::string& fileName, std::span<const std::byte> sceneBytes);
    tessavo::Handle p3dGroupEnum(const p3dGroup& group, const tessavo::Handle& parentGroupHandle);
    tessavo::Handle CreateStatePolygon(const p3dTri& tri, const VertexList& vertexList,
                                       const Point2List& texCoordsList, const Point2List& texCoords2List,
                                       const Point3List& colorList, const MultiMaterial* multiMat);

    // Steps of DoImport. RunImport reads sceneBytes when given, the file fileName otherwise.
    bool RunImport(const std::string& fileName, const std::span<const std::byte>* sceneBytes);
    class WorldWalk;
    // The world the running import walks (see WorldWalk).
    p3dWorld& World() const noexcept { return *walked_world_; }
    void ImportCameras();
    void ImportLights();
    void ImportTracks();
    void LoadMaterialBitmaps(const std::string& textureFolder);
    void PostNotice(const char* text);
    // Steps of p3dGroupEnum.
    tessavo::Handle OpenGroupNode(const p3dGroup& group, tessavo::Handle parent);
    void ImportMeshInstance(std::int32_t meshIndex, tessavo::Handle groupNode);
    void CountWork(std::uint64_t units);
    // Steps of CreateStatePolygon.
    const p3dMaterial* SelectMaterial(const p3dTri& tri, const MultiMaterial* multiMat,
                                      const MaterialList& materials) const;
    void ApplyMaterial(tessavo::Handle polygon, const p3dMaterial& material);
    // Shows a message box titled with the application title; a failure of the box is an error.
    void ShowMessage(const std::string& text, tessavo::MessageIcon icon);
    // The message that ends the Import command: completion message 1, or "Import Failed!".
    void ShowImportOutcome(bool imported);

    std::shared_ptr<p3dWorld> current_world_;
    p3dWorld* walked_world_ = nullptr;
    std::int32_t import_progress_counter_ = 0;
    // Group nodes, mesh nodes and polygons created by the current import (bounded, see import_limits.h).
    std::uint64_t import_work_done_ = 0;

    SceneCalls scene_{class_source(kClassName)};
    tessavo::LiveObject live_{ComponentLifetime()};
};

}  // namespace imp_kzv
