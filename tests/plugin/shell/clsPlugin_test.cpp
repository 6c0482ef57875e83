#include "shell/clsPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>

#include "fresh_thread.h"
#include "plugin_session.h"
#include "scripted_user_interface.h"
#include "shell/component_state.h"
#include "tessavo/framework_objects.h"

namespace {

using imp_kzv::clsPlugin;
using imp_kzv::Component;
using kzv_test::PluginSession;
using kzv_test::RecordingHost;
using kzv_test::RunOnFreshThread;
using tessavo::IPlug;
using tessavo::Ref;

Ref<clsPlugin> NewPlugin() {
    Ref<clsPlugin> plugin;
    EXPECT_TRUE(clsPlugin::Create(plugin).ok());
    return plugin;
}

// Reads one member through the contract and answers its result as a number.
using Read = std::function<std::int32_t(IPlug&)>;

template <class T, class Member>
Read Get(Member member) {
    return [member](IPlug& plug) {
        T result{};
        EXPECT_TRUE((plug.*member)(result).ok());
        return static_cast<std::int32_t>(result);
    };
}

TEST(clsPlugin, FixedAnswersThroughTheContract) {
    const std::pair<const char*, Read> cases[] = {
        {"PluginType", Get<tessavo::PluginType>(&IPlug::get_PluginType)},
        {"PluginActive", Get<tessavo::VBool>(&IPlug::get_PluginActive)},
        {"CompatibleZorvaneVersion", Get<tessavo::CompatibleVersion>(&IPlug::get_CompatibleZorvaneVersion)},
        {"CanImport", Get<tessavo::VBool>(&IPlug::get_CanImport)},
        {"CanExport", Get<tessavo::VBool>(&IPlug::get_CanExport)},
        {"CoolbarIndex", Get<std::int32_t>(&IPlug::get_CoolbarIndex)},
        {"CoolbarBandIndex", Get<std::int32_t>(&IPlug::get_CoolbarBandIndex)},
        {"ToolbarPluginRank", Get<std::int32_t>(&IPlug::get_ToolbarPluginRank)},
    };
    const std::int32_t expected[] = {0, 0, 0, -1, 0, 0, 0, 0};
    RunOnFreshThread([&] {
        // The commands' dialog is a scripted one that cancels: nothing waits for a terminal.
        auto ui = tessavo::MakeRef<kzv_test::ScriptedUserInterface>();
        tessavo::ScopedUserInterface scoped(ui.get());
        auto plugin = NewPlugin();
        IPlug& plug = *plugin;
        // Written values of the ignored properties do not come back.
        ASSERT_TRUE(plug.put_CoolbarIndex(5).ok());
        ASSERT_TRUE(plug.put_CoolbarBandIndex(6).ok());
        ASSERT_TRUE(plug.put_ToolbarPluginRank(7).ok());
        for (std::size_t i = 0; i < std::size(cases); ++i)
            EXPECT_EQ(cases[i].second(plug), expected[i]) << cases[i].first;

        std::string text = "x";
        EXPECT_TRUE(plug.get_ViewMenuEntry(text).ok());
        EXPECT_EQ(text, "");
        tessavo::IObject* toolbar = reinterpret_cast<tessavo::IObject*>(&text);
        EXPECT_TRUE(plug.GetToolbarObject(toolbar).ok());
        EXPECT_EQ(toolbar, nullptr);
        std::int32_t result = 9;
        EXPECT_TRUE(plug.Import(result).ok());
        EXPECT_EQ(result, 0);
        result = 9;
        EXPECT_TRUE(plug.Export(result).ok());
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ui->dialog_filters().size(), 2u) << "both commands asked the scripted dialog";
    });
}

