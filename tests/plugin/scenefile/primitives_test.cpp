// Reading primitives: texts, flags, the cursor's bounds checks, and the list helpers of Globals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scenefile/globals.h"
#include "scenefile/windows1252.h"
#include "test_support.h"

namespace imp_kzv::testing {
namespace {

std::string ReadOneString(const ByteWriter& w, std::uint64_t* end = nullptr) {
    SceneReader file(w.data());
    std::string s = ReadString(file);
    if (end) *end = file.offset();
    return s;
}

TEST(ReadString, LengthsOfZeroOrLessGiveEmptyTextAndConsumeOnlyTheLength) {
    for (const std::int32_t length : {0, -1, -2147483647 - 1}) {
        ByteWriter w;
        w.int32(length).raw_text("next");
        std::uint64_t end = 0;
        EXPECT_EQ(ReadOneString(w, &end), "") << length;
        EXPECT_EQ(end, 4u) << length;
    }
}

TEST(ReadString, KeepsNulBytesAndDecodesWindows1252ToUtf8) {
    struct Case {
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"\x80", "\u20AC"},
        {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},  // undefined in the code page
        {"\x9F", "\u0178"},
        {"\xA0\xE9\xFF", "\u00A0\u00E9\u00FF"},
        {"caf\xE9 \x93ok\x94", "caf\u00E9 \u201Cok\u201D"},
    };
    for (const Case& c : cases) {
        ByteWriter w;
        w.raw_text(c.bytes);
        EXPECT_EQ(ReadOneString(w), c.utf8);
    }
}

TEST(Windows1252, EveryByteSurvivesDecodingAndEncoding) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string utf8;
    AppendWindows1252AsUtf8(std::as_bytes(std::span(all)), utf8);
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);
}

TEST(Windows1252, EncodingRejectsWhatTheCodePageCannotHold) {
    for (const char* text : {"\u0100", "\U0001F600", "\xC3", "\xC0\x80", "\xED\xA0\x80"}) {
        EXPECT_FALSE(Utf8ToWindows1252(text).has_value()) << text;
    }
}

TEST(ReadBoolean, AnyNonZeroByteIsTrue) {
    const std::pair<std::uint8_t, std::int16_t> cases[] = {{0, 0}, {1, -1}, {2, -1}, {255, -1}};
    for (const auto& [byte, expected] : cases) {
        ByteWriter w;
        w.byte(byte);
        SceneReader file(w.data());
        EXPECT_EQ(ReadBoolean(file), expected) << int{byte};
        EXPECT_EQ(file.offset(), 1u);
    }
}

TEST(SceneReader, ReadingPastTheEndSaysWhatWhereAndHowMuch) {
    ByteWriter w;
    w.int32(7).byte(1);
    SceneReader file(w.data());
    file.read_int32("first", "Imp_KZV.p3dTest");
    const ErrorValue e = ErrorOf([&] { file.read_int32("vertex count", "Imp_KZV.p3dTest"); });
    EXPECT_EQ(e.number, 62);
    EXPECT_EQ(e.description, "Input past end of file: the vertex count at byte 4 needs 4 bytes, 1 left");
    EXPECT_EQ(e.source, "Imp_KZV.p3dTest");
    EXPECT_EQ(file.offset(), 4u) << "a failed read consumes nothing";
}

TEST(ReadString, FailuresAreModuleLevelAndNameTheField) {
    ByteWriter short_length;
    short_length.byte(3).byte(0);
    ByteWriter long_text;
    long_text.int32(10).byte('a');
    struct Case {
        const ByteWriter& bytes;
        std::string description;
    };
    const Case cases[] = {
        {short_length,
         "Input past end of file: the length of the light name at byte 0 needs 4 bytes, 2 left"},
        {long_text,
         "Input past end of file: the light name (10 characters) at byte 4 needs 10 bytes, 1 left"},
    };
    for (const Case& c : cases) {
        SceneReader file(c.bytes.data());
        const ErrorValue e = ErrorOf([&] { ReadString(file, "light name"); });
        EXPECT_EQ(e.number, 62);
        EXPECT_EQ(e.description, c.description);
        EXPECT_EQ(e.source, "Imp_KZV");
    }
    SceneReader empty(std::span<const std::byte>{});
    EXPECT_EQ(ErrorOf([&] { ReadBoolean(empty); }).source, "Imp_KZV");
}

TEST(GetUpperBound, IsMinusOneForAnEmptyList) {
    EXPECT_EQ(GetUpperBound(std::vector<int>{}), -1);
    EXPECT_EQ(GetUpperBound(std::vector<int>{5}), 0);
    EXPECT_EQ(GetUpperBound(std::vector<std::shared_ptr<p3dTri>>(3)), 2);
}

TEST(GetFolderOfPath, GivesTheFolderOfAnExistingFileAndOtherwiseThePath) {
    const auto dir = std::filesystem::temp_directory_path() / "kzv_folder_test";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "scene.KZV").string();
    std::ofstream(file) << "x";
    EXPECT_EQ(GetFolderOfPath(file), dir.string() + "/");
    EXPECT_EQ(GetFolderOfPath((dir / "missing.KZV").string()), (dir / "missing.KZV").string());
    EXPECT_EQ(GetFolderOfPath(dir.string()), dir.string()) << "a folder is no normal file";
    EXPECT_EQ(GetFolderOfPath(""), "");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace imp_kzv::testing
