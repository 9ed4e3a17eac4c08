#include "engine/savedata.h"
#include "engine/savefile.h"

#include "base/error.h"
#include "base/fileio.h"
#include "io/bigstream.h"
#include "io/fields.h"
#include "params/param.h"
#include "params/paramcollection.h"
#include "records/dbmanager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace ruko;

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A game record head: version, caption, resume page and index, then a body.
std::vector<uint8_t> SlotRecord(uint32_t version, const std::string& caption, size_t body = 0)
{
    TKwBigMemoryStream s;
    WriteU32(s, version);
    WriteStr(s, caption);
    WriteStr(s, "main.rsb");
    WriteU32(s, 0);
    std::vector<uint8_t> filler(body, 'x');
    WriteExact(s, filler.data(), static_cast<int64_t>(filler.size()));
    return s.TakeBytes();
}

class SaveFileTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        folder_ = fs::path(testing::TempDir()) / ("savefile-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        file_ = std::make_unique<TSaveFile>((folder_ / "saves" / "save.dat").string());
        file_->Notice = [this](const std::string& message) { notices_.push_back(message); };
    }
    void TearDown() override { fs::remove_all(folder_); }

    bool Put(const std::string& name, const std::string& content)
    {
        return file_->Update(
            [&](TVrFileCollection& archive) { ReplaceMember(archive, name, Bytes(content)); });
    }
    std::string Member(const std::string& name)
    {
        std::unique_ptr<TVrFileCollection> archive = file_->Open();
        const TVrFile* member = archive->FindFile(name);
        return member ? Text(archive->ReadFileBytes(*member)) : std::string("<none>");
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_ / "saves"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Spoil(const std::string& path) const { ASSERT_TRUE(WriteHostFileAtomic(path, "no archive here")); }

    fs::path folder_;
    std::unique_ptr<TSaveFile> file_;
    std::vector<std::string> notices_;
};

} // namespace

TEST_F(SaveFileTest, UpdatesMakeTheFolderKeepTheOtherMembersAndTheFileBeforeAsBackup)
{
    EXPECT_TRUE(file_->Open()->MemberCount() == 0);
    EXPECT_FALSE(fs::exists(folder_ / "saves")); // reading makes nothing
    ASSERT_TRUE(Put("save:a.txt", "one"));
    ASSERT_TRUE(Put("STATUSSAVEDATA", "status"));
    ASSERT_TRUE(Put("SAVE:A.TXT", "two")); // the same file whatever the case; the new spelling stays

    std::unique_ptr<TVrFileCollection> archive = file_->Open();
    ASSERT_EQ(archive->MemberCount(), 2);
    EXPECT_EQ(archive->FileAt(0).Name(), "STATUSSAVEDATA");
    EXPECT_EQ(archive->FileAt(1).Name(), "SAVE:A.TXT");
    EXPECT_EQ(Member("save:a.txt"), "two");
    EXPECT_EQ(Member("STATUSSAVEDATA"), "status");

    TVrFileCollection backup;
    backup.Open(file_->BackupPath());
    ASSERT_NE(backup.FindFile("save:a.txt"), nullptr);
    EXPECT_EQ(Text(backup.ReadFileBytes(*backup.FindFile("save:a.txt"))), "one");
    EXPECT_EQ(Names(), (std::vector<std::string>{"save.dat", "save.dat.bak", "save.dat.lock"}));
    EXPECT_TRUE(notices_.empty());
}