// The members that do nothing: they succeed, call neither the host nor the user, and change nothing.
TEST(clsPlugin, MembersThatDoNothingLeaveHostAndStateAlone) {
    RunOnFreshThread([] {
        PluginSession session;
        auto ui = tessavo::MakeRef<kzv_test::ScriptedUserInterface>();
        tessavo::ScopedUserInterface scoped(ui.get());
        session.host.ClearLog();
        IPlug& plug = *session.plugin;
        std::int16_t index = 2, key = 65, shift = 1;
        tessavo::IObject* parent = nullptr;
        const std::pair<const char*, std::function<tessavo::Status()>> members[] = {
            {"NewWorldLoaded", [&] { return plug.NewWorldLoaded(); }},
            {"Undo", [&] { return plug.Undo(); }},
            {"Redo", [&] { return plug.Redo(); }},
            {"SelectedEntityChanged", [&] { return plug.SelectedEntityChanged(); }},
            {"ViewPortClick", [&] { return plug.ViewPortClick(index); }},
            {"ViewPortPaint", [&] { return plug.ViewPortPaint(1, 99); }},
            {"KeyPress", [&] { return plug.KeyPress(key, shift); }},
            {"ResetToolbar", [&] { return plug.ResetToolbar(); }},
            {"SaveToolbar", [&] { return plug.SaveToolbar(); }},
            {"RestoreToolbar", [&] { return plug.RestoreToolbar(); }},
            {"SetPlugParent", [&] { return plug.SetPlugParent(parent); }},
            {"ResetPlugParent", [&] { return plug.ResetPlugParent(); }},
        };
        const auto before = std::tuple(Component().caption, Component().plugin_index, Component().root_group,
                                       Component().host_scene.get(), Component().host_object.get());
        for (const auto& [name, call] : members) EXPECT_TRUE(call().ok()) << name;
        EXPECT_TRUE(session.host.lines().empty());
        EXPECT_TRUE(ui->dialog_filters().empty() && ui->messages().empty());
        EXPECT_EQ(std::tuple(Component().caption, Component().plugin_index, Component().root_group,
                             Component().host_scene.get(), Component().host_object.get()),
                  before);
    });
}

// The position of a virtual member in its interface's table, as the Itanium C++ ABI of this platform
// encodes it in a pointer to member: 1 + the byte offset of its slot.
template <class Member>
std::size_t SlotOf(Member member) {
    static_assert(sizeof(Member) == 2 * sizeof(std::uintptr_t));
    std::uintptr_t raw = 0;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw - 1) / sizeof(void*);
}

// _clsPlugin offers its 19 members after the two of IObject, in the order hosts rely on.
TEST(clsPlugin, DefaultInterfaceHasItsNineteenMembersInOrder) {
    using I = imp_kzv::_clsPlugin;
    const std::size_t slots[] = {
        SlotOf(&I::IPlug_SetHost),
        SlotOf(&I::get_IPlug_PluginType),
        SlotOf(&I::IPlug_Undo),
        SlotOf(&I::IPlug_Redo),
        SlotOf(&I::IPlug_ViewPortClick),
        SlotOf(&I::IPlug_ViewPortMouseUp),
        SlotOf(&I::IPlug_ViewPortMouseDown),
        SlotOf(&I::IPlug_ViewPortMouseMove),
        SlotOf(&I::IPlug_ViewPortPaint),
        SlotOf(&I::get_IPlug_Caption),
        SlotOf(&I::get_IPlug_PluginActive),
        SlotOf(&I::IPlug_SetRootGroup),
        SlotOf(&I::get_IPlug_CompatibleZorvaneVersion),
        SlotOf(&I::get_IPlug_MyPluginIndex),
        SlotOf(&I::put_IPlug_MyPluginIndex),
        SlotOf(&I::get_IPlug_CanImport),
        SlotOf(&I::get_IPlug_CanExport),
        SlotOf(&I::IPlug_SetPlugParent),
        SlotOf(&I::IPlug_ResetPlugParent),
    };
    ASSERT_EQ(SlotOf(&tessavo::IObject::Release), 1u);
    for (std::size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], i + 2) << "member " << i;

    RunOnFreshThread([] {
        auto plugin = NewPlugin();
        I& members = *plugin;
        ASSERT_TRUE(members.put_IPlug_MyPluginIndex(-5).ok());
        std::int32_t index = 0;
        ASSERT_TRUE(members.get_IPlug_MyPluginIndex(index).ok());
        EXPECT_EQ(index, -5);
        tessavo::VBool can_export = tessavo::kTrue;
        ASSERT_TRUE(members.get_IPlug_CanExport(can_export).ok());
        EXPECT_EQ(can_export, tessavo::kFalse);
    });
}

