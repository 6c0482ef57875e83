// Feeds arbitrary bytes through the whole export: the plug-in imports them as a scene file into the
// real scene host (SceneHost), and the scene, complete or as far as a failed import got, is written
// as glTF into memory (.glb or .gltf, by the input's length). Besides the sanitizers' findings it
// traps when the import does not end with exactly one message box or when writing fails.
//
// The bytes reach the plug-in through a file path: one memory file per process (memfd), rewritten
// for each input, so that no temporary file is made.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/gltf/gltf_writer.h"
#include "host/output/output_files.h"
#include "host/scene/scene_host.h"
#include "import/import_limits.h"
#include "shell/clsPlugin.h"
#include "tessavo/framework_objects.h"
#include "tessavo/user_interface.h"

namespace {

// The scene file of this process's runs: a memory file, named by its /proc path.
class MemoryFile {
  public:
    MemoryFile() : fd_(::memfd_create("fuzz-export.KZV", 0)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { ::close(fd_); }

    bool hold(const std::uint8_t* data, std::size_t size) const {
        if (::ftruncate(fd_, 0) != 0) return false;
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    const std::string& path() const { return path_; }

  private:
    int fd_;
    std::string path_;
};

// Answers the open-file dialog with the scene file and counts message boxes.
class Dialogs final : public tessavo::RefCounted<tessavo::IUserInterface> {
  public:
    explicit Dialogs(std::string answer) : answer_(std::move(answer)) {}
    tessavo::Status OpenFileDialog(const std::string&, std::string& path) noexcept override {
        path = answer_;
        return {};
    }
    tessavo::Status MessageBox(const std::string&, tessavo::MessageIcon,
                               const std::string&) noexcept override {
        ++boxes;
        return {};
    }
    int boxes = 0;

  private:
    std::string answer_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Shared subtrees may expand a small file into many nodes; keep each run short.
    imp_kzv::import::set_work_limit(20'000);
    static const MemoryFile scene_file;
    if (!scene_file.hold(data, size)) return 0;

    auto dialogs = tessavo::MakeRef<Dialogs>(scene_file.path());
    tessavo::ScopedUserInterface scoped(dialogs.get());
    auto host = kzv::host::SceneHost::create({.scene_folder = "/proc/self/fd"});
    {
        tessavo::Ref<imp_kzv::clsPlugin> plugin;
        if (!imp_kzv::clsPlugin::Create(plugin).ok()) __builtin_trap();
        tessavo::IHostApplication* app = host.get();
        if (!plugin->SetHost(app).ok()) __builtin_trap();
        std::int32_t result = -1;
        if (!plugin->Import(result).ok() || result != 0) __builtin_trap();
    }
    if (dialogs->boxes != 1) __builtin_trap();

    kzv::host::MemoryOutput output;
    const std::string name = size % 2 == 0 ? "scene.glb" : "scene.gltf";
    const kzv::host::WriteOutcome outcome = kzv::host::write_gltf(host->scene(), output, name);
    if (!outcome.ok || !output.contents().contains(name)) __builtin_trap();
    return 0;
}