TEST_F(SaveFileTest, MembersNotReplacedAreCopiedAsStoredNeverPackedAgain)
{
    // A member whose checksum covers its plain bytes, as another writer may have left it: packing
    // it again would give it a checksum of the packed bytes.
    ASSERT_TRUE(Put("GAMESAVEDATA1", "slot one"));
    {
        TVrFileCollection archive;
        archive.Open(file_->Path());
        archive.Folder.clear();
        archive.CopyOwnMembersRaw = true;
        TVrFile& kept = archive.AddMemoryFile("save:kept.txt");
        kept.Data = std::make_unique<TKwBigMemoryStream>(Bytes("kept bytes"));
        kept.ChecksumOfPlain = true;
        TKwBigMemoryStream whole;
        archive.SaveToStream(whole);
        ASSERT_TRUE(WriteHostFileAtomic(file_->Path(), Text(whole.Bytes())));
    }
    auto snapshot = [&] {
        std::unique_ptr<TVrFileCollection> archive = file_->Open();
        const TVrFile& f = *archive->FindFile("save:kept.txt");
        return std::make_tuple(f.Stored, f.Size, f.Checksum, f.ChecksumOfPlain, f.Time,
                               Text(archive->ReadFileBytes(f)));
    };
    auto before = snapshot();
    ASSERT_TRUE(std::get<3>(before));
    ASSERT_TRUE(Put("GAMESAVEDATA2", "slot two"));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(Member("GAMESAVEDATA1"), "slot one");
}

TEST_F(SaveFileTest, ADamagedFileIsKeptAsideAndTheBackupTakesItsPlace)
{
    ASSERT_TRUE(Put("save:a.txt", "one"));
    ASSERT_TRUE(Put("save:a.txt", "two"));
    Spoil(file_->Path());

    EXPECT_EQ(Member("save:a.txt"), "one");
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0],
              "save.dat is damaged and was kept as save.dat.damaged; the backup save.dat.bak is used");
    std::string damaged;
    ASSERT_TRUE(ReadHostFile(file_->DamagedPath(), damaged));
    EXPECT_EQ(damaged, "no archive here");
    // The restored file goes on as the current one.
    ASSERT_TRUE(Put("save:b.txt", "three"));
    EXPECT_EQ(Member("save:a.txt"), "one");
    EXPECT_EQ(Member("save:b.txt"), "three");
}

TEST_F(SaveFileTest, WithTheBackupDamagedTooTheSavesStartEmpty)
{
    ASSERT_TRUE(Put("save:a.txt", "one"));
    ASSERT_TRUE(Put("save:a.txt", "two"));
    Spoil(file_->Path());
    Spoil(file_->BackupPath());
    EXPECT_EQ(file_->Open()->MemberCount(), 0);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0], "save.dat is damaged and was kept as save.dat.damaged; the saves start empty");
    ASSERT_TRUE(Put("save:b.txt", "three"));
    EXPECT_EQ(Member("save:b.txt"), "three");
}

TEST_F(SaveFileTest, AFileBesideItNamedLikeAnArchiveDirectoryIsNotItsDirectory)
{
    // Game archives may keep their directory in "NAME.ext"; the save file never does, so such a
    // file must neither be read as its directory nor get the saves put aside as damaged.
    ASSERT_TRUE(Put("GAMESAVEDATA1", "slot one"));
    Spoil((folder_ / "saves" / "save.ext").string());
    EXPECT_EQ(Member("GAMESAVEDATA1"), "slot one");
    ASSERT_TRUE(Put("GAMESAVEDATA2", "slot two"));
    EXPECT_EQ(Member("GAMESAVEDATA1"), "slot one");
    EXPECT_EQ(Member("GAMESAVEDATA2"), "slot two");
    EXPECT_TRUE(notices_.empty());
    EXPECT_FALSE(fs::exists(file_->DamagedPath()));
}

TEST_F(SaveFileTest, AWriterKilledAfterMakingTheBackupLeavesNoLinkBehindTheNext)
{
    ASSERT_TRUE(Put("save:a.txt", "one"));
    // Killed between the backup link and the rename: both names are the current file.
    fs::remove(file_->BackupPath());
    fs::create_hard_link(file_->Path(), file_->BackupPath());
    ASSERT_TRUE(Put("save:a.txt", "two"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"save.dat", "save.dat.bak", "save.dat.lock"}));
    EXPECT_EQ(Member("save:a.txt"), "two");
}

