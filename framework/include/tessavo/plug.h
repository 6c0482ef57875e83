// The plug-in contracts: IPlug, which every plug-in's main class implements, and ActionUndoRedo,
// an undoable action that a plug-in may hand to its host.
//
// Automation style, as every framework contract: each member is noexcept and returns a Status,
// results come back through out-parameters, and an argument the contract passes by reference is a
// C++ reference to the caller's own variable. Property reads are named get_X, writes put_X.
#pragma once

#include <cstdint>
#include <string>

#include "tessavo/host_scene.h"
#include "tessavo/object.h"

namespace tessavo {

// The plug-in type enumeration of the contract (only its value 0 is used so far).
enum PluginType : std::int32_t { kPluginTypeDefault = 0 };

// The framework version a plug-in declares itself compatible with (only its value 0 is used so far).
enum CompatibleVersion : std::int32_t { kCompatibleVersionDefault = 0 };

class IPlug : public IObject {
  public:
    static constexpr char kInterfaceId[] = "{576BAB97-E5BF-4B8A-8D7D-A6557E39BD0B}";

    // Members 1 to 36, in the contract's order.
    virtual Status NewWorldLoaded() noexcept = 0;
    // The plug-in keeps a counted reference to host.
    virtual Status SetHost(IHostApplication*& host) noexcept = 0;
    virtual Status get_PluginType(PluginType& result) noexcept = 0;
    virtual Status Undo() noexcept = 0;
    virtual Status Redo() noexcept = 0;
    virtual Status SelectedEntityChanged() noexcept = 0;
    virtual Status ViewPortClick(std::int16_t& Index) noexcept = 0;
    virtual Status ViewPortMouseUp(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                                   float& y, VBool& result) noexcept = 0;
    virtual Status ViewPortMouseDown(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                                     float& y, VBool& result) noexcept = 0;
    virtual Status ViewPortMouseMove(std::int16_t& Index, std::int16_t& Button, std::int16_t& Shift, float& x,
                                     float& y, VBool& result) noexcept = 0;
    virtual Status ViewPortPaint(std::int16_t Index, std::int32_t DC) noexcept = 0;
    virtual Status get_Caption(std::string& result) noexcept = 0;
    virtual Status get_ViewMenuEntry(std::string& result) noexcept = 0;
    virtual Status get_PluginActive(VBool& result) noexcept = 0;
    virtual Status SetRootGroup(std::int32_t Grp) noexcept = 0;
    virtual Status get_CompatibleZorvaneVersion(CompatibleVersion& result) noexcept = 0;
    virtual Status get_MyPluginIndex(std::int32_t& result) noexcept = 0;
    virtual Status put_MyPluginIndex(std::int32_t value) noexcept = 0;
    virtual Status SetApplicationLCID(std::int32_t lcid) noexcept = 0;
    virtual Status KeyPress(std::int16_t& KeyCode, std::int16_t& Shift) noexcept = 0;
    virtual Status get_CanImport(VBool& result) noexcept = 0;
    virtual Status get_CanExport(VBool& result) noexcept = 0;
    virtual Status Import(std::int32_t& result) noexcept = 0;
    virtual Status Export(std::int32_t& result) noexcept = 0;
    // result: a new reference owned by the caller, or null.
    virtual Status GetToolbarObject(IObject*& result) noexcept = 0;
    virtual Status ResetToolbar() noexcept = 0;
    virtual Status SaveToolbar() noexcept = 0;
    virtual Status RestoreToolbar() noexcept = 0;
    virtual Status get_CoolbarIndex(std::int32_t& result) noexcept = 0;
    virtual Status put_CoolbarIndex(std::int32_t value) noexcept = 0;
    virtual Status get_CoolbarBandIndex(std::int32_t& result) noexcept = 0;
    virtual Status put_CoolbarBandIndex(std::int32_t value) noexcept = 0;
    virtual Status get_ToolbarPluginRank(std::int32_t& result) noexcept = 0;
    virtual Status put_ToolbarPluginRank(std::int32_t value) noexcept = 0;
    virtual Status SetPlugParent(IObject*& PlugParent) noexcept = 0;
    virtual Status ResetPlugParent() noexcept = 0;

  protected:
    ~IPlug() = default;
};

class ActionUndoRedo : public IObject {
  public:
    static constexpr char kInterfaceId[] = "{40F23A49-1CE8-4FB8-B787-F0691210FC96}";

    virtual Status Undo() noexcept = 0;
    virtual Status Redo() noexcept = 0;

  protected:
    ~ActionUndoRedo() = default;
};

}  // namespace tessavo
