#include "shell/locale_strings.h"

#include <gtest/gtest.h>

#include <vector>

#include "fresh_thread.h"
#include "plugin_session.h"
#include "resources/string_table.h"
#include "shell/component_state.h"

namespace {

using imp_kzv::Component;
using imp_kzv::StringTableEntry;
using kzv_test::PluginSession;
using kzv_test::RunOnFreshThread;

// The built-in table without the entries of the given ids.
std::vector<StringTableEntry> TableWithout(std::initializer_list<std::int32_t> missing) {
    std::vector<StringTableEntry> table;
    for (const StringTableEntry& entry : imp_kzv::BuiltInStringTable()) {
        if (std::find(missing.begin(), missing.end(), entry.id) == missing.end()) table.push_back(entry);
    }
    return table;
}

struct Texts {
    std::int32_t base;
    std::string title, caption, message1, message2;
    bool operator==(const Texts&) const = default;
};

Texts CurrentTexts() {
    const auto& s = Component();
    EXPECT_EQ(s.application_title, s.caption) << "message boxes are titled with the caption";
    return {s.language_base, s.title, s.caption, s.completion_messages[0], s.completion_messages[1]};
}

const Texts kBlock100{100, "KZV Import Export Plugin", "KZV", "Import Complete", "Export Complete"};
const Texts kBlock200{200, "999999", "999999", "999999", "999999"};

TEST(LocaleStrings, OnlyTheIdentifier407SelectsTheSecondBlock) {
    const std::pair<std::int32_t, Texts> cases[] = {
        {407, kBlock200}, {1033, kBlock100}, {1031, kBlock100}, {0x0407, kBlock100},
        {0, kBlock100},   {-1, kBlock100},   {-407, kBlock100}, {INT32_MIN, kBlock100},
    };
    RunOnFreshThread([&] {
        PluginSession session;
        for (const auto& [lcid, expected] : cases) {
            ASSERT_TRUE(session.plugin->IPlug_SetApplicationLCID(lcid).ok());
            EXPECT_EQ(CurrentTexts(), expected) << "lcid " << lcid;
        }
        EXPECT_EQ(session.host.Count("ReportMessage") + session.host.Count("ReportError"), 0u);
    });
}

TEST(LocaleStrings, SetHostLoadsTheTextsOfTheHostsLocale) {
    RunOnFreshThread([] {
        PluginSession session(407);
        EXPECT_EQ(CurrentTexts(), kBlock200);
    });
}

TEST(LocaleStrings, MissingIdIsReportedWithTheCaptionBeforeAndSetupGoesOn) {
    RunOnFreshThread([] {
        PluginSession session(407);  // caption "999999"
        const auto table = TableWithout({101});
        imp_kzv::ScopedStringTable scoped(table);
        session.host.ClearLog();
        ASSERT_TRUE(session.plugin->IPlug_SetApplicationLCID(1033).ok());
        EXPECT_EQ(session.host.lines(),
                  std::vector<std::string>{R"({"op": "ReportMessage", "args": ["999999: Error while loading )"
                                           R"(LocaleStringResource: Resource with this identifier not found )"
                                           R"j((string id 101)", 1]})j"});
        EXPECT_EQ(CurrentTexts(), (Texts{100, "", "KZV", "Import Complete", "Export Complete"}));
    });
}

// The caption itself missing: its report is made with the caption from before this load.
TEST(LocaleStrings, MissingCaptionIsReportedWithThePreviousCaption) {
    RunOnFreshThread([] {
        PluginSession session(407);
        const auto table = TableWithout({102});
        imp_kzv::ScopedStringTable scoped(table);
        session.host.ClearLog();
        ASSERT_TRUE(session.plugin->IPlug_SetApplicationLCID(1033).ok());
        EXPECT_EQ(session.host.lines(),
                  std::vector<std::string>{R"({"op": "ReportMessage", "args": ["999999: Error while loading )"
                                           R"(LocaleStringResource: Resource with this identifier not found )"
                                           R"j((string id 102)", 1]})j"});
        EXPECT_EQ(CurrentTexts(),
                  (Texts{100, "KZV Import Export Plugin", "", "Import Complete", "Export Complete"}));
    });
}

// Strings 205 and 206 are in the table but no text of the component uses them.
TEST(LocaleStrings, Strings205And206AreNeverRead) {
    RunOnFreshThread([] {
        const auto table = TableWithout({205, 206});
        imp_kzv::ScopedStringTable scoped(table);
        PluginSession session(407);
        EXPECT_EQ(session.host.Count("ReportMessage") + session.host.Count("ReportError"), 0u);
        EXPECT_EQ(CurrentTexts(), kBlock200);
    });
}

TEST(LocaleStrings, MissingCompletionMessageFailsTheSetupWithThreeTraceLines) {
    RunOnFreshThread([] {
        const auto table = TableWithout({103});
        imp_kzv::ScopedStringTable scoped(table);
        PluginSession session;
        EXPECT_EQ(
            session.host.LinesOf("ReportError"),
            std::vector<std::string>{
                R"j({"op": "ReportError", "args": [326, "Resource with this identifier not found (string id 103)", )j"
                R"("Imp_KZV_Plugin.Globals.SetAllLocaleStrings\r\nImp_KZV_Plugin.Globals.SetLangBaseIndxBasedOnLCID)"
                R"(\r\nImp_KZV_Plugin.clsPlugin.IPlug_SetHost"]})"});
        // Texts loaded before the failure keep their new values, the later ones their old (empty) ones.
        EXPECT_EQ(CurrentTexts(), (Texts{100, "KZV Import Export Plugin", "KZV", "", ""}));
    });
}

TEST(LocaleStrings, FailingReportOfAMissingIdPassesOnWithTheHostsSource) {
    RunOnFreshThread([] {
        PluginSession session;
        const auto table = TableWithout({102});
        imp_kzv::ScopedStringTable scoped(table);
        session.host.FailCall("ReportMessage", 1, 440, "Message window closed", "Host.Messages");
        session.host.ClearLog();
        ASSERT_TRUE(session.plugin->IPlug_SetApplicationLCID(1033).ok());
        EXPECT_EQ(
            session.host.LinesOf("ReportError"),
            std::vector<std::string>{R"({"op": "ReportError", "args": [440, "Message window closed", )"
                                     R"("Host.Messages\r\nImp_KZV_Plugin.Globals.SetAllLocaleStrings\r\n)"
                                     R"(Imp_KZV_Plugin.Globals.SetLangBaseIndxBasedOnLCID\r\n)"
                                     R"(Imp_KZV_Plugin.clsPlugin.IPlug_SetApplicationLCID"]})"});
    });
}

TEST(LoadLocaleString, AnswersTheTextOrEmpty) {
    RunOnFreshThread([] {
        PluginSession session;
        EXPECT_EQ(imp_kzv::LoadLocaleString(205), "999999");
        session.host.ClearLog();
        EXPECT_EQ(imp_kzv::LoadLocaleString(-1), "");
        EXPECT_EQ(session.host.Count("ReportMessage"), 1u);
    });
}

}  // namespace