TEST_F(SaveFileTest, StaleTemporariesGoAndOtherFilesStay)
{
    ASSERT_TRUE(Put("save:a.txt", "one"));
    const fs::path saves = folder_ / "saves";
    for (const char* name : {"~0123456789ab-save.dat", "~00000000ffff-save.dat.bak",
                             "~0123456789ab-other.dat", "~nothex000000-save.dat", "notes.txt"})
        ASSERT_TRUE(WriteHostFileAtomic((saves / name).string(), "x"));
    file_->RemoveStaleTemporaries();
    EXPECT_EQ(Names(), (std::vector<std::string>{"notes.txt", "save.dat", "save.dat.lock",
                                                 "~0123456789ab-other.dat", "~nothex000000-save.dat"}));
}

TEST_F(SaveFileTest, AnOldFileBesideTheTitleIsTakenOnceWhileThereIsNone)
{
    ASSERT_TRUE(Put("save:a.txt", "one"));
    TSaveFile other((folder_ / "user" / "save.dat").string());
    EXPECT_TRUE(other.ImportOnce(file_->Path()));
    ASSERT_TRUE(Put("save:a.txt", "two"));
    EXPECT_FALSE(other.ImportOnce(file_->Path()));
    std::unique_ptr<TVrFileCollection> archive = other.Open();
    EXPECT_EQ(Text(archive->ReadFileBytes(*archive->FindFile("save:a.txt"))), "one");
    EXPECT_FALSE(TSaveFile((folder_ / "x" / "save.dat").string()).ImportOnce((folder_ / "none").string()));
}

