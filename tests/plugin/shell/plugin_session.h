// A plug-in object handed a recording host, as after the host's start-up. Use on a fresh thread
// (kzv_test::RunOnFreshThread) so the component-wide state starts empty.
#pragma once

#include <gtest/gtest.h>

#include "recording_host.h"
#include "shell/clsPlugin.h"

namespace kzv_test {

struct PluginSession {
    explicit PluginSession(std::int32_t lcid = 1033) : host(lcid) {
        EXPECT_TRUE(imp_kzv::clsPlugin::Create(plugin).ok());
        tessavo::IHostApplication* app = host.application();
        EXPECT_TRUE(plugin->IPlug_SetHost(app).ok());
    }

    RecordingHost host;
    tessavo::Ref<imp_kzv::clsPlugin> plugin;
};

}  // namespace kzv_test
