// rukotool pack / list / extract / append: archives written and read by the player's own
// container code.
#include "command.h"

#include "archive/standalone.h"
#include "archive/vrarchive.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "io/bigstream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace ruko::tool {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& utf8)
{
    RaiseError(Utf8ToCp932(utf8));
}

// An archive file, or a standalone title whose archive is found through its trailer.
void OpenArchiveFile(TVrFileCollection& archive, const std::string& path)
{
    if (!HostFileExists(path)) Fail(path + ":ファイルがありません");
    char magic[2] = {};
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        if (std::fread(magic, 1, 2, file) != 2) magic[0] = 0;
        std::fclose(file);
    }
    bool plain = magic[0] == 'v' && magic[1] == 'f';
    archive.Open(path, !plain && TVrFileManager::HasTrailerMarker(path));
    if (!archive.HasData()) Fail(path + ":ファイルがありません");
}

// --- pack ---------------------------------------------------------------------------------------

int Pack(const std::vector<std::string>& args)
{
    if (args.size() != 2) throw EUsage{"expected DIR OUT"};
    const std::string& dir = args[0];
    const std::string& out = args[1];
    if (!HostFolderExists(dir)) Fail(dir + ":フォルダがありません");

    std::error_code ec;
    fs::path outPath = fs::weakly_canonical(out, ec);
    std::vector<std::string> names; // UTF-8, relative, '/'
    int64_t totalSize = 0;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_regular_file()) continue;
        if (fs::weakly_canonical(it->path(), ec) == outPath)
            continue; // the archive being written inside the folder it packs
        names.push_back(fs::relative(it->path(), dir).generic_string());
        totalSize += static_cast<int64_t>(it->file_size(ec));
    }
    std::sort(names.begin(), names.end());

    TVrFileCollection archive;
    archive.Folder = dir.back() == '/' ? dir : dir + "/";
    std::set<std::string> seen;
    for (const std::string& name : names) {
        if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos)
            Fail(name + ":この名前はアーカイブに入れられません (\\ や : を含む)");
        std::string gameName = name;
        std::replace(gameName.begin(), gameName.end(), '/', '\\');
        std::string cp932;
        if (!TryUtf8ToCp932(gameName, cp932)) Fail(name + ":Shift-JISで書けない名前です");
        if (!seen.insert(UpperCaseText(cp932)).second)
            Fail(name + ":大文字と小文字だけが違う名前が他にもあります");
        archive.Add(cp932);
    }
    bool progress = isatty(STDERR_FILENO) && totalSize > (int64_t{16} << 20);
    if (progress)
        archive.OnMemberWritten = [](int done, int count) {
            std::fprintf(stderr, "\rpacking %d/%d", done, count);
            if (done == count) std::fprintf(stderr, "\n");
        };
    archive.SaveToFile(out);
    return 0;
}

// --- list ---------------------------------------------------------------------------------------

int List(const std::vector<std::string>& args)
{
    if (args.size() != 1) throw EUsage{"expected ARCHIVE"};
    TVrFileCollection archive;
    OpenArchiveFile(archive, args[0]);
    for (int i = 0; i < archive.MemberCount(); ++i) {
        const TVrFile& file = archive.FileAt(i);
        std::string name;
        bool named = TryCp932ToUtf8(file.Name(), name);
        std::printf("%s\t%lld\t%s\t%08x\n", named ? name.c_str() : "?", static_cast<long long>(file.Size),
                    file.Stored ? "stored" : "deflated", file.Checksum);
    }
    return 0;
}

// --- extract ------------------------------------------------------------------------------------

