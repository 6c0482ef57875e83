// Feeds arbitrary bytes through the whole import: the Import command of a plug-in object reads them
// as a scene file and recreates the scene in a host that does nothing. Besides the sanitizers'
// findings it traps when an import does not end cleanly: exactly one message box ("Import Complete"
// or "Import Failed!"), the progress display hidden, and one error report exactly when it failed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import/import_limits.h"
#include "null_host.h"
#include "shell/clsPlugin.h"
#include "tessavo/user_interface.h"

namespace {

// Answers the dialog with the scene file of this run and remembers the message boxes.
class FuzzUserInterface final : public tessavo::RefCounted<tessavo::IUserInterface> {
  public:
    std::string path;
    std::string last_message;
    int messages = 0;

    tessavo::Status OpenFileDialog(const std::string&, std::string& chosen) noexcept override {
        chosen = path;
        return {};
    }
    tessavo::Status MessageBox(const std::string& text, tessavo::MessageIcon,
                               const std::string&) noexcept override {
        last_message = text;
        ++messages;
        return {};
    }
};

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
    // Shared subtrees may expand a small file into many nodes; keep each run short.
    imp_kzv::import::set_work_limit(200'000);
    static const SceneFile scene;
    const std::string& path = scene.path;
    if (!WriteFile(path, data, size)) return 0;

    auto ui = tessavo::MakeRef<FuzzUserInterface>();
    ui->path = path;
    tessavo::ScopedUserInterface scoped(ui.get());
    auto host = tessavo::MakeRef<kzv_test::NullHost>();
    {
        tessavo::Ref<imp_kzv::clsPlugin> plugin;
        if (!imp_kzv::clsPlugin::Create(plugin).ok()) __builtin_trap();
        tessavo::IHostApplication* app = host.get();
        if (!plugin->SetHost(app).ok()) __builtin_trap();
        std::int32_t result = -1;
        if (!plugin->Import(result).ok() || result != 0) __builtin_trap();
    }
    const bool failed = ui->last_message == "Import Failed!";
    if (ui->messages != 1 || (!failed && ui->last_message != "Import Complete")) __builtin_trap();
    if (host->progress_shown != tessavo::kFalse) __builtin_trap();
    if (host->error_reports != (failed ? 1 : 0)) __builtin_trap();
    return 0;
}