TEST(clsPlugin, MouseMembersAnswerFalseAndLeaveTheirArgumentsAlone) {
    using Mouse = tessavo::Status (IPlug::*)(std::int16_t&, std::int16_t&, std::int16_t&, float&, float&,
                                             tessavo::VBool&) noexcept;
    RunOnFreshThread([] {
        auto plugin = NewPlugin();
        for (Mouse member : {&IPlug::ViewPortMouseUp, &IPlug::ViewPortMouseDown, &IPlug::ViewPortMouseMove}) {
            std::int16_t index = 3, button = -2, shift = 7;
            float x = 1.5f, y = -0.25f;
            tessavo::VBool result = tessavo::kTrue;
            EXPECT_TRUE(((*plugin).*member)(index, button, shift, x, y, result).ok());
            EXPECT_EQ(result, tessavo::kFalse);
            EXPECT_EQ(std::tuple(index, button, shift, x, y), std::tuple(3, -2, 7, 1.5f, -0.25f));
        }
        std::int16_t index = 4, key = 65, shift = 1;
        EXPECT_TRUE(plugin->ViewPortClick(index).ok());
        EXPECT_TRUE(plugin->KeyPress(key, shift).ok());
        EXPECT_EQ(std::tuple(index, key, shift), std::tuple(4, 65, 1));
    });
}

TEST(clsPlugin, CaptionIsEmptyUntilTheFirstLocaleSetup) {
    RunOnFreshThread([] {
        auto plugin = NewPlugin();
        std::string caption = "x";
        ASSERT_TRUE(plugin->get_Caption(caption).ok());
        EXPECT_EQ(caption, "");
        ASSERT_TRUE(plugin->SetApplicationLCID(1033).ok());
        ASSERT_TRUE(plugin->get_Caption(caption).ok());
        EXPECT_EQ(caption, "KZV");
    });
}

TEST(clsPlugin, PluginIndexAndRootGroupAreSharedByTheThreadsObjects) {
    RunOnFreshThread([] {
        auto first = NewPlugin();
        std::int32_t index = 9;
        ASSERT_TRUE(first->get_MyPluginIndex(index).ok());
        EXPECT_EQ(index, 0);
        ASSERT_TRUE(first->put_MyPluginIndex(-12).ok());
        ASSERT_TRUE(first->SetRootGroup(77).ok());
        auto second = NewPlugin();
        ASSERT_TRUE(second->get_MyPluginIndex(index).ok());
        EXPECT_EQ(index, -12);
        EXPECT_EQ(Component().root_group, 77);
        RunOnFreshThread(
            [] { EXPECT_EQ(Component().plugin_index, 0) << "another thread has its own state"; });
    });
}

TEST(clsPlugin, SetHostAttachesAndAsksTheLocale) {
    RunOnFreshThread([] {
        PluginSession session;
        EXPECT_EQ(session.host.lines(),
                  (std::vector<std::string>{R"({"op": "AttachHost", "args": []})",
                                            R"({"op": "GetHostLCID", "args": [], "ret": 1033})"}));
        EXPECT_EQ(Component().host_object.get(), session.host.application());
    });
}

TEST(clsPlugin, SetHostTwiceMovesToTheSecondHostAndReloads) {
    RunOnFreshThread([] {
        PluginSession session;
        RecordingHost second(407);
        tessavo::IHostApplication* app = second.application();
        ASSERT_TRUE(session.plugin->SetHost(app).ok());
        EXPECT_EQ(second.Ops(), (std::vector<std::string>{"AttachHost", "GetHostLCID"}));
        EXPECT_EQ(Component().host_object.get(), second.application());
        EXPECT_EQ(Component().caption, "999999");
        std::int32_t kind = 4;
        imp_kzv::SceneCalls("Imp_KZV").ReportMessage("after", kind);
        EXPECT_EQ(second.Count("ReportMessage"), 1u);
        EXPECT_EQ(session.host.Count("ReportMessage"), 0u);
    });
}

