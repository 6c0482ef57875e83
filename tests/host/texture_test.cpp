#include <gtest/gtest.h>
#include <stb_image.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>

#include "host/bitmaps/image_file.h"
#include "host/bitmaps/texture_path.h"
#include "host/memory/memory_budget.h"
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
        fs::create_symlink("Wood.PNG", scene_ / "Bitmaps" / "inside.png");
        fs::create_symlink("../../../secret.png", scene_ / "Bitmaps" / "Sub Folder" / "climbing.png");
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
        {"inside.png", false, TextureVerdict::found, "scenes/Bitmaps/inside.png"},
        {"sub folder\\climbing.png", false, TextureVerdict::refused, ""},
        // A doubled separator inside a name is an empty component: nothing.
        {"sub folder\\\\stone.bmp", false, TextureVerdict::found, "scenes/Bitmaps/Sub Folder/stone.bmp"},
        {"sub folder\\\\stone.bmp", true, TextureVerdict::found, "scenes/Bitmaps/Sub Folder/stone.bmp"},
        {"Sub Folder", false, TextureVerdict::missing, ""},
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

std::string file_text(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string read_all(int fd) {
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(bytes.size()))) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

// The file checked is the file read: swapping the folder for links to outside files, or for a
// FIFO, after the lookup changes nothing of what the lookup opened, and never blocks.
TEST_F(TextureFolder, ReadsTheFileItCheckedAndNeverBlocksOnSpecialFiles) {
    const TextureLookup lookup = resolve_texture_path(plugin_path("wood.png"), {scene_, false});
    ASSERT_EQ(lookup.verdict, TextureVerdict::found) << lookup.reason;
    const std::string wood = read_all(lookup.descriptor.get());
    fs::rename(scene_ / "Bitmaps", scene_ / "Bitmaps.old");
    fs::create_directories(scene_ / "Bitmaps");
    fs::create_symlink(root_ / "secret.png", scene_ / "Bitmaps" / "Wood.PNG");
    ASSERT_EQ(::mkfifo((scene_ / "Bitmaps" / "pipe.png").c_str(), 0600), 0);

    EXPECT_EQ(read_all(lookup.descriptor.get()), wood);
    EXPECT_EQ(read_all(lookup.descriptor.get()), file_text(scene_ / "Bitmaps.old" / "Wood.PNG"));
    EXPECT_TRUE(load_image_descriptor(lookup.descriptor.get()).image);
    EXPECT_EQ(resolve_texture_path(plugin_path("wood.png"), {scene_, false}).verdict,
              TextureVerdict::refused);

    auto opened = std::async(std::launch::async, [&] {
        return resolve_texture_path(plugin_path("pipe.png"), {scene_, false}).verdict;
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::ofstream unblock(scene_ / "Bitmaps" / "pipe.png");  // lets the blocked open return
        FAIL() << "opening a FIFO blocked";
    }
    EXPECT_EQ(opened.get(), TextureVerdict::missing);
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

// Hard links of one file are one file: loaded once, one handle.
TEST_F(TextureFolder, HardLinksOfOneFileAreLoadedOnce) {
    fs::create_hard_link(scene_ / "Bitmaps" / "Wood.PNG", scene_ / "Bitmaps" / "copy.png");
    auto host = SceneHost::create({.scene_folder = scene_});
    tessavo::Handle first = 0, linked = 0;
    check(host->LoadBitmap(plugin_path("Wood.PNG"), tessavo::kTrue, first), "LoadBitmap");
    check(host->LoadBitmap(plugin_path("copy.png"), tessavo::kTrue, linked), "LoadBitmap");
    EXPECT_NE(first, 0);
    EXPECT_EQ(linked, first);
    EXPECT_EQ(host->scene().bitmaps.size(), 1u);
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

using Bytes = std::vector<std::uint8_t>;

void put_le(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void put_be32(Bytes& out, std::uint32_t value) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A 1x1 RGB PNG whose image data (stored, uncompressed deflate blocks) expands to `expanded` bytes.
Bytes png_expanding_to(std::size_t expanded) {
    Bytes zlib{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::size_t left = expanded; left > 0;) {
        const auto block = static_cast<std::uint32_t>(std::min<std::size_t>(left, 65535));
        left -= block;
        zlib.push_back(left == 0 ? 1 : 0);
        put_le(zlib, block, 2);
        put_le(zlib, ~block & 0xFFFF, 2);
        zlib.insert(zlib.end(), block, 0);
        for (std::uint32_t i = 0; i < block; ++i) b = (b + a) % 65521;  // Adler-32 of zeros
    }
    put_be32(zlib, b << 16 | a);
    Bytes png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const auto chunk = [&](const char* type, const Bytes& data) {
        put_be32(png, static_cast<std::uint32_t>(data.size()));
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        put_be32(png, 0);  // the decoder does not check CRCs
    };
    Bytes header;
    put_be32(header, 1);
    put_be32(header, 1);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk("IHDR", header);
    chunk("IDAT", zlib);
    chunk("IEND", {});
    return png;
}

// Headers of 8000x8000 images with (almost) no pixel data.
Bytes truncated_bmp() {
    Bytes bmp{'B', 'M'};
    put_le(bmp, 54 + 64, 4);
    put_le(bmp, 0, 4);
    put_le(bmp, 54, 4);
    put_le(bmp, 40, 4);
    put_le(bmp, 8000, 4);
    put_le(bmp, 8000, 4);
    put_le(bmp, 1, 2);
    put_le(bmp, 24, 2);
    bmp.resize(54 + 64, 0);
    return bmp;
}
Bytes truncated_tga(std::uint8_t type) {
    Bytes tga{0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put_le(tga, 8000, 2);
    put_le(tga, 8000, 2);
    tga.insert(tga.end(), {24, 0});
    tga.insert(tga.end(), {0xFF, 1, 2, 3, 0xFF, 1, 2, 3});  // two runs of 128 pixels
    return tga;
}

// A JPEG whose Huffman table lists 320 codes (the decoder's table holds 256).
Bytes jpeg_with_oversized_huffman_table() {
    Bytes jpeg{0xFF, 0xD8, 0xFF, 0xC4, 339 >> 8, 339 & 0xFF, 0x00};
    jpeg.insert(jpeg.end(), 16, 20);
    jpeg.insert(jpeg.end(), 320, 1);
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    return jpeg;
}

// A progressive 1024x1024 JPEG of 1100 empty scans: the decoder would go over the image each time.
Bytes jpeg_with_many_scans() {
    Bytes jpeg{0xFF, 0xD8, 0xFF, 0xC2, 0, 11, 8, 4, 0, 4, 0, 1, 1, 0x11, 0};
    for (int i = 0; i < 1100; ++i) jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 0, 0});
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    return jpeg;
}

Bytes file_bytes(const fs::path& file) {
    const std::string text = file_text(file);
    return Bytes(text.begin(), text.end());
}

// Only BMP, TGA, PNG and JPEG are read; images whose data is not all there, or expands past the
// image, are refused before anything big is decoded.
TEST(ImageFile, RefusesOtherFormatsTruncatedImagesAndBombs) {
    const std::string hdr("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 64 +X 64\n\x02\x02\x00\x40", 51);
    const fs::path folder = unique_temp_path("kzv-host-hostile-images");
    write_test_image(folder / "image.png", "png", 64, 64);
    write_test_image(folder / "image.jpg", "jpg", 64, 64);
    const Bytes png = file_bytes(folder / "image.png"), jpeg = file_bytes(folder / "image.jpg");
    struct Case {
        std::string what;
        Bytes bytes;
        std::string error;
    };
    const std::vector<Case> cases{
        {"HDR", Bytes(hdr.begin(), hdr.end()), "unsupported image format HDR"},
        {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, "unsupported image format GIF"},
        {"PPM", {'P', '6', '\n', '8', ' ', '8', '\n', '2', '5', '5', '\n'}, "unsupported image format PNM"},
        {"BMP", truncated_bmp(), "truncated image"},
        {"TGA", truncated_tga(2), "truncated image"},
        {"TGA RLE", truncated_tga(10), "truncated image"},
        {"PNG bomb", png_expanding_to(100000), "expanding past the image"},
        {"PNG cut", Bytes(png.begin(), png.begin() + static_cast<long>(png.size() / 2)), "damaged"},
        {"JPEG cut", Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() * 2 / 3)), "truncated"},
        {"JPEG Huffman table", jpeg_with_oversized_huffman_table(), "Huffman table"},
        {"JPEG scans", jpeg_with_many_scans(), "too many scans"},
    };
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const ImageResult result = prepare_image(c.bytes);
        EXPECT_FALSE(result.image) << c.what;
        EXPECT_NE(result.error.find(c.error), std::string::npos) << c.what << ": " << result.error;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << c.what;
    }
    EXPECT_TRUE(prepare_image(png_expanding_to(4)).image);  // the same PNG with its 4 bytes
    EXPECT_TRUE(prepare_image(png).image);
    EXPECT_TRUE(prepare_image(jpeg).image);
    fs::remove_all(folder);
}

// The decoder's memory counts in the process's budget: an image too big for what is left is
// refused, and the budget is as it was afterwards.
TEST(ImageFile, DecodingCountsInTheMemoryBudget) {
    const fs::path file = unique_temp_path("kzv-host-image-budget") / "big.png";
    write_test_image(file, "png", 1024, 1024);
    const std::size_t before = memory_budget::used();
    memory_budget::set_limit(before + (std::size_t{24} << 20));
    const ImageResult refused = load_image_file(file);
    memory_budget::set_limit(0);
    EXPECT_FALSE(refused.image);
    EXPECT_EQ(refused.error, "not enough memory within the memory limit");
    EXPECT_EQ(memory_budget::used(), before);
    EXPECT_TRUE(load_image_file(file).image);
    fs::remove_all(file.parent_path());
}

}  // namespace
}  // namespace kzv::host
