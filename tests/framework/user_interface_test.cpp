#include "tessavo/user_interface.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "scripted_user_interface.h"

namespace {

// Feeds the terminal service's stdin and swallows its prompts for one test.
class TerminalInput {
  public:
    explicit TerminalInput(std::string text) : in_(std::move(text)) {
        old_in_ = std::cin.rdbuf(in_.rdbuf());
        old_err_ = std::cerr.rdbuf(err_.rdbuf());
    }
    ~TerminalInput() {
        std::cin.rdbuf(old_in_);
        std::cerr.rdbuf(old_err_);
    }
    std::string prompts() const { return err_.str(); }

  private:
    std::istringstream in_;
    std::ostringstream err_;
    std::streambuf* old_in_;
    std::streambuf* old_err_;
};

std::string Ask() {
    std::string path = "unchanged";
    EXPECT_TRUE(tessavo::CurrentUserInterface().OpenFileDialog("KZV|*.KZV;", path).ok());
    return path;
}

TEST(TerminalUserInterface, DialogReadsOneLineAndEndOfInputCancels) {
    const std::string long_line(70000, 'x');
    TerminalInput input("/scenes/a.KZV\r\nrelative.KZV\n\n" + long_line +
                        "\n/after/long.KZV\n/last/no-newline.KZV");
    EXPECT_EQ(Ask(), "/scenes/a.KZV");
    EXPECT_EQ(Ask(), (std::filesystem::current_path() / "relative.KZV").string())
        << "a dialog returns full paths";
    EXPECT_EQ(Ask(), "") << "an empty answer cancels";
    EXPECT_EQ(Ask(), "") << "an over-long answer is no file name";
    EXPECT_EQ(Ask(), "/after/long.KZV");
    EXPECT_EQ(Ask(), "/last/no-newline.KZV");
    EXPECT_EQ(Ask(), "") << "end of input cancels";
    EXPECT_NE(input.prompts().find("KZV|*.KZV;"), std::string::npos);
}

// "link/.." is the parent of link's target, not the folder that holds link: the answer keeps its "..".
TEST(TerminalUserInterface, DialogKeepsDotDotBehindASymbolicLink) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("kzv-dialog-" + std::to_string(::getpid()));
    fs::create_directories(root / "real" / "inner");
    std::ofstream(root / "real" / "x.KZV") << "scene";
    fs::create_directory_symlink(root / "real" / "inner", root / "link");
    const std::string typed = (root / "link" / ".." / "x.KZV").string();
    TerminalInput input(typed + "\n./sub/../y.KZV\n");
    const std::string answer = Ask();
    EXPECT_EQ(answer, typed);
    EXPECT_TRUE(fs::equivalent(answer, root / "real" / "x.KZV")) << "names the file the user meant";
    EXPECT_EQ(Ask(), (fs::current_path() / "sub" / ".." / "y.KZV").string()) << "only \".\" segments go";
    fs::remove_all(root);
}

TEST(TerminalUserInterface, MessageBoxIsALineOnStderr) {
    TerminalInput input("");
    ASSERT_TRUE(tessavo::CurrentUserInterface()
                    .MessageBox("Import Complete", tessavo::MessageIcon::Information, "KZV")
                    .ok());
    EXPECT_EQ(input.prompts(), "KZV (information): Import Complete\n");
}

TEST(UserInterfaceService, BelongsToTheThreadAndScopesRestoreIt) {
    auto scripted = tessavo::MakeRef<kzv_test::ScriptedUserInterface>();
    tessavo::IUserInterface* terminal = &tessavo::CurrentUserInterface();
    {
        tessavo::ScopedUserInterface scope(scripted.get());
        EXPECT_EQ(&tessavo::CurrentUserInterface(), scripted.get());
        std::thread([&] { EXPECT_EQ(&tessavo::CurrentUserInterface(), terminal); }).join();
    }
    EXPECT_EQ(&tessavo::CurrentUserInterface(), terminal);
}

TEST(MessageIconName, KnownAndUnknownIcons) {
    EXPECT_EQ(tessavo::MessageIconName(tessavo::MessageIcon::Information), "information");
    EXPECT_EQ(tessavo::MessageIconName(tessavo::MessageIcon::Exclamation), "exclamation");
    EXPECT_EQ(tessavo::MessageIconName(static_cast<tessavo::MessageIcon>(7)), "7");
}

}  // namespace
