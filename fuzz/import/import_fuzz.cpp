// Feeds arbitrary bytes through the whole import: the Import command of a plug-in object reads them
// as a scene file and recreates the scene in the recording host, which also turns every call into a
// call-log line. Besides the sanitizers' findings it traps when an import does not end cleanly:
// exactly one message box ("Import Complete" or "Import Failed!"), the progress display hidden last,
// and one error report exactly when it failed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import/import_limits.h"
#include "recording_host.h"
#include "shell/clsPlugin.h"
#include "tessavo/user_interface.h"

namespace {

// The scene file of this process's runs, removed when the process ends.
struct SceneFile {
    std::string path;
    SceneFile() {
        const char* dir = std::getenv("TMPDIR");
        path = std::string(dir ? dir : "/tmp") + "/fuzz-import-" + std::to_string(::getpid()) + ".KZV";
    }
    ~SceneFile() { std::remove(path.c_str()); }
};

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Shared subtrees may expand a small file into many nodes; keep each run short and its log small.
    imp_kzv::import::set_work_limit(20'000);
    static const SceneFile scene;
    if (!WriteFile(scene.path, data, size)) return 0;

    kzv_test::RecordingHost host;
    tessavo::ScopedUserInterface scoped(host.user_interface());
    host.ui().AnswerDialog(scene.path);
    {
        tessavo::Ref<imp_kzv::clsPlugin> plugin;
        if (!imp_kzv::clsPlugin::Create(plugin).ok()) __builtin_trap();
        tessavo::IHostApplication* app = host.application();
        if (!plugin->SetHost(app).ok()) __builtin_trap();
        std::int32_t result = -1;
        if (!plugin->Import(result).ok() || result != 0) __builtin_trap();
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