TEST(clsPlugin, SetHostFailuresAreReportedAndTheCallSucceeds) {
    RunOnFreshThread([] {
        RecordingHost host;
        host.FailCall("GetHostLCID", 1, 3001, "Locale unknown", "Host.Locale");
        auto plugin = NewPlugin();
        tessavo::IHostApplication* app = host.application();
        EXPECT_TRUE(plugin->SetHost(app).ok());
        EXPECT_EQ(host.LinesOf("ReportError"),
                  std::vector<std::string>{R"({"op": "ReportError", "args": [3001, "Locale unknown", )"
                                           R"("Host.Locale\r\nImp_KZV_Plugin.clsPlugin.IPlug_SetHost"]})"});

        tessavo::IHostApplication* none = nullptr;
        EXPECT_TRUE(plugin->SetHost(none).ok()) << "a null host is reported (where possible), never a crash";
    });
}

TEST(clsPlugin, SetHostStopsWhenAttachHostFails) {
    RunOnFreshThread([] {
        RecordingHost host;
        host.FailCall("AttachHost", 1, 3002, "Host refuses", "Host.App");
        auto plugin = NewPlugin();
        tessavo::IHostApplication* app = host.application();
        EXPECT_TRUE(plugin->SetHost(app).ok());
        EXPECT_EQ(host.Ops(), (std::vector<std::string>{"AttachHost"})) << "no locale asked, nothing loaded";
        EXPECT_EQ(Component().caption, "");
        // The interface stays unattached: the report cannot reach the host and is dropped.
        EXPECT_EQ(Component().host_object.get(), host.application()) << "the host was kept before the attach";
    });
}

TEST(clsPlugin, ASecondObjectReplacesTheHostSceneInterfaceAndEitherEndEmptiesIt) {
    RunOnFreshThread([] {
        PluginSession session;
        const auto* attached = Component().host_scene.get();
        auto second = NewPlugin();
        ASSERT_NE(Component().host_scene.get(), nullptr);
        EXPECT_NE(Component().host_scene.get(), attached);
        std::int32_t lcid = 0;
        EXPECT_EQ(Component().host_scene->GetHostLCID(lcid).number, tessavo::kErrNotAttached);

        session.plugin.reset();
        EXPECT_EQ(Component().host_scene.get(), nullptr);
        EXPECT_NE(Component().auxiliary.get(), nullptr) << "held until the thread ends";
        EXPECT_NE(Component().host_object.get(), nullptr) << "held until the thread ends";
        try {
            imp_kzv::SceneCalls("Imp_KZV.clsPlugin").CreatePolygon();
            ADD_FAILURE() << "no error without a host scene interface";
        } catch (const imp_kzv::PluginError& e) {
            EXPECT_EQ(e.number(), 91);
            EXPECT_EQ(e.source(), "Imp_KZV.clsPlugin");
        }
    });
}

TEST(clsPlugin, FactoryHandsOutTheContractAndTheDefaultInterface) {
    RunOnFreshThread([] {
        for (std::string_view id :
             {IPlug::kInterfaceId, imp_kzv::_clsPlugin::kInterfaceId, tessavo::IObject::kInterfaceId}) {
            void* object = nullptr;
            ASSERT_TRUE(clsPlugin::CreateInstance(id, object).ok()) << id;
            if (id == imp_kzv::_clsPlugin::kInterfaceId) {
                auto* default_interface = static_cast<imp_kzv::_clsPlugin*>(object);
                tessavo::VBool can_import = 0;
                EXPECT_TRUE(default_interface->get_IPlug_CanImport(can_import).ok());
                EXPECT_EQ(can_import, tessavo::kTrue);
            }
            EXPECT_EQ(static_cast<tessavo::IObject*>(object)->Release(), 0u);
        }
        void* object = nullptr;
        EXPECT_EQ(clsPlugin::CreateInstance(tessavo::IAuxiliary::kInterfaceId, object).number,
                  tessavo::kErrNoInterface);
    });
}

}  // namespace
