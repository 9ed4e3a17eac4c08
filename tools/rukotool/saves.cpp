// rukotool saves: what a save file holds (the status, each game slot, the "save:" files), and
// with --title whether the player can read every record of it.
#include "command.h"

#include "archive/vrarchive.h"
#include "base/error.h"
#include "base/text.h"
#include "engine/dumpvars.h"
#include "engine/savedata.h"
#include "engine/savefile.h"
#include "io/bigstream.h"
#include "io/fields.h"
#include "params/paramcollection.h"
#include "records/dbmanager.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace ruko::tool {

namespace {

struct TSlotSummary
{
    int32_t Slot = 0;
    uint32_t Version = 0;
    std::string Caption, ResumePage;
    uint32_t ResumeIndex = 0;
    int64_t Size = 0;
};

struct TSaveSummary
{
    std::optional<int32_t> StatusVersion;
    int64_t StatusSize = 0;
    std::vector<TSlotSummary> Slots;
    std::vector<std::pair<std::string, int64_t>> Files;
};

[[noreturn]] void Damaged(const std::string& member, const std::string& why)
{
    RaiseError(member + ": " + Utf8ToCp932(why));
}

int32_t StatusVersionOf(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 9 || std::string(bytes.begin(), bytes.begin() + 6) != "Status") return 0;
    int32_t version = 0;
    for (size_t i = 6; i < 9; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') return 0;
        version = version * 10 + (bytes[i] - '0');
    }
    return version;
}

// Reads the whole save file; with `check` every record is parsed as the player reads it and
// the first member that fails is named in the error.
TSaveSummary ReadSaveFile(const std::string& path, bool check)
{
    std::unique_ptr<TVrFileCollection> opened = OpenSaveArchive(path);
    TVrFileCollection& archive = *opened;
    if (!archive.HasData())
        RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), path.c_str()));
    TSaveSummary summary;
    for (int i = 0; i < archive.MemberCount(); ++i) {
        const TVrFile& member = archive.FileAt(i);
        const std::string& name = member.Name();
        std::vector<uint8_t> bytes;
        try {
            bytes = archive.ReadFileBytes(member);
        } catch (const ERukoError& error) {
            Damaged(name, Cp932ToUtf8(error.what()));
        }
        if (check && !archive.ChecksumMatches(member)) Damaged(name, "the checksum does not match");
        if (SameText(name, StatusMemberName)) {
            summary.StatusVersion = StatusVersionOf(bytes);
            summary.StatusSize = static_cast<int64_t>(bytes.size());
            if (check) {
                TParamCollection store;
                try {
                    ReadStatusRecord(bytes, store);
                } catch (const ERukoError& error) {
                    Damaged(name, Cp932ToUtf8(error.what()));
                }
            }
        } else if (std::optional<int32_t> slot = SlotOfMemberName(name)) {
            TSlotSummary s;
            s.Slot = *slot;
            s.Size = static_cast<int64_t>(bytes.size());
            try {
                TKwBigMemoryStream in(bytes);
                s.Version = ReadU32(in);
                s.Caption = ReadStr(in);
                s.ResumePage = ReadStr(in);
                s.ResumeIndex = ReadU32(in);
            } catch (const ERukoError& error) {
                Damaged(name, Cp932ToUtf8(error.what()));
            }
            if (check && (s.Version < OldestGameSaveVersion || s.Version > GameSaveVersion))
                Damaged(name, "record version " + std::to_string(s.Version) + " cannot be loaded");
            summary.Slots.push_back(std::move(s));
        } else if (name.size() >= 5 && SameText(std::string_view(name).substr(0, 5), "save:")) {
            summary.Files.emplace_back(name, static_cast<int64_t>(bytes.size()));
        }
    }
    std::stable_sort(summary.Slots.begin(), summary.Slots.end(),
                     [](const TSlotSummary& a, const TSlotSummary& b) { return a.Slot < b.Slot; });
    return summary;
}

void PrintText(const TSaveSummary& summary)
{
    if (summary.StatusVersion)
        std::printf("status: version %d, %lld bytes\n", *summary.StatusVersion,
                    static_cast<long long>(summary.StatusSize));
    else
        std::printf("status: none\n");
    for (const TSlotSummary& s : summary.Slots)
        std::printf("slot %d: version %u, \"%s\", resume %s:%u, %lld bytes\n", s.Slot, s.Version,
                    Cp932ToUtf8(s.Caption).c_str(), Cp932ToUtf8(s.ResumePage).c_str(), s.ResumeIndex,
                    static_cast<long long>(s.Size));
    for (const auto& [name, size] : summary.Files)
        std::printf("%s: %lld bytes\n", Cp932ToUtf8(name).c_str(), static_cast<long long>(size));
}

void PrintJson(const TSaveSummary& summary)
{
    std::printf("{\n  \"status\": ");
    if (summary.StatusVersion)
        std::printf("{\"version\": %d, \"size\": %lld}", *summary.StatusVersion,
                    static_cast<long long>(summary.StatusSize));
    else
        std::printf("null");
    std::printf(",\n  \"slots\": [");
    for (size_t i = 0; i < summary.Slots.size(); ++i) {
        const TSlotSummary& s = summary.Slots[i];
        std::printf("%s\n    {\"slot\": %d, \"version\": %u, \"caption\": %s, \"resume\": %s, \"index\": %u, "
                    "\"size\": %lld}",
                    i ? "," : "", s.Slot, s.Version, JsonString(s.Caption).c_str(),
                    JsonString(s.ResumePage).c_str(), s.ResumeIndex, static_cast<long long>(s.Size));
    }
    std::printf("%s],\n  \"files\": [", summary.Slots.empty() ? "" : "\n  ");
    for (size_t i = 0; i < summary.Files.size(); ++i)
        std::printf("%s\n    {\"name\": %s, \"size\": %lld}", i ? "," : "",
                    JsonString(summary.Files[i].first).c_str(),
                    static_cast<long long>(summary.Files[i].second));
    std::printf("%s]\n}\n", summary.Files.empty() ? "" : "\n  ");
}

int Saves(const std::vector<std::string>& args)
{
    std::string path, title;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--title") {
            if (i + 1 >= args.size()) throw EUsage{"--title needs the title's folder"};
            title = args[++i];
        } else if (path.empty() && args[i].rfind("--", 0) != 0) {
            path = args[i];
        } else {
            throw EUsage{"unexpected argument '" + args[i] + "'"};
        }
    }
    if (path.empty()) throw EUsage{"the save file is missing"};
    TSaveSummary summary = ReadSaveFile(path, !title.empty());
    if (json)
        PrintJson(summary);
    else
        PrintText(summary);
    return 0;
}

const TToolCommandRegistrar savesCommand(
    {"saves", "saves SAVE.dat [--title DIR] [--json]",
     "list the status, game slots and \"save:\" files; --title: check every record loads", Saves});

} // namespace

} // namespace ruko::tool
