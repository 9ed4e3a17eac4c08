#include "engine/gamesave.h"

#include "base/error.h"
#include "base/text.h"
#include "components/baselist.h"
#include "components/component.h"
#include "engine/savedata.h"
#include "io/bigstream.h"
#include "io/fields.h"

namespace ruko {
namespace {

// The message history of a game record. The history is not kept yet: a record is written with
// the form of an empty history (the default format alone, no entries) and the history a record
// holds is checked and passed over; the history will write and take its own here.
void WriteHistory(TKwBigStream& s)
{
    WriteU32(s, 1); // the default format, whose name is empty
    WriteStr(s, std::string());
    for (int i = 0; i < 6; ++i)
        WriteU32(s, 0);
    WriteU32(s, 0); // old entries
    WriteStr(s, std::string());
    for (int i = 0; i < 4; ++i) // pending index, value, size
        WriteU32(s, 0);
    WriteStr(s, std::string());
    for (int i = 0; i < 1 + 6 + 2; ++i) // entry cap, layout settings, shown range
        WriteU32(s, 0);
    WriteU32(s, 0); // pages
    WriteStr(s, std::string());
}

void SkipU32s(TKwBigStream& s, int64_t count)
{
    CheckCount(s, count, 4);
    s.SetPosition(s.GetPosition() + count * 4);
}

void SkipOneHistory(TKwBigStream& s, uint32_t version)
{
    if (version < 113) ReadStr(s);
    uint32_t old = ReadU32(s);
    CheckCount(s, old, 4 + 4 + 4 + 8);
    if (version >= 113) {
        for (uint32_t i = 0; i < old; ++i) {
            ReadStr(s);
            SkipU32s(s, 4);
        }
    } else {
        for (uint32_t i = 0; i < old; ++i)
            ReadStr(s);
        SkipU32s(s, int64_t{4} * old);
    }
    ReadStr(s);     // pending page
    SkipU32s(s, 4); // pending index, value, size
    ReadStr(s);     // message name
    if (version > 112) {
        SkipU32s(s, 1 + 6 + 2);
        uint32_t pages = ReadU32(s);
        CheckCount(s, pages, 8);
        for (uint32_t p = 0; p < pages; ++p) {
            uint32_t lines = ReadU32(s);
            CheckCount(s, lines, 4 + 16);
            for (uint32_t l = 0; l < lines; ++l) {
                ReadStr(s);
                SkipU32s(s, 4);
                if (version > 123) ReadStr(s);
            }
            SkipU32s(s, 1);
        }
    }
    if (version > 123) ReadStr(s);
}

void SkipHistory(TKwBigStream& s, uint32_t version)
{
    if (version < 135) {
        SkipOneHistory(s, version);
        return;
    }
    uint32_t formats = ReadU32(s);
    CheckCount(s, formats, 4 + 24);
    for (uint32_t i = 0; i < formats; ++i) {
        ReadStr(s);
        SkipU32s(s, 6);
        SkipOneHistory(s, version);
    }
}

} // namespace

std::string UnusableSaveMessage()
{
    return Utf8ToCp932("このセーブデータは使用できません\r\n終了してください");
}

std::vector<uint8_t> WriteGameRecord(const std::string& caption, const std::string& resumePage,
                                     int32_t resumeIndex, const TGameParts& parts)
{
    TKwBigMemoryStream s;
    WriteU32(s, GameSaveVersion);
    WriteStr(s, caption);
    WriteStr(s, resumePage);
    WriteInt(s, resumeIndex);
    if (parts.Components)
        parts.Components->SaveToStream(s);
    else
        TRukoBaseList().SaveToStream(s);
    WriteHistory(s);
    parts.Calls->SaveToStream(s);
    parts.Variables->SaveVariables(s);
    if (parts.Tables)
        parts.Tables->SaveToStream(s, false);
    else
        TDBManager().SaveToStream(s, false);
    return s.TakeBytes();
}

TGameRecord ReadGameRecord(const std::vector<uint8_t>& bytes, const TGameParts& parts)
{
    TKwBigMemoryStream s(bytes);
    TGameRecord record;
    record.parts_ = parts;
    record.Version = ReadU32(s);
    if (record.Version < OldestGameSaveVersion)
        RaiseError(Utf8ToCp932(
            "セーブファイルの形式が古いため読めません\r\nsave.dat を削除してから実行してください"));
    if (record.Version > GameSaveVersion) RaiseDamaged();
    const int32_t version = static_cast<int32_t>(record.Version);
    record.Caption = ReadStr(s);
    record.ResumePage = ReadStr(s);
    record.ResumeIndex = ReadInt(s);
    record.components_ = TRukoBaseList::ReadFromStream(s, version);
    SkipHistory(s, record.Version);
    record.calls_ = std::make_unique<TCallMan::TLoadedState>(parts.Calls->ReadState(s, version));
    record.variables_ = parts.Variables->ReadVariables(s, version);
    if (record.Version >= 123) record.tables_ = TDBManager::ReadFromStream(s, false);
    // The resume page must be there before anything is replaced.
    if (!record.ResumePage.empty() && !parts.Calls->GetPage(record.ResumePage, false)) RaiseDamaged();
    return record;
}

TGameRecord::~TGameRecord()
{
    try {
        if (calls_ && parts_.Calls) parts_.Calls->AbandonState(*calls_);
    } catch (const ERukoError&) {
        // The state it gives back was written by the command itself a moment ago.
    }
}

void TGameRecord::Commit()
{
    // Names in the scenario state and the variables resolve against the components just taken.
    if (parts_.Components && components_) parts_.Components->Commit(*components_);
    if (calls_) parts_.Calls->CommitState(*calls_);
    if (variables_) parts_.Variables->CommitVariables(std::move(*variables_));
    if (tables_ && parts_.Tables) parts_.Tables->Commit(std::move(*tables_));
    if (!ResumePage.empty()) parts_.Calls->EnterResumePage(ResumePage, ResumeIndex > 0 ? ResumeIndex : 0);
    if (parts_.Components)
        for (TRukoObject* obj : std::vector<TRukoObject*>(parts_.Components->Items()))
            obj->RestoreAfterLoad();
}

} // namespace ruko
