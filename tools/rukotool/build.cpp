// rukotool build: a whole title from a folder of sources.
//
// TITLE_DIR holds "title.ini" (the project settings and global variables), scenario sources
// ("*.rss", compiled into ".rsb" pages of the same relative name) and any other files, which are
// copied as they are. The title goes out as loose files in a folder, as one archive ("*.dat"), or
// with --exe appended to a copy of the player.
#include "command.h"

#include "archive/header.h"
#include "archive/standalone.h"
#include "archive/vrarchive.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/inifile.h"
#include "base/numtext.h"
#include "base/text.h"
#include "engine/project.h"
#include "engine/scenario.h"
#include "engine/scenariotext.h"
#include "io/bigstream.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace ruko::tool {

namespace {

namespace fs = std::filesystem;

constexpr const char* TitleFileName = "title.ini";
constexpr const char* SourceExtension = ".rss";

// A member of the title: its game name (CP932, '\' separators) and bytes.
using TMembers = std::map<std::string, std::vector<uint8_t>>;

[[noreturn]] void Fail(const std::string& messageUtf8)
{
    RaiseError(Utf8ToCp932(messageUtf8));
}

std::string GameName(const fs::path& relative)
{
    std::string name;
    for (const fs::path& part : relative) {
        if (!name.empty()) name += '\\';
        name += part.string();
    }
    std::string cp932;
    if (!TryUtf8ToCp932(name, cp932)) Fail(relative.string() + ": the file name has no Shift-JIS form");
    return cp932;
}

std::vector<uint8_t> ReadBytes(const fs::path& path)
{
    std::string text;
    if (!ReadHostFile(path.string(), text)) Fail(path.string() + ":ファイルがありません");
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string Cp932Value(const TIniFile& ini, const char* section, const char* key, const std::string& fallback)
{
    std::string value = ini.ReadString(section, key, fallback);
    std::string cp932;
    if (!TryUtf8ToCp932(value, cp932))
        Fail(std::string(TitleFileName) + ": [" + section + "] " + key + " has no Shift-JIS form");
    return cp932;
}

// "TYPE VALUE": int 5, real 1.5, flag true, string "text" (or the bare text).
TGlobalVarDecl ParseVariable(const std::string& name, const std::string& declaration)
{
    auto bad = [&](const std::string& why) -> TGlobalVarDecl {
        Fail(std::string(TitleFileName) + ": [Variables] " + name + ": " + why);
    };
    TGlobalVarDecl decl;
    if (!TryUtf8ToCp932(name, decl.Name) || decl.Name.empty()) return bad("the name has no Shift-JIS form");
    std::string_view text = Trim(declaration);
    const size_t blank = text.find(' ');
    const std::string_view typeWord = text.substr(0, blank);
    const std::string_view value =
        blank == std::string_view::npos ? std::string_view() : Trim(text.substr(blank));
    const int type = TypeCodeOf(typeWord);
    if (type < 1 || type > 4) return bad("expected TYPE VALUE with TYPE int, real, flag or string");
    decl.Type = static_cast<uint8_t>(type);
    switch (type) {
    case 1:
        if (!value.empty() && !TryStrToInt(value, decl.IntValue)) return bad("not an integer");
        break;
    case 2:
        if (!value.empty() && !TryStrToFloat(value, decl.RealValue)) return bad("not a number");
        break;
    case 3:
        if (value == "true" || value == "1")
            decl.BoolValue = true;
        else if (!value.empty() && value != "false" && value != "0")
            return bad("expected true or false");
        break;
    default: {
        std::string utf8(value);
        if (!value.empty() && value.front() == '"' && !Unquote(value, utf8))
            return bad("malformed quoted string");
        if (!TryUtf8ToCp932(utf8, decl.StrValue)) return bad("the text has no Shift-JIS form");
        break;
    }
    }
    return decl;
}

TProjectSetting ReadTitleFile(const fs::path& file)
{
    TIniFile ini;
    if (!ini.Load(file.string())) Fail(file.string() + ":ファイルがありません");
    TProjectSetting setting;
    const char* p = "Project";
    setting.Title = Cp932Value(ini, p, "Title", "");
    setting.ScreenWidth = ini.ReadInteger(p, "ScreenWidth", setting.ScreenWidth);
    setting.ScreenHeight = ini.ReadInteger(p, "ScreenHeight", setting.ScreenHeight);
    setting.FullScreenWidth = ini.ReadInteger(p, "FullScreenWidth", 0);
    setting.FullScreenHeight = ini.ReadInteger(p, "FullScreenHeight", 0);
    setting.StartPage = Cp932Value(ini, p, "StartPage", "main.rsb");
    setting.ExitPage = Cp932Value(ini, p, "ExitPage", "");
    setting.RegistryKey = Cp932Value(ini, p, "RegistryKey", "");
    setting.IdentCode = ini.ReadInteger(p, "IdentCode", 0);
    setting.SaveStatus = ini.ReadBool(p, "SaveStatus", false);
    setting.MediaExtensions = Cp932Value(ini, p, "MediaExtensions", setting.MediaExtensions);
    setting.PauseWhenInactive = ini.ReadBool(p, "PauseWhenInactive", false);
    setting.ShowToolbar = ini.ReadBool(p, "Toolbar", true);
    setting.DiskPrompt = Cp932Value(ini, p, "DiskPrompt", "");
    setting.ExitPrompt = Cp932Value(ini, p, "ExitPrompt", "");
    auto size = [](int32_t v, int32_t low) { return v >= low && v <= TProjectSetting::MaxScreenSize; };
    if (!size(setting.ScreenWidth, 1) || !size(setting.ScreenHeight, 1) ||
        !size(setting.FullScreenWidth, 0) || !size(setting.FullScreenHeight, 0))
        Fail(std::string(TitleFileName) + ": screen sizes must be 1.." +
             std::to_string(TProjectSetting::MaxScreenSize));
    for (const std::string& key : ini.KeyNames("Variables"))
        setting.Variables.push_back(ParseVariable(key, ini.ReadString("Variables", key, "")));
    for (const std::string& key : ini.KeyNames("Disks")) {
        std::string folder;
        if (!TryUtf8ToCp932(key, folder))
            Fail(std::string(TitleFileName) + ": [Disks] " + key + " has no Shift-JIS form");
        setting.FolderDisks.Add(folder, ini.ReadInteger("Disks", key, 0));
    }
    return setting;
}

// Every member of the title; compile errors are all printed and nothing is made.
bool CollectMembers(const fs::path& titleDir, TMembers& members)
{
    const TProjectSetting setting = ReadTitleFile(titleDir / TitleFileName);
    std::vector<TScenarioSource> sources;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(titleDir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        const fs::path relative = fs::relative(path, titleDir);
        if (relative == TitleFileName) continue;
        if (path.extension() == SourceExtension) {
            TScenarioSource source;
            source.FileName = path.string();
            fs::path page = relative;
            page.replace_extension(".rsb");
            source.PageName = Cp932ToUtf8(GameName(page));
            std::vector<uint8_t> bytes = ReadBytes(path);
            source.Text.assign(bytes.begin(), bytes.end());
            sources.push_back(std::move(source));
            continue;
        }
        members[GameName(relative)] = ReadBytes(path);
    }
    std::vector<TCompiledPage> pages;
    std::vector<TScenarioError> errors;
    if (!CompileScenarios(sources, pages, errors)) {
        for (const TScenarioError& error : errors)
            std::fprintf(stderr, "%s\n", error.Format().c_str());
        std::fprintf(stderr, "rukotool build: %zu error(s); nothing written\n", errors.size());
        return false;
    }
    for (TCompiledPage& page : pages) {
        if (members.count(page.PageName))
            Fail(Cp932ToUtf8(page.PageName) + " is both a source and a file of the title");
        members[page.PageName] = std::move(page.Bytes);
    }
    auto has = [&](const std::string& name) {
        for (const auto& member : members)
            if (SameText(member.first, name)) return true;
        return false;
    };
    if (!has(setting.StartPage))
        Fail("the start page " + Cp932ToUtf8(setting.StartPage) + " is not in the title");
    if (!setting.ExitPage.empty() && !has(setting.ExitPage))
        Fail("the exit page " + Cp932ToUtf8(setting.ExitPage) + " is not in the title");
    members["ruko.rpb"] = setting.SaveToBytes();
    if (!has("install.dat"))
        members["install.dat"] = TRukoInstallSet::CompleteInstall(setting.Title).SaveToBytes();
    return true;
}

void WriteFolder(const fs::path& out, const TMembers& members)
{
    for (const auto& [name, bytes] : members) {
        fs::path target = out;
        for (const std::string& part : SplitText(Cp932ToUtf8(name), '\\'))
            target /= part;
        fs::create_directories(target.parent_path());
        if (!WriteHostFileAtomic(target.string(),
                                 std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
            Fail(target.string() + ":書き込めません");
    }
}

void WriteArchive(const std::string& hostPath, const TMembers& members)
{
    TVrFileCollection archive;
    for (const auto& [name, bytes] : members) {
        TVrFile& file = archive.AddMemoryFile(name);
        file.Data->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    archive.SaveToFile(hostPath);
}

// The player to copy for --exe: given, or the one built beside this tool.
fs::path FindPlayer(const std::string& given)
{
    if (!given.empty()) return given;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    for (const fs::path& candidate :
         {self.parent_path() / "../src/rukoplay", self.parent_path() / "rukoplay"})
        if (fs::is_regular_file(candidate, ec)) return candidate;
    throw EUsage{"--exe needs the player: give --player PATH"};
}

void WriteExecutable(const fs::path& out, const fs::path& player, const TMembers& members)
{
    // The archive goes through a file of its own beside the output, removed whatever happens.
    const fs::path archive = out.string() + ".archive~";
    struct TRemove
    {
        fs::path Path;
        ~TRemove()
        {
            std::error_code ec;
            fs::remove(Path, ec);
        }
    } removeArchive{archive};
    WriteArchive(archive.string(), members);
    WriteStandaloneTitle(player.string(), archive.string(), out.string());
}

int Build(const std::vector<std::string>& args)
{
    std::string titleDir, out, player;
    bool exe = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--player") {
            if (i + 1 >= args.size()) throw EUsage{args[i] + " needs a value"};
            (args[i] == "-o" ? out : player) = args[i + 1];
            ++i;
        } else if (args[i] == "--exe") {
            exe = true;
        } else if (titleDir.empty()) {
            titleDir = args[i];
        } else {
            throw EUsage{"unexpected argument " + args[i]};
        }
    }
    if (titleDir.empty() || out.empty()) throw EUsage{"expected TITLE_DIR -o OUT"};
    if (!fs::is_directory(titleDir)) Fail(titleDir + ":ファイルがありません");
    TMembers members;
    if (!CollectMembers(titleDir, members)) return 1;
    const fs::path outPath = out;
    if (exe) {
        WriteExecutable(outPath, FindPlayer(player), members);
    } else if (outPath.extension() == ".dat") {
        if (outPath.has_parent_path()) fs::create_directories(outPath.parent_path());
        WriteArchive(out, members);
    } else {
        WriteFolder(outPath, members);
    }
    return 0;
}

const TToolCommandRegistrar buildCommand(
    {"build", "build TITLE_DIR -o OUT [--exe [--player PATH]]",
     "make a title from title.ini, .rss sources and files: a folder, an archive (*.dat) or a player", Build});

} // namespace

} // namespace ruko::tool
