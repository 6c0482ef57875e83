#include <gtest/gtest.h>
#include <stb_image.h>

#include <fstream>

#include "host/bitmaps/image_file.h"
#include "host/bitmaps/texture_path.h"
#include "host/scene/scene_host.h"
#include "scene_driver.h"

namespace kzv::host {
namespace {

namespace fs = std::filesystem;
using namespace kzv::host::testing;

class TextureFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kzv-host-textures-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        scene_ = root_ / "scenes";
        write_test_image(scene_ / "Bitmaps" / "Wood.PNG", "png");
        write_test_image(scene_ / "Bitmaps" / "Sub Folder" / "stone.bmp", "bmp");
        write_test_image(root_ / "secret.png", "png");
        fs::create_symlink(root_ / "secret.png", scene_ / "Bitmaps" / "link.png");
        std::ofstream(scene_ / "Bitmaps" / "broken.png") << "not an image";
    }
    void TearDown() override { fs::remove_all(root_); }

    // The path the plug-in builds: scene folder, "Bitmaps\", texture name as stored in the file.
    std::string plugin_path(const std::string& texture_name) const {
        return scene_.string() + "/Bitmaps\\" + texture_name;
    }

    fs::path root_;
    fs::path scene_;
};

TEST_F(TextureFolder, ResolvesWindowsNamesAndKeepsThemInTheSceneFolder) {
    struct Case {
        std::string texture_name;
        bool allow_outside;
        TextureVerdict verdict;
        std::string found;  // path relative to the scene folder's parent
    };
    const std::vector<Case> cases{
        {"Wood.PNG", false, TextureVerdict::found, "scenes/Bitmaps/Wood.PNG"},
        {"wood.png", false, TextureVerdict::found, "scenes/Bitmaps/Wood.PNG"},
        {"SUB FOLDER\\Stone.BMP", false, TextureVerdict::found, "scenes/Bitmaps/Sub Folder/stone.bmp"},
        {"sub folder\\..\\wood.png", false, TextureVerdict::found, "scenes/Bitmaps/Wood.PNG"},
        {"missing.png", false, TextureVerdict::missing, ""},
        {"..\\..\\secret.png", false, TextureVerdict::refused, ""},
        {"..\\..\\secret.png", true, TextureVerdict::found, "secret.png"},
        {"\\" + (root_ / "secret.png").relative_path().string(), false, TextureVerdict::refused, ""},
        {"\\" + (root_ / "secret.png").relative_path().string(), true, TextureVerdict::found, "secret.png"},
        {"C:\\textures\\wood.png", false, TextureVerdict::refused, ""},
        {"C:\\textures\\wood.png", true, TextureVerdict::missing, ""},
        {"link.png", false, TextureVerdict::refused, ""},
        {"link.png", true, TextureVerdict::found, "scenes/Bitmaps/link.png"},
        {"", false, TextureVerdict::missing, ""},
        {std::string("Wood.PNG\0junk", 13), false, TextureVerdict::missing, ""},
    };
    for (const Case& c : cases) {
        const TextureLookup lookup =
            resolve_texture_path(plugin_path(c.texture_name), {scene_, c.allow_outside});
        EXPECT_EQ(lookup.verdict, c.verdict) << c.texture_name << " (" << lookup.reason << ")";
        if (!c.found.empty()) {
            EXPECT_EQ(lookup.file, root_ / c.found) << c.texture_name;
        }
    }
    EXPECT_EQ(resolve_texture_path((root_ / "secret.png").string(), {scene_, false}).verdict,
              TextureVerdict::refused);
    EXPECT_EQ(resolve_texture_path("/etc/hostname", {scene_, false}).verdict, TextureVerdict::refused);
}

