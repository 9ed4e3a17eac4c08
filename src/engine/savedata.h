#pragma once
// What the save file holds besides its container: the persistent status record, the slot
// captions, and the start-up work (restore the status, list the captions, bring back the
// "save:" files). The game records themselves come with the game save and load.
#include "engine/savefile.h"
#include "params/paramcollection.h"
#include "records/dbmanager.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ruko {

class TBuiltinComponents;
class TVrFileManager;

// The status version written ("Status103"); newer versions are read with its layout.
inline constexpr int32_t StatusVersion = 103;
// The game record version written; older records from 107 on are read.
inline constexpr uint32_t GameSaveVersion = 144;
inline constexpr uint32_t OldestGameSaveVersion = 107;

// A status record read into fresh objects; nothing of the running title has changed yet.
struct TStatusRecord
{
    int32_t Version = 0;
    TParamCollection::TPersistentLoad Variables;
    std::optional<uint8_t> Dither;                   // version > 100
    std::optional<TDBManager::TLoadedTables> Tables; // version ≥ 103
};

// Reads a whole status record; raises the damaged-file error for bytes that do not make one.
// `store` is only read (for the kinds of its variables).
TStatusRecord ReadStatusRecord(const std::vector<uint8_t>& bytes, const TParamCollection& store);
// Puts a record read whole into the running title, all parts together.
void CommitStatusRecord(TStatusRecord record, TParamCollection& store, TDBManager* tables,
                        TBuiltinComponents* components);
// The status record of the running title, in the newest layout.
std::vector<uint8_t> WriteStatusRecord(const TParamCollection& store, const TDBManager* tables, bool dither);

// The head of a game record: enough to list it.
struct TSlotHeader
{
    uint32_t Version = 0;
    std::string Caption;
};
// The head of the member, inflating only that much; nullopt when it cannot be read.
std::optional<TSlotHeader> ReadSlotHeader(const TVrFileCollection& archive, const TVrFile& member);
// Slot → caption of every readable game record ("GAMESAVEDATA" + canonical decimal slot).
std::map<int32_t, std::string> ReadSlotCaptions(const TVrFileCollection& archive);

// Copies every "save:" member (the prefix ignoring case) into the in-memory archive of the file
// manager, where every lookup finds it; a member that cannot be read is left out.
void CopySaveMembers(TVrFileCollection& archive, TVrFileManager& files);

} // namespace ruko
