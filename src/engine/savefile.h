#pragma once
// The save file "save.dat": one "vf" archive per title and user holding the status, the game
// slots and the files scripts store with the "save:" prefix. Every change rewrites it whole into
// a fresh temporary beside it that is flushed and renamed over it, so a kill or a full disk at any
// moment leaves either the old file or the new one; the file before the last change stays as
// "save.dat.bak". Changes hold an flock on "save.dat.lock", so two copies of a title that write
// at once keep each other's slots.
#include "archive/vrarchive.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruko {

inline constexpr const char* StatusMemberName = "STATUSSAVEDATA";
inline constexpr const char* SlotMemberPrefix = "GAMESAVEDATA";

// The member name of a slot ("GAMESAVEDATA3").
std::string SlotMemberName(int32_t slot);
// The slot a member name stands for: only "GAMESAVEDATA" followed by a non-negative int32 in
// canonical decimal ("0", "17"; never "007", "+1" or "-1"), so every listed slot can be loaded.
std::optional<int32_t> SlotOfMemberName(const std::string& name);

class TSaveFile
{
  public:
    // `hostPath` is the file itself (".../save.dat"); its folder is made at the first write.
    explicit TSaveFile(std::string hostPath);

    const std::string& Path() const { return path_; }
    std::string BackupPath() const { return path_ + ".bak"; }
    std::string DamagedPath() const { return path_ + ".damaged"; }
    std::string LockPath() const { return path_ + ".lock"; }
    // The file's own name ("save.dat"), for messages.
    std::string FileName() const { return path_.substr(path_.rfind('/') + 1); }

    // False only where the run does not need to outlive a crash of the machine (benchmarks):
    // the writes are then not flushed to the disk, the renames stay.
    bool Durable = true;
    // What the file reports while it mends itself (UTF-8, one line each); unset: stderr.
    std::function<void(const std::string& message)> Notice;

    // Once, when there is no file yet: copies `hostPath` (an old "save.dat" beside the title) to
    // become it. False when nothing was copied.
    bool ImportOnce(const std::string& hostPath);
    // Removes the temporaries of writers that were killed before they renamed theirs.
    void RemoveStaleTemporaries();
    // The current file as an archive (empty when there is none). A file whose directory is
    // damaged is kept as "save.dat.damaged" and "save.dat.bak" takes its place; when the backup is
    // damaged too, the archive is empty. Never raises for a damaged file.
    std::unique_ptr<TVrFileCollection> Open();
    // Read-modify-write under the lock: `change` edits the current archive, whose members it does
    // not replace are written back byte for byte. False (file unchanged) when the new file cannot
    // be written; an exception from `change` goes on, the file unchanged.
    bool Update(const std::function<void(TVrFileCollection&)>& change);

  private:
    std::unique_ptr<TVrFileCollection> OpenLocked();
    void Tell(const std::string& message) const;

    std::string path_;
};

// The save file at `hostPath` as an archive, empty when there is no file; raises the damaged-
// archive error for a file that is not one. The archive is the file's alone.
std::unique_ptr<TVrFileCollection> OpenSaveArchive(const std::string& hostPath);

// The member bytes `name` (CP932) of the archive, replacing every member of that name whatever
// its letter case: the new spelling is kept.
void ReplaceMember(TVrFileCollection& archive, const std::string& name, std::vector<uint8_t> bytes);

} // namespace ruko