TEST_F(TextureFolder, LoadsEachFileOnceAndWarnsOncePerFile) {
    auto host = SceneHost::create({.scene_folder = scene_});
    tessavo::Handle first = 0, again = 0, stone = 0, missing = 0, broken = 0, outside = 0;
    check(host->LoadBitmap(plugin_path("Wood.PNG"), tessavo::kTrue, first), "LoadBitmap");
    check(host->LoadBitmap(plugin_path("wood.png"), tessavo::kTrue, again), "LoadBitmap");
    check(host->LoadBitmap(plugin_path("Sub Folder\\stone.bmp"), tessavo::kTrue, stone), "LoadBitmap");
    for (int i = 0; i < 2; ++i) {
        check(host->LoadBitmap(plugin_path("missing.png"), tessavo::kTrue, missing), "LoadBitmap");
        check(host->LoadBitmap(plugin_path("broken.png"), tessavo::kTrue, broken), "LoadBitmap");
        check(host->LoadBitmap(plugin_path("..\\..\\secret.png"), tessavo::kTrue, outside), "LoadBitmap");
    }
    EXPECT_NE(first, 0);
    EXPECT_EQ(again, first);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(outside, 0);
    ASSERT_EQ(host->warnings().size(), 3u);
    EXPECT_NE(host->warnings()[0].find("Texture not found"), std::string::npos);
    EXPECT_NE(host->warnings()[1].find("Texture unreadable"), std::string::npos);
    EXPECT_NE(host->warnings()[2].find("Texture refused"), std::string::npos);

    ASSERT_EQ(host->scene().bitmaps.size(), 2u);
    const Bitmap& png = host->scene().bitmaps[0];
    EXPECT_EQ(png.mime_type, "image/png");
    EXPECT_FALSE(png.reencoded);
    const Bitmap& bmp = host->scene().bitmaps[1];
    EXPECT_EQ(bmp.mime_type, "image/png");
    EXPECT_TRUE(bmp.reencoded);
    EXPECT_EQ(bmp.name, "stone.bmp");
}

// PNG and JPEG bytes are embedded as they are; other formats become PNG with the same pixels.
TEST(ImageFile, KeepsPngAndJpegAndReencodesTheRest) {
    const fs::path folder = unique_temp_path("kzv-host-image-formats");
    for (const std::string format : {"png", "jpg", "bmp", "tga"}) {
        const fs::path file = folder / ("image." + format);
        write_test_image(file, format, 5, 3);
        const std::string original = [&] {
            std::ifstream in(file, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        }();
        const ImageResult result = load_image_file(file);
        ASSERT_TRUE(result.image) << format << ": " << result.error;
        const bool kept = format == "png" || format == "jpg";
        EXPECT_EQ(result.image->reencoded, !kept) << format;
        EXPECT_EQ(result.image->mime_type, format == "jpg" ? "image/jpeg" : "image/png") << format;
        EXPECT_EQ(std::string(result.image->bytes.begin(), result.image->bytes.end()) == original, kept)
            << format;
        int w = 0, h = 0, n = 0;
        unsigned char* pixels = stbi_load_from_memory(
            result.image->bytes.data(), static_cast<int>(result.image->bytes.size()), &w, &h, &n, 3);
        ASSERT_NE(pixels, nullptr) << format;
        EXPECT_EQ(w, 5);
        EXPECT_EQ(h, 3);
        if (format != "jpg") {
            EXPECT_EQ(pixels[3], 3 * 37) << format;  // lossless formats keep the pixels
        }
        stbi_image_free(pixels);
    }
    fs::remove_all(folder);
}

TEST(ImageFile, RefusesImagesBeyondTheLimits) {
    const fs::path file = unique_temp_path("kzv-host-limits") / "image.png";
    write_test_image(file, "png", 64, 64);
    EXPECT_FALSE(load_image_file(file, {.max_file_bytes = 10, .max_pixels = 1 << 20}).image);
    EXPECT_FALSE(load_image_file(file, {.max_file_bytes = 1 << 20, .max_pixels = 100}).image);
    EXPECT_TRUE(load_image_file(file).image);
    const std::vector<std::uint8_t> truncated = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
    EXPECT_FALSE(prepare_image(truncated).image);
    fs::remove_all(file.parent_path());
}

}  // namespace
}  // namespace kzv::host
