// Feeds arbitrary bytes through the whole import: a plug-in object imports them from memory as a scene
// file, as its Import command would after the dialog, and recreates the scene in the recording host,
// which also turns every call into a call-log line. Nothing touches the file system. Besides the
// sanitizers' findings it traps when an import does not end cleanly: exactly one message box ("Import Complete" or "Import Failed!"), the progress display hidden last,
// and one error report exactly when it failed.
#include <cstddef>
#include <cstdint>
#include <span>

#include "import/import_limits.h"
#include "recording_host.h"
#include "shell/clsPlugin.h"
#include "tessavo/user_interface.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Shared subtrees may expand a small file into many nodes; keep each run short and its log small.
    imp_kzv::import::set_work_limit(20'000);
    kzv_test::RecordingHost host;
    tessavo::ScopedUserInterface scoped(host.user_interface());
    {
        tessavo::Ref<imp_kzv::clsPlugin> plugin;
        if (!imp_kzv::clsPlugin::Create(plugin).ok()) __builtin_trap();
        tessavo::IHostApplication* app = host.application();
        if (!plugin->SetHost(app).ok()) __builtin_trap();
        const auto bytes = std::as_bytes(std::span(data, size));
        if (!plugin->ImportScene("/fuzz/scene.KZV", bytes).ok()) __builtin_trap();
    }
    const auto& messages = host.ui().messages();
    if (messages.size() != 1) __builtin_trap();
    const bool failed = messages.front().text == "Import Failed!";
    if (!failed && messages.front().text != "Import Complete") __builtin_trap();
    const auto progress = host.LinesOf("ShowProgress");
    if (progress.empty() || progress.back() != R"({"op": "ShowProgress", "args": [0]})") __builtin_trap();
    if (host.Count("ReportError") != (failed ? 1u : 0u)) __builtin_trap();
    return 0;
}
