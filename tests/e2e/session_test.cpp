// Import sessions on the built plug-in library: the plug-in object is gone when a session returns,
// and sessions on several threads at once each build their own scene.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/cli/import_session.h"
#include "host/cli/parallel.h"
#include "host/cli/plugin_library.h"
#include "host/scene/summary.h"

namespace {

using kzv::cli::SessionOutcome;

kzv::cli::SessionSettings demo_settings() {
    kzv::cli::SessionSettings settings;
    settings.scene_file = KZV_DEMO_SCENE;
    return settings;
}

// The output is built after the session, so the records the plug-in read must not live that long.
TEST(ImportSession, ReleasesThePluginObjectBeforeReturning) {
    kzv::cli::PluginLibrary library(KZV_PLUGIN_LIBRARY);
    ASSERT_TRUE(library.loaded()) << library.error();
    const kzv::cli::SessionResult result = kzv::cli::run_import_session(library, demo_settings());
    ASSERT_EQ(result.outcome, SessionOutcome::completed) << result.failure;
    EXPECT_NE(kzv::host::describe_scene(result.host->scene()).find("polygons: 30\n"), std::string::npos);
    EXPECT_TRUE(library.unload_if_unused()) << "a plug-in object outlived its session";
}

TEST(ImportSession, SessionsOnSeveralThreadsEachBuildTheWholeScene) {
    const kzv::cli::PluginLibrary library(KZV_PLUGIN_LIBRARY);
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::string expected =
        kzv::host::describe_scene(kzv::cli::run_import_session(library, demo_settings()).host->scene());
    std::vector<kzv::cli::SessionResult> results(12);
    kzv::cli::for_each_parallel(results.size(), 4, [&](std::size_t i) {
        results[i] = kzv::cli::run_import_session(library, demo_settings());
    });
    for (const kzv::cli::SessionResult& result : results) {
        ASSERT_EQ(result.outcome, SessionOutcome::completed) << result.failure;
        EXPECT_EQ(kzv::host::describe_scene(result.host->scene()), expected);
        EXPECT_EQ(result.message_boxes.size(), 1u);
    }
}

}  // namespace
