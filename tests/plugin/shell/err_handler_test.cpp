// Error traces as the host receives them: their lines, their order and their separators are part of
// the contract with the host.
#include "shell/err_handler.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "fresh_thread.h"
#include "plugin_session.h"
#include "scenecalls/scene_calls.h"
#include "shell/component_state.h"

namespace {

using imp_kzv::BuildErrSource;
using imp_kzv::Err;
using imp_kzv::ErrorValue;
using kzv_test::PluginSession;
using kzv_test::RunOnFreshThread;

TEST(BuildErrSource, AddsOneLineAfterAForeignSourceOnly) {
    struct Case {
        std::string source, expected;
    };
    const Case cases[] = {
        {"Imp_KZV", "Imp_KZV_Plugin.clsPlugin.DoImport"},
        {"", "Imp_KZV_Plugin.clsPlugin.DoImport"},
        {"Imp_KZV.clsPlugin", "Imp_KZV.clsPlugin\r\nImp_KZV_Plugin.clsPlugin.DoImport"},
        {"imp_kzv", "imp_kzv\r\nImp_KZV_Plugin.clsPlugin.DoImport"},  // the comparison is exact
        {"Host.Scene\r\nHost.Inner", "Host.Scene\r\nHost.Inner\r\nImp_KZV_Plugin.clsPlugin.DoImport"},
    };
    RunOnFreshThread([&] {
        for (const Case& c : cases)
            EXPECT_EQ(BuildErrSource(c.source, "clsPlugin", "DoImport"), c.expected) << c.source;
    });
}

// A stand-in for the import engine: CreateStatePolygon fails, each level of the group enumeration
// passes the error on, and DoImport reports it.
struct FakeEngine {
    int levels_below_root = 0;
    std::function<void()> polygon_failure = [] {
        imp_kzv::raise(Err::Overflow, {}, imp_kzv::class_source("clsPlugin"));
    };

    void CreateStatePolygon() try { polygon_failure(); } catch (...) {
        imp_kzv::RaiseErrToCaller("clsPlugin", "CreateStatePolygon");
    }

    void p3dGroupEnum(int depth) try {
        if (depth == levels_below_root) {
            CreateStatePolygon();
        } else {
            p3dGroupEnum(depth + 1);
        }
    } catch (...) {
        imp_kzv::RaiseErrToCaller("clsPlugin", "p3dGroupEnum");
    }

    bool DoImport() try {
        p3dGroupEnum(0);
        return true;
    } catch (...) {
        imp_kzv::ReportErrToHost("clsPlugin", "DoImport");
        return false;
    }
};

TEST(ErrorTrace, FailingPolygonInAChildGroupGivesFiveLines) {
    RunOnFreshThread([] {
        PluginSession session;
        session.host.ClearLog();
        FakeEngine engine{.levels_below_root = 1};
        EXPECT_FALSE(engine.DoImport());
        EXPECT_EQ(
            session.host.lines(),
            std::vector<std::string>{
                R"({"op": "ReportError", "args": [6, "Overflow", "Imp_KZV.clsPlugin\r\n)"
                R"(Imp_KZV_Plugin.clsPlugin.CreateStatePolygon\r\nImp_KZV_Plugin.clsPlugin.p3dGroupEnum\r\n)"
                R"(Imp_KZV_Plugin.clsPlugin.p3dGroupEnum\r\nImp_KZV_Plugin.clsPlugin.DoImport"]})"});
    });
}

TEST(ErrorTrace, EachLevelOfADeepTreeAddsItsLine) {
    RunOnFreshThread([] {
        PluginSession session;
        session.host.ClearLog();
        FakeEngine engine{.levels_below_root = 40};
        EXPECT_FALSE(engine.DoImport());
        ASSERT_EQ(session.host.Count("ReportError"), 1u);
        const std::string& line = session.host.lines()[0];
        std::size_t enum_lines = 0;
        for (std::size_t at = line.find("p3dGroupEnum"); at != std::string::npos;
             at = line.find("p3dGroupEnum", at + 1)) {
            ++enum_lines;
        }
        EXPECT_EQ(enum_lines, 41u);
    });
}

