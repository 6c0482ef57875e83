#include "tessavo/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "temp_dir.h"
#include "tessavo/server.h"

namespace {

using tessavo::RegistryData;
using tessavo::RegistrySection;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(Registry, FormatAndParseKeepAnyText) {
    RegistryData data;
    RegistrySection odd{"CLSID/{A}", {}};
    odd.Set("Path", "/opt/a=b/[x]#y\\z");
    odd.Set("Multi\nline", std::string("nul\0tab\t", 8));
    odd.Set("", "");
    data.Put(odd);
    data.Put({"[Section] = # weird", {{"k", "v"}}});

    RegistryData parsed;
    std::string error;
    ASSERT_TRUE(tessavo::ParseRegistry(tessavo::FormatRegistry(data), parsed, error)) << error;
    ASSERT_EQ(parsed.sections.size(), 2u);
    EXPECT_EQ(*parsed.Find("clsid/{a}")->Find("path"), "/opt/a=b/[x]#y\\z");
    EXPECT_EQ(*parsed.Find("CLSID/{A}")->Find("Multi\nline"), std::string("nul\0tab\t", 8));
    EXPECT_EQ(*parsed.Find("[Section] = # weird")->Find("k"), "v");
}

TEST(Registry, MalformedTextIsRejectedWithItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"key=value\n", "line 1"},   {"[a]\nno equals sign\n", "line 2"},  {"[a]\nk=\\q1\n", "line 2"},
        {"[a]\nk=\\x4\n", "line 2"}, {"# c\n\n[unterminated\n", "line 3"},
    };
    for (const auto& [text, where] : cases) {
        RegistryData data;
        std::string error;
        EXPECT_FALSE(tessavo::ParseRegistry(text, data, error)) << text;
        EXPECT_NE(error.find(where), std::string::npos) << error;
    }
}

TEST(Registry, UpdateOfADamagedFileFailsAndLeavesItAlone) {
    kzv_test::TempDir dir;
    const std::string path = dir.file("registry");
    WriteText(path, "[a]\ngarbage\n");
    const tessavo::Status status = tessavo::UpdateRegistry(path, [](RegistryData& d) { d.Put({"b", {}}); });
    EXPECT_EQ(status.number, tessavo::kErrRegistry);
    EXPECT_NE(status.description.find("damaged"), std::string::npos);
    EXPECT_EQ(ReadText(path), "[a]\ngarbage\n");
}

TEST(Registry, ThrowingEditLeavesTheFileAlone) {
    kzv_test::TempDir dir;
    const std::string path = dir.file("sub/folder/registry");  // folders are created
    ASSERT_TRUE(tessavo::UpdateRegistry(path, [](RegistryData& d) { d.Put({"keep", {{"k", "1"}}}); }).ok());
    const std::string before = ReadText(path);
    const tessavo::Status status = tessavo::UpdateRegistry(path, [](RegistryData& d) {
        d.Remove("keep");
        throw std::runtime_error("edit failed");
    });
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(ReadText(path), before);
}

TEST(Registry, ConcurrentWritersKeepEachOthersEntries) {
    kzv_test::TempDir dir;
    const std::string path = dir.file("registry");
    constexpr int kThreads = 6, kEach = 15;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string name = "S/" + std::to_string(t) + "/" + std::to_string(i);
                EXPECT_TRUE(tessavo::UpdateRegistry(path, [&](RegistryData& d) {
                                d.Put({name, {{"v", name}}});
                            }).ok());
            }
        });
    }
    for (auto& w : writers) w.join();
    RegistryData data;
    ASSERT_TRUE(tessavo::ReadRegistry(path, data).ok());
    EXPECT_EQ(data.sections.size(), static_cast<std::size_t>(kThreads * kEach));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << "left behind: " << entry.path();
    }
}

TEST(Registry, PutReplacesInPlaceAndDropsDuplicates) {
    RegistryData data;
    data.sections = {{"a", {}}, {"b", {}}, {"A", {}}, {"c", {}}};
    data.Put({"a", {{"k", "new"}}});
    ASSERT_EQ(data.sections.size(), 3u);
    EXPECT_EQ(data.sections[0].name, "a");
    EXPECT_EQ(*data.sections[0].Find("k"), "new");
    EXPECT_TRUE(data.Remove("B"));
    EXPECT_FALSE(data.Remove("b"));
}

class RegistryPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"TESSAVO_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(RegistryPathTest, EnvironmentDecidesTheLocation) {
    ::setenv("HOME", "/home/u", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    ::setenv("TESSAVO_REGISTRY", "/tmp/r.reg", 1);
    EXPECT_EQ(tessavo::RegistryPath(), "/tmp/r.reg");
    ::setenv("TESSAVO_REGISTRY", "", 1);
    EXPECT_EQ(tessavo::RegistryPath(), "/cfg/tessavo/registry");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the base directory rules say
    EXPECT_EQ(tessavo::RegistryPath(), "/home/u/.config/tessavo/registry");
    ::unsetenv("HOME");
    EXPECT_EQ(tessavo::RegistryPath(), "");
    EXPECT_EQ(tessavo::UpdateRegistry("", [](RegistryData&) {}).number, tessavo::kErrRegistry);
}

}  // namespace
