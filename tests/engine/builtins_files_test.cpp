// File functions through a file manager on a scratch folder, dialogs and message boxes.
#include "builtins_fixture.h"

#include "archive/vrfiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ruko::test {
namespace {

namespace fs = std::filesystem;

class FileFunctions : public BuiltinsTest
{
  protected:
    FileFunctions()
    {
        std::string pattern = (fs::temp_directory_path() / "ruko-builtins-XXXXXX").string();
        root = mkdtemp(pattern.data());
        fs::create_directories(root + "/data/bgm");
        fs::create_directories(root + "/program");
        Write("data/lines.txt", "one\r\ntwo\nthree\r\n");
        Write("data/bgm/a.ogg", "A");
        Write("data/bgm/b.ogg", "B");
        Write("data/bgm/c.wav", "C");
        files.SetBaseFolder(root + "/data");
        services.Files = &files;
        services.ProgramFolder = root + "/program/";
        Var(ptStr, "lines");
        Var(ptStr, "chosen");
    }
    ~FileFunctions() override { fs::remove_all(root); }

    void Write(const std::string& relative, const std::string& content)
    {
        std::ofstream(root + "/" + relative, std::ios::binary) << content;
    }
    std::string Read(const std::string& relative)
    {
        std::ifstream in(root + "/" + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string root;
    TVrFileManager files;
};

TEST_F(FileFunctions, ExistsAndTextLines)
{
    EXPECT_EQ(Eval("FileExists(\"LINES.TXT\")"), "TRUE");
    EXPECT_EQ(Eval("FileExists(\"none.txt\")"), "FALSE");
    EXPECT_EQ(Eval("FileExists(\"\")"), "FALSE");
    EXPECT_EQ(Eval("LoadTextFile(lines, \"lines.txt\")"), "TRUE");
    EXPECT_EQ(Elements("lines"), "one|two|three");
    EXPECT_EQ(Eval("LoadTextFile(lines, \"none.txt\")"), "FALSE");
    EXPECT_EQ(Elements("lines"), "one|two|three");
}

TEST_F(FileFunctions, CopyFileStaysInsideTheTitleFolder)
{
    EXPECT_EQ(Eval("CopyFile(\"lines.txt\", \"copy\\out.txt\")"), "TRUE");
    EXPECT_EQ(Read("data/copy/out.txt"), "one\r\ntwo\nthree\r\n");
    for (const char* target : {"..\\escape.txt", "\\abs.txt", "c:\\x.txt", "a\\..\\..\\b.txt"})
        EXPECT_EQ(Eval(std::string("CopyFile(\"lines.txt\", \"") + target + "\")"), "FALSE") << target;
    EXPECT_FALSE(fs::exists(root + "/escape.txt"));
}

TEST_F(FileFunctions, CopyFileToMemoryMakesAFileTheTitleCanRead)
{
    std::vector<uint8_t> stored;
    services.StoreSaveMember = [&](const std::string&, const std::vector<uint8_t>& bytes) {
        stored = bytes;
        return true;
    };
    EXPECT_EQ(Eval("CopyFile(\"bgm\\a.ogg\", \"mem:x.txt\")"), "TRUE");
    EXPECT_EQ(Eval("CopyFile(\"lines.txt\", \"mem:x.txt\")"), "TRUE"); // replaces the first copy
    EXPECT_EQ(Eval("LoadTextFile(lines, \"mem:x.txt\")"), "TRUE");
    EXPECT_EQ(Elements("lines"), "one|two|three");
    EXPECT_EQ(Eval("CopyFile(\"bgm\\b.ogg\", \"save:s.dat\")"), "TRUE");
    EXPECT_EQ(std::string(stored.begin(), stored.end()), "B");
    Eval("CopyFile(\"none.txt\", \"mem:y\")");
    EXPECT_FALSE(ok);
}

TEST_F(FileFunctions, ExtractFileMatchesWildcardsAndAsksBeforeOverwriting)
{
    std::vector<std::string> asked;
    bool answer = false;
    services.AskYesNo = [&](const std::string& text, const std::string&) {
        asked.push_back(Cp932ToUtf8(text));
        return answer;
    };
    EXPECT_EQ(Eval("ExtractFile(\"bgm\\*.OGG\", 1, \"out\")"), "TRUE");
    EXPECT_EQ(Read("program/out/a.ogg") + Read("program/out/b.ogg"), "AB");
    EXPECT_FALSE(fs::exists(root + "/program/out/c.wav"));
    EXPECT_TRUE(asked.empty());

    Write("program/out/a.ogg", "old");
    EXPECT_EQ(Eval("ExtractFile(\"bgm\\?.ogg\", 1, \"out\")"), "TRUE");
    EXPECT_EQ(Read("program/out/a.ogg"), "old");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "a.ogg\r\n\r\n既に同名のファイルが存在します。上書きしますか？");

    // A folder that would leave the program's folder is replaced by the program's folder.
    EXPECT_EQ(Eval("ExtractFile(\"bgm\\c.wav\", 0, \"..\\up\")"), "TRUE");
    EXPECT_EQ(Read("program/c.wav"), "C");
    EXPECT_EQ(Eval("ExtractFile(\"bgm\\c.wav\", 0, \"{Unknown}\")"), "FALSE");
    EXPECT_EQ(Eval("ExtractFile(\"bgm\\c.wav\")"), "FALSE"); // no folder dialog: cancelled
}

TEST_F(FileFunctions, DialogsWriteTheChoiceIntoTheNamedVariable)
{
    std::string filter;
    services.SelectOpenFile = [&](const std::string& f) -> std::optional<std::string> {
        filter = f;
        return std::string("save1.dat");
    };
    services.SelectDirectory = [] { return std::optional<std::string>("C:\\games"); };
    EXPECT_EQ(Eval("SelectOpenFile(chosen, \"*.dat\")"), "TRUE");
    EXPECT_EQ(Str("chosen"), "save1.dat");
    EXPECT_EQ(filter, "*.dat");
    EXPECT_EQ(Eval("SelectDirectory(chosen)"), "TRUE");
    EXPECT_EQ(Str("chosen"), "C:\\games\\");
    EXPECT_EQ(Eval("SelectSaveFile(chosen)"), "FALSE"); // no dialog: cancelled
    EXPECT_EQ(Str("chosen"), "C:\\games\\");
}

TEST_F(FileFunctions, AlertAndOpenUrlUseTheServices)
{
    std::vector<std::string> shown, opened;
    services.Title = Utf8ToCp932("題");
    services.ShowInfo = [&](const std::string& text, const std::string& caption) {
        shown.push_back(Cp932ToUtf8(caption + ":" + text));
    };
    services.OpenUrl = [&](const std::string& url) {
        opened.push_back(url);
        return true;
    };
    services.FolderExists = [](const std::string& folder) { return folder == "/tmp"; };
    EXPECT_EQ(Eval("Alert(\"こんにちは\")"), "TRUE");
    EXPECT_EQ(shown, std::vector<std::string>{"題:こんにちは"});
    Eval("OpenUrl(\"https://example.org/\")");
    Eval("OpenUrl(\"mailto:x@example.org\")");
    Eval("OpenUrl(\"/tmp\")");
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/", "file:///tmp"}));
}

} // namespace
} // namespace ruko::test