TEST(ErrorTrace, HostFailureKeepsTheHostsNumberDescriptionAndSourceFirst) {
    RunOnFreshThread([] {
        PluginSession session;
        session.host.FailCall("CreatePolygon", 1, -2147024882, "Not enough storage", "ZHost.Scene");
        session.host.ClearLog();
        FakeEngine engine;
        engine.polygon_failure = [] {
            imp_kzv::SceneCalls(imp_kzv::class_source("clsPlugin")).CreatePolygon();
        };
        EXPECT_FALSE(engine.DoImport());
        EXPECT_EQ(
            session.host.lines().back(),
            R"({"op": "ReportError", "args": [-2147024882, "Not enough storage", "ZHost.Scene\r\n)"
            R"(Imp_KZV_Plugin.clsPlugin.CreateStatePolygon\r\nImp_KZV_Plugin.clsPlugin.p3dGroupEnum\r\n)"
            R"(Imp_KZV_Plugin.clsPlugin.DoImport"]})");
    });
}

TEST(ErrorTrace, CxxFailuresBecomeThePlatformsNumberedErrors) {
    struct Case {
        std::function<void()> fail;
        std::int32_t number;
        std::string description;
    };
    const Case cases[] = {
        {[] { throw std::bad_alloc(); }, 7, "Out of memory"},
        {[] { (void)std::vector<int>().at(3); }, 9, "Subscript out of range"},
        {[] { throw std::overflow_error("x"); }, 6, "Overflow"},
        {[] { throw std::runtime_error("odd"); }, 51, "odd"},
        {[] { throw 42; }, 51, "Internal error"},
    };
    for (const Case& c : cases) {
        try {
            c.fail();
            ADD_FAILURE() << "did not fail";
        } catch (...) {
            const ErrorValue error = imp_kzv::CurrentError("Imp_KZV.clsPlugin");
            EXPECT_EQ(error.number, c.number);
            EXPECT_EQ(error.description, c.description);
            EXPECT_EQ(error.source, "Imp_KZV.clsPlugin");
        }
    }
}

TEST(ReportErrToHost, AReportThatCannotBeDeliveredIsDropped) {
    RunOnFreshThread([] {
        PluginSession session;
        session.host.FailCall("ReportError", 1, 5, "Host busy", "Host");
        const ErrorValue error{11, "Division by zero", "Imp_KZV.clsPlugin"};
        EXPECT_NO_THROW(imp_kzv::ReportErrToHost(error, "clsPlugin", "DoImport"));
        EXPECT_EQ(session.host.Count("ReportError"), 1u);

        session.plugin.reset();  // the slot is now empty
        EXPECT_NO_THROW(imp_kzv::ReportErrToHost(error, "clsPlugin", "DoImport"));
        EXPECT_EQ(session.host.Count("ReportError"), 1u);
    });
}

TEST(RaiseErrToCaller, RaisesTheSameNumberAndDescriptionWithTheLongerTrace) {
    RunOnFreshThread([] {
        try {
            imp_kzv::RaiseErrToCaller(ErrorValue{9, "Subscript out of range", "Imp_KZV"}, "myActionUndoRedo",
                                      "ActionUndoRedo_Undo");
        } catch (const imp_kzv::PluginError& e) {
            EXPECT_EQ(e.number(), 9);
            EXPECT_EQ(e.description(), "Subscript out of range");
            EXPECT_EQ(e.source(), "Imp_KZV_Plugin.myActionUndoRedo.ActionUndoRedo_Undo");
        }
    });
}

}  // namespace

namespace {

// Raise sites give only details: the table supplies number and default description.
TEST(ErrorTable, RaisedDescriptionsStartWithTheDefaultOne) {
    using imp_kzv::Err;
    const auto raised = [](auto raise_it) {
        try {
            raise_it();
        } catch (const imp_kzv::PluginError& e) {
            return std::pair(e.number(), e.description());
        }
        return std::pair(0, std::string());
    };
    EXPECT_EQ(raised([] { imp_kzv::raise(Err::ObjectNotSet, {}, "Imp_KZV"); }),
              std::pair(91, std::string("Object variable or With block variable not set")));
    EXPECT_EQ(raised([] { imp_kzv::raise(Err::FileNotFound, "'x.KZV'", "Imp_KZV"); }),
              std::pair(53, std::string("File not found: 'x.KZV'")));
    EXPECT_EQ(raised([] { imp_kzv::raise_continued(Err::ResourceNotFound, " (string id 7)", "Imp_KZV"); }),
              std::pair(326, std::string("Resource with this identifier not found (string id 7)")));
    EXPECT_EQ(imp_kzv::number_of(Err::GroupCycle), static_cast<std::int32_t>(0x800403E8u));
}

}  // namespace
