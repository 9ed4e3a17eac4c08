#pragma once
// The game record of one save slot: caption, resume point, components, history, scenario state,
// variables and game tables. A load reads the whole record into fresh objects first and puts
// them into the running title only when every part was read, so a damaged record changes nothing.
#include "engine/callman.h"
#include "params/paramcollection.h"
#include "records/dbmanager.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruko {

class TRukoBaseList;

struct TGameParts
{
    TRukoBaseList* Components = nullptr;
    TCallMan* Calls = nullptr;
    TParamCollection* Variables = nullptr;
    TDBManager* Tables = nullptr;
};

// The record of the running game, in the newest version.
std::vector<uint8_t> WriteGameRecord(const std::string& caption, const std::string& resumePage,
                                     int32_t resumeIndex, const TGameParts& parts);

// A game record read whole; nothing of the running title has changed except the running
// command's state, which Abandon gives back.
class TGameRecord
{
  public:
    TGameRecord() = default;
    ~TGameRecord();
    TGameRecord(TGameRecord&&) = default;
    TGameRecord(const TGameRecord&) = delete;
    TGameRecord& operator=(const TGameRecord&) = delete;

    uint32_t Version = 0;
    std::string Caption, ResumePage;
    int32_t ResumeIndex = 0;

    // Puts the record into the running title (components, scenario state, variables, tables),
    // then enters the resume page and lets every component settle.
    void Commit();

  private:
    friend TGameRecord ReadGameRecord(const std::vector<uint8_t>&, const TGameParts&);
    TGameParts parts_;
    std::unique_ptr<TRukoBaseList> components_;
    std::unique_ptr<TCallMan::TLoadedState> calls_; // moves leave none behind to abandon
    std::optional<TParamCollection::TVariablesLoad> variables_;
    std::optional<TDBManager::TLoadedTables> tables_;
};

// Reads a game record. A version below 107 raises "セーブファイルの形式が古いため読めません…",
// one above the newest and damaged bytes raise the damaged-file error.
TGameRecord ReadGameRecord(const std::vector<uint8_t>& bytes, const TGameParts& parts);

// The message a refused or damaged load shows.
std::string UnusableSaveMessage();

} // namespace ruko