TEST(SaveSlots, OnlyCanonicalSlotNumbersAreSlots)
{
    const struct
    {
        const char* name;
        std::optional<int32_t> slot;
    } cases[] = {
        {"GAMESAVEDATA0", 0},
        {"GAMESAVEDATA17", 17},
        {"GAMESAVEDATA2147483647", 2147483647},
        {"GAMESAVEDATA007", std::nullopt},
        {"GAMESAVEDATA-1", std::nullopt},
        {"GAMESAVEDATA+1", std::nullopt},
        {"GAMESAVEDATA", std::nullopt},
        {"GAMESAVEDATA1x", std::nullopt},
        {"GAMESAVEDATA2147483648", std::nullopt},
        {"gamesavedata1", std::nullopt},
        {"GAMESAVEDATA 1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SlotOfMemberName(c.name), c.slot) << c.name;
    EXPECT_EQ(SlotMemberName(3), "GAMESAVEDATA3");
}

TEST(SaveSlots, CaptionsComeFromTheHeadsOfReadableRecords)
{
    TVrFileCollection built;
    auto add = [&](const std::string& name, std::vector<uint8_t> bytes) {
        built.AddMemoryFile(name).Data = std::make_unique<TKwBigMemoryStream>(std::move(bytes));
    };
    add("GAMESAVEDATA2", SlotRecord(144, "second", 100000)); // compressed: only the head is inflated
    add("GAMESAVEDATA007", SlotRecord(144, "not a slot"));
    add("GAMESAVEDATA1", SlotRecord(144, "first"));
    add("GAMESAVEDATA5", {144, 0, 0, 0, 16, 0, 0, 0, 's', 'h', 'o', 'r', 't'}); // caption past the end
    add("GAMESAVEDATA6", SlotRecord(120, ""));
    std::vector<uint8_t> large = SlotRecord(144, "large", MaxCompressedMember + 1); // stored as is
    add("GAMESAVEDATA9", std::move(large));
    TKwBigMemoryStream whole;
    built.SaveToStream(whole);

    TVrFileCollection archive;
    archive.OpenSource(std::make_shared<TMemoryRangeSource>(whole.TakeBytes()), 0, "save.dat");
    std::map<int32_t, std::string> captions = ReadSlotCaptions(archive);
    EXPECT_EQ(captions, (std::map<int32_t, std::string>{{1, "first"}, {2, "second"}, {6, ""}, {9, "large"}}));
}

namespace {

class StatusRecordTest : public testing::Test
{
  protected:
    void Fill()
    {
        store_.AddVariable(ptInt, "kept").Persistent = 1;
        store_.Find("kept")->Value->SetInt(42);
        store_.AddVariable(ptInt, "game").Value->SetInt(7);
        tables_.CreateTable("scores", true);
        tables_.ActiveTable()->Fields.AddField("points", ftInt, 0);
        tables_.CreateTable("scratch", false);
    }

    TParamCollection store_;
    TDBManager tables_;
};

} // namespace

TEST_F(StatusRecordTest, PersistentPartsComeBackTogether)
{
    Fill();
    std::vector<uint8_t> record = WriteStatusRecord(store_, &tables_, true);
    EXPECT_EQ(Text(std::vector<uint8_t>(record.begin(), record.begin() + 9)), "Status103");

    TParamCollection store;
    TDBManager tables;
    TStatusRecord read = ReadStatusRecord(record, store);
    EXPECT_EQ(read.Version, 103);
    EXPECT_EQ(store.Find("kept"), nullptr); // nothing changes before the commit
    CommitStatusRecord(std::move(read), store, &tables, nullptr);
    ASSERT_NE(store.Find("kept"), nullptr);
    EXPECT_EQ(store.Find("kept")->Value->GetInt(), 42);
    EXPECT_EQ(store.Find("game"), nullptr);
    ASSERT_EQ(tables.TableCount(), 1);
    EXPECT_EQ(tables.Table(0).Name, "scores");
    EXPECT_EQ(tables.Table(0).Persistent, 1);
}

TEST_F(StatusRecordTest, OlderVersionsReadTheirOwnParts)
{
    Fill();
    std::vector<uint8_t> full = WriteStatusRecord(store_, &tables_, true);
    // The same record as versions 101 (no tables), 100 (no dithering byte) and 0 (no header).
    TKwBigMemoryStream tail;
    store_.SavePersistent(tail);
    WriteInt(tail, 0);
    std::vector<uint8_t> variables = tail.TakeBytes();
    auto with = [&](const std::string& header, std::vector<uint8_t> body, std::vector<uint8_t> extra) {
        std::vector<uint8_t> bytes = Bytes(header);
        bytes.insert(bytes.end(), body.begin(), body.end());
        bytes.insert(bytes.end(), extra.begin(), extra.end());
        return bytes;
    };
    const struct
    {
        std::vector<uint8_t> bytes;
        int32_t version;
        bool dither, tables;
    } cases[] = {
        {full, 103, true, true},
        {with("Status101", variables, {1}), 101, true, false},
        {with("Status100", variables, {}), 100, false, false},
        {with("", variables, {}), 0, false, false},
        {with("StatusX01", variables, {}), 0, false, false},
    };
    for (const auto& c : cases) {
        TParamCollection store;
        TStatusRecord read = ReadStatusRecord(c.bytes, store);
        EXPECT_EQ(read.Version, c.version);
        EXPECT_EQ(read.Dither.has_value(), c.dither) << c.version;
        EXPECT_EQ(read.Tables.has_value(), c.tables) << c.version;
        CommitStatusRecord(std::move(read), store, nullptr, nullptr);
        ASSERT_NE(store.Find("kept"), nullptr) << c.version;
        EXPECT_EQ(store.Find("kept")->Value->GetInt(), 42);
    }
}

TEST_F(StatusRecordTest, ADamagedRecordChangesNothing)
{
    Fill();
    std::vector<uint8_t> record = WriteStatusRecord(store_, &tables_, false);
    TParamCollection store;
    for (size_t cut : {size_t{5}, size_t{20}, record.size() - 3}) {
        std::vector<uint8_t> shortened(record.begin(), record.begin() + static_cast<ptrdiff_t>(cut));
        EXPECT_THROW(ReadStatusRecord(shortened, store), ERukoError) << cut;
    }
    // Read marks that claim more than the record holds.
    TKwBigMemoryStream s;
    WriteExact(s, "Status103", 9);
    store_.SavePersistent(s);
    WriteInt(s, 1000);
    EXPECT_THROW(ReadStatusRecord(s.TakeBytes(), store), ERukoError);
    EXPECT_EQ(store.Find("kept"), nullptr);
}
