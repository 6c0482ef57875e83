// Feeds arbitrary bytes through the host's texture lookup and image loading. The first byte is the
// length of a texture name (as stored in a scene file, `\` separated), the name follows, and the
// rest is the content of Bitmaps/image.bin in a scene folder that also holds a folder, a link that
// stays inside, a link that leads outside and a FIFO. Besides the sanitizers' findings it traps when
// a lookup finds a file outside the scene folder, or an image is accepted that is not a PNG or JPEG
// of the size it claims.
#include <stb_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/bitmaps/image_file.h"
#include "host/bitmaps/texture_path.h"

namespace {

namespace fs = std::filesystem;

// The scene folder of this process's runs, removed when the process ends.
struct SceneFolder {
    fs::path root;
    fs::path scene;
    kzv::host::FileIdentity outside;
    SceneFolder() {
        const char* dir = std::getenv("TMPDIR");
        root = fs::path(dir ? dir : "/tmp") / ("fuzz-textures-" + std::to_string(::getpid()));
        scene = root / "scene";
        fs::create_directories(scene / "Bitmaps" / "Sub");
        std::ofstream(root / "outside.png") << "outside";
        std::ofstream(scene / "Bitmaps" / "Sub" / "plain.txt") << "plain";
        fs::create_symlink("image.bin", scene / "Bitmaps" / "inside.png");
        fs::create_symlink(root / "outside.png", scene / "Bitmaps" / "outside.png");
        fs::create_symlink("../../../outside.png", scene / "Bitmaps" / "Sub" / "climb.png");
        ::mkfifo((scene / "Bitmaps" / "pipe.png").c_str(), 0600);
        struct stat status {};
        ::stat((root / "outside.png").c_str(), &status);
        outside = {status.st_dev, status.st_ino};
    }
    ~SceneFolder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

constexpr kzv::host::ImageLimits kLimits{
    .max_file_bytes = 1 << 16, .max_pixels = 1 << 20, .max_scan_pixels = std::uint64_t{1} << 26};

void check_image(const kzv::host::ImageResult& result) {
    if (!result.image) return;
    const kzv::host::EmbeddableImage& image = *result.image;
    if (image.mime_type != "image/png" && image.mime_type != "image/jpeg") __builtin_trap();
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(image.bytes.data(), static_cast<int>(image.bytes.size()), &width, &height,
                               &channels))
        __builtin_trap();
    if (width != image.width || height != image.height) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const SceneFolder folder;
    if (size == 0) return 0;
    const std::size_t name_length = std::min<std::size_t>(data[0], size - 1);
    const std::string name(reinterpret_cast<const char*>(data + 1), name_length);
    const std::uint8_t* image = data + 1 + name_length;
    const std::size_t image_size = size - 1 - name_length;
    {
        std::ofstream out(folder.scene / "Bitmaps" / "image.bin", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image), static_cast<std::streamsize>(image_size));
    }

    const kzv::host::TextureLookup lookup =
        kzv::host::resolve_texture_path(folder.scene.string() + "/Bitmaps\\" + name, {folder.scene, false});
    if (lookup.verdict == kzv::host::TextureVerdict::found) {
        if (lookup.identity == folder.outside || !lookup.descriptor) __builtin_trap();
        check_image(kzv::host::load_image_descriptor(lookup.descriptor.get(), kLimits));
    } else {
        check_image(kzv::host::prepare_image({image, image_size}, kLimits));
    }
    return 0;
}
