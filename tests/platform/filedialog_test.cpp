// The desktop dialogs' command lines, and the user folders titles name.
#include "platform/filedialog.h"
#include "platform/hostenv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

using namespace ruko;

namespace {

using Args = std::vector<std::string>;

TEST(FileDialog, ToolsGetTheTitlesFilterInTheirOwnForm)
{
    const std::string filter = "Text|*.txt;*.log|All|*.*";
    EXPECT_EQ(ZenityArguments(TFileDialogKind::Open, filter),
              (Args{"--file-selection", "--file-filter=Text | *.txt *.log", "--file-filter=All | *.*"}));
    EXPECT_EQ(ZenityArguments(TFileDialogKind::Save, ""),
              (Args{"--file-selection", "--save", "--confirm-overwrite"}));
    EXPECT_EQ(ZenityArguments(TFileDialogKind::Folder, filter), (Args{"--file-selection", "--directory"}));
    EXPECT_EQ(KdialogArguments(TFileDialogKind::Open, filter),
              (Args{"--getopenfilename", ".", "*.txt *.log|Text\n*.*|All"}));
    EXPECT_EQ(KdialogArguments(TFileDialogKind::Save, ""), (Args{"--getsavefilename", "."}));
    EXPECT_EQ(KdialogArguments(TFileDialogKind::Folder, filter), (Args{"--getexistingdirectory", "."}));
    // A dangling description without patterns is dropped.
    EXPECT_EQ(ZenityArguments(TFileDialogKind::Open, "Text"), (Args{"--file-selection"}));
}

TEST(FileDialog, WithoutEitherToolTheDialogIsCancelled)
{
    const char* old = std::getenv("PATH");
    std::string saved = old ? old : "";
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(FindOnPath("zenity"), "");
    EXPECT_EQ(RunDesktopFileDialog(TFileDialogKind::Open, ""), std::nullopt);
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_NE(FindOnPath("sh"), "");
}

class SpecialFolders : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
            ::unsetenv(name);
        }
        ::setenv("HOME", home_.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_.Path() + "config").c_str(), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved_)
            value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    void WriteUserDirs(const std::string& text)
    {
        WriteHostFileAtomic(home_.Path() + "config/user-dirs.dirs", text);
    }
    std::string Home() const { return home_.Path().substr(0, home_.Path().size() - 1); }

    TTempFolder home_;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(SpecialFolders, FollowUserDirsThenTheEnvironmentThenHome)
{
    // Nothing configured: the desktop under home, the documents home itself.
    EXPECT_EQ(UserSpecialFolder("Desktop"), Home() + "/Desktop/");
    EXPECT_EQ(UserSpecialFolder("MyDocuments"), Home() + "/");
    EXPECT_EQ(UserSpecialFolder("Windows"), "");

    ::setenv("XDG_DOCUMENTS_DIR", "/srv/docs", 1);
    EXPECT_EQ(UserSpecialFolder("MyDocuments"), "/srv/docs/");
    std::filesystem::create_directories(home_.Path() + "config");
    WriteUserDirs("# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                  "XDG_DOCUMENTS_DIR=\"/data/Dokumente\"\n"
                  "XDG_MUSIC_DIR=\"relative/ignored\"\n");
    EXPECT_EQ(UserSpecialFolder("Desktop"), Home() + "/Schreibtisch/");
    EXPECT_EQ(UserSpecialFolder("MyDocuments"), "/data/Dokumente/"); // the file wins
    WriteUserDirs("XDG_DESKTOP_DIR=\"relative\"\n");
    EXPECT_EQ(UserSpecialFolder("Desktop"), Home() + "/Desktop/"); // not a usable value
}

} // namespace