// The host components of a member name, or an error when it would land outside the target folder
// (absolute, drive letter, "..") or cannot name a file.
std::vector<std::string> SafeComponents(const std::string& gameName)
{
    std::string utf8;
    if (!TryCp932ToUtf8(gameName, utf8)) Fail(Cp932ToUtf8(gameName) + ":名前を変換できません");
    auto refuse = [&](const char* why) { Fail(utf8 + ":" + why); };
    if (utf8.empty() || utf8.find('\0') != std::string::npos) refuse("名前が不正です");
    if (utf8[0] == '\\' || utf8[0] == '/' || (utf8.size() >= 2 && utf8[1] == ':'))
        refuse("絶対パスは展開できません");
    std::vector<std::string> components;
    std::string current;
    for (size_t i = 0; i <= utf8.size(); ++i) {
        if (i == utf8.size() || utf8[i] == '\\' || utf8[i] == '/') {
            if (current == "..") refuse("フォルダの外には展開できません");
            if (!current.empty() && current != ".") components.push_back(current);
            current.clear();
        } else {
            current += utf8[i];
        }
    }
    if (components.empty() || utf8.back() == '\\' || utf8.back() == '/') refuse("名前が不正です");
    return components;
}

// Writes one member under `root`, never following a symbolic link, through a temporary name.
void ExtractMember(TVrFileCollection& archive, const TVrFile& file, int root,
                   const std::vector<std::string>& path, const std::string& display)
{
    THostFile owned;
    int folder = root;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        if (mkdirat(folder, path[i].c_str(), 0755) != 0 && errno != EEXIST)
            Fail(display + ":フォルダを作成できません");
        owned = THostFile::OpenAt(folder, path[i], O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (!owned.IsOpen()) Fail(display + ":フォルダを作成できません");
        folder = owned.Descriptor();
    }
    auto write = [&](THostFile& out) {
        if (file.Stored && !file.Data) {
            // Stored members may be large: copied in blocks straight from the archive.
            TRangeStream member(archive.Source(), file.Offset, file.Size);
            if (file.Offset < 0 || file.Size > archive.Source()->SourceSize() - file.Offset)
                Fail(display + ":ファイルが破壊されています");
            std::vector<uint8_t> block(1 << 20);
            int64_t got;
            while ((got = member.Read(block.data(), static_cast<int64_t>(block.size()))) > 0)
                if (!out.WriteAll(block.data(), got)) return false;
            return true;
        }
        std::vector<uint8_t> bytes = archive.ReadFileBytes(file);
        return out.WriteAll(bytes.data(), static_cast<int64_t>(bytes.size()));
    };
    if (!WriteAtomicallyAt(folder, path.back(), write, {.Durable = false}))
        Fail(display + ":ファイルを作成できません");
}

int Extract(const std::vector<std::string>& args)
{
    if (args.size() != 2) throw EUsage{"expected ARCHIVE DIR"};
    TVrFileCollection archive;
    OpenArchiveFile(archive, args[0]);
    // Every name is checked before anything is written.
    std::vector<std::vector<std::string>> paths;
    for (int i = 0; i < archive.MemberCount(); ++i)
        paths.push_back(SafeComponents(archive.FileAt(i).Name()));
    std::error_code ec;
    fs::create_directories(args[1], ec);
    THostFile root = THostFile::Open(args[1], O_RDONLY | O_DIRECTORY);
    if (!root.IsOpen()) Fail(args[1] + ":フォルダを作成できません");
    for (int i = 0; i < archive.MemberCount(); ++i)
        ExtractMember(archive, archive.FileAt(i), root.Descriptor(), paths[static_cast<size_t>(i)],
                      Cp932ToUtf8(archive.FileAt(i).Name()));
    return 0;
}

// --- append -------------------------------------------------------------------------------------

int Append(const std::vector<std::string>& args)
{
    if (args.size() != 3) throw EUsage{"expected PLAYER ARCHIVE OUT"};
    WriteStandaloneTitle(args[0], args[1], args[2]);
    return 0;
}

const TToolCommandRegistrar PackCommand({"pack", "pack DIR OUT", "pack a folder into an archive", Pack});
const TToolCommandRegistrar ListCommand({"list", "list ARCHIVE",
                                         "list members: name, size, stored/deflated, CRC-32", List});
const TToolCommandRegistrar ExtractCommand({"extract", "extract ARCHIVE DIR",
                                            "write every member as a file under DIR", Extract});
const TToolCommandRegistrar AppendCommand({"append", "append PLAYER ARCHIVE OUT",
                                           "make a standalone title: player + archive + trailer", Append});

} // namespace

} // namespace ruko::tool
