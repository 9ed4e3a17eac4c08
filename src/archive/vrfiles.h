#pragma once
// The file manager: every file the player reads is asked for by a game name (CP932, "\"
// separators) and found in a base folder of loose files, the registered archives, or the disc
// roots, in a fixed order per operation. It also extracts members to work files and searches for
// discs. One process-wide instance, `FileManager`, created and freed by the shell.
#include "archive/vrarchive.h"
#include "io/bigstream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

enum class TPromptAnswer
{
    Ok,
    Cancel,
    Abort, // no answer can be had (window closed, input script exhausted): treated as giving up
};

// What the shell supplies; the file manager never reaches the platform layer itself.
struct TFileManagerHost
{
    // An OK/Cancel question (text and caption in CP932). Unset: every question answers Abort.
    std::function<TPromptAnswer(const std::string& text, const std::string& caption)> AskOkCancel;
    // An information box with one button. Unset: the text goes to stderr.
    std::function<void(const std::string& text, const std::string& caption)> ShowInfo;
    // Asks the main window to close.
    std::function<void()> RequestClose;
};

// Work files extracted so far: member name → id. A work file is
// TempFolder + "~rk" + id in 8 upper-case hex digits + the member's extension.
struct TVrLockData
{
    std::string Name;
    int Id = 0;
    std::string Path; // host path of the work file
};

class TVrFileManager
{
  public:
    TVrFileManager();
    ~TVrFileManager();
    TVrFileManager(const TVrFileManager&) = delete;
    TVrFileManager& operator=(const TVrFileManager&) = delete;

    // --- set by the shell -----------------------------------------------------------------------
    void SetHost(TFileManagerHost host) { host_ = std::move(host); }
    // The run's private temporary folder for work files (host path).
    void SetTempFolder(const std::string& hostFolder);
    const std::string& TempFolder() const { return tempFolder_; }
    // The per-user INI whose section "Discs" lists folders that act as disc roots (every value
    // is a host folder), besides mounted iso9660/udf file systems.
    void SetUserIniFile(const std::string& hostPath) { userIniFile_ = hostPath; }
    // The project's title and prompt texts used by disc searches (CP932).
    void SetProjectPrompts(const std::string& title, const std::string& diskPrompt,
                           const std::string& exitPrompt);

    // --- sources --------------------------------------------------------------------------------
    // Registers an archive file (its directory through the trailer when `viaTrailer`). Returns its
    // index, or −1 when the same file (canonical path) is already registered. An empty path makes
    // the file-less in-memory archive. A damaged archive raises an error naming it.
    int AddArchive(const std::string& hostPath, bool viaTrailer = false);
    // Registers the run's data sources after archive 0. Without parameters the base folder is the
    // player's folder and the player itself is registered when it ends with the "rk" trailer (a
    // standalone title). With parameters the first one is the base folder; each one registers the
    // "game.dat" in the folder it names, or the file it names when that ends with the trailer
    // (read through the trailer whatever its extension). `playerPath` is normally "/proc/self/exe".
    void RegisterDataSources(const std::string& playerPath, const std::vector<std::string>& params);
    // True when the host file's last two bytes are the trailer marker "rk".
    static bool HasTrailerMarker(const std::string& hostPath);
    // Registers an archive already in memory (tests, resources).
    int AddArchiveSource(std::shared_ptr<const TRangeSource> source, int64_t directoryOffset,
                         const std::string& displayName);
    void RemoveArchive(int index);
    void Clear();
    int ArchiveCount() const { return static_cast<int>(archives_.size()); }
    TVrFileCollection& Archive(int index) const { return *archives_.at(static_cast<size_t>(index)); }

    // Folder of loose files (host path); stored with a trailing '/'. Fires OnAdd with nullptr.
    void SetBaseFolder(const std::string& hostFolder);
    const std::string& BaseFolder() const { return baseFolder_; }

    std::function<void(TVrFileManager&, TVrFileCollection*)> OnAdd;
    std::function<void(TVrFileManager&, TVrFileCollection&)> OnRemove;

    // --- lookups (game names) -------------------------------------------------------------------
    // Archives first, then the base folder, then the disc roots.
    bool Exists(std::string_view name);
    // The file's bytes, uncompressed; base folder first, then archives, then disc roots. Raises
    // "%s:ファイルがありません". A memory target is emptied first; position 0 afterwards.
    void LoadToStream(TKwBigStream& stream, std::string_view name);
    std::vector<uint8_t> LoadFile(std::string_view name);
    // A read-only stream on the file without loading it whole (same order as LoadToStream).
    std::unique_ptr<TRangeStream> OpenRange(std::string_view name);
    // A real file for the name: a loose file as is, an archive member extracted once to a work
    // file; the name itself when nothing has it.
    std::string GetLocalFileName(std::string_view name);
    // The member in the first archive that has it.
    TVrFile* FindItem(std::string_view name);
    // Names under a folder from every source, relative to it, without duplicates.
    void ListFiles(std::string_view path, std::vector<std::string>& list);
    // Host path of a loose file under the base folder or a disc root; empty when none.
    std::string FindLooseFile(std::string_view name);

    // --- discs and install layout ---------------------------------------------------------------
    // Re-reads the disc roots (mounted iso9660/udf and the INI folders).
    std::vector<std::string> RefreshDiscRoots();
    const std::vector<std::string>& DiscRoots() const { return discRoots_; }
    // Asks for disc n until it is found (true) or the user gives up (false; the run ends).
    bool AskDisk(int n);
    // Registers "game.dat" of every disc root whose "install.dat" has the project title and disk
    // number d; true when at least one was registered.
    bool FindDisk(int d);
    // Finds the game data at start; false stops the run. `exeFolder` is the host folder of the
    // player (or of the title's data).
    bool LocateGameData(const std::string& exeFolder);

    // --- work files -----------------------------------------------------------------------------
    // Deletes the work files queued for deletion (start of each frame, and at exit).
    void DeleteStaleWorkFiles();
    // Forgets the work file of a member; it is deleted at the next DeleteStaleWorkFiles.
    void ReleaseLocalFile(std::string_view name);
    const std::vector<TVrLockData>& Locks() const { return locks_; }

    // Game path helpers.
    static std::string FolderOf(std::string_view fileName);

  private:
    std::string ExtractToWorkFile(TVrFileCollection& archive, std::string_view name);
    TPromptAnswer Ask(const std::string& text, const std::string& caption);
    void Inform(const std::string& text, const std::string& caption);
    bool ExitConfirmed();
    int Register(std::unique_ptr<TVrFileCollection> archive);

    TFileManagerHost host_;
    std::vector<std::unique_ptr<TVrFileCollection>> archives_;
    std::string baseFolder_;
    std::string tempFolder_;
    bool ownTempFolder_ = false; // made here because the shell set none; removed at the end
    std::string userIniFile_;
    std::vector<std::string> discRoots_;
    std::vector<TVrLockData> locks_;
    std::vector<std::string> staleWorkFiles_;
    int nextLockId_ = 0;
    std::string projectTitle_;
    std::string diskPrompt_;
    std::string exitPrompt_;
};

// The process-wide file manager (not owned); the shell creates it first and frees it last.
extern TVrFileManager* FileManager;

// Resolves a relative game path against a base folder: a leading "..\" drops the last folder of
// the base (the base part of the result is upper-cased); other paths are base + path, and paths
// that are absolute (leading "\", drive letter) or at most one character long are returned as is.
std::string ExpandRelativePath(std::string_view path, std::string_view base);

} // namespace ruko
