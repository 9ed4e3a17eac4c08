// Save file speed: one 200 KB game slot written into a file of 100 such slots (the other 99
// copied as they are stored), beside the floor of writing the same bytes plainly, renaming them
// over the file; each with and without flushing to the disk. Listing the captions of the 100
// slots and reading one slot back.
#include "base/fileio.h"
#include "engine/savedata.h"
#include "engine/savefile.h"
#include "io/bigstream.h"
#include "io/fields.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace {

using namespace ruko;
namespace fs = std::filesystem;

constexpr int SlotCount = 100;
constexpr size_t SlotSize = 200 * 1000;

// A game record of SlotSize bytes: a head, then bytes that pack about as a real record does.
std::vector<uint8_t> SlotRecord(int slot, std::mt19937& random)
{
    TKwBigMemoryStream s;
    WriteU32(s, GameSaveVersion);
    WriteStr(s, "slot " + std::to_string(slot));
    WriteStr(s, "main.rsb");
    WriteU32(s, 0);
    std::vector<uint8_t> bytes = s.TakeBytes();
    while (bytes.size() < SlotSize)
        bytes.push_back(static_cast<uint8_t>(random() % 3 == 0 ? random() : "\0\0\0\x01name"[random() % 8]));
    return bytes;
}

struct TSaveFolder
{
    fs::path folder;
    std::unique_ptr<TSaveFile> file;
    std::vector<uint8_t> slot;

    TSaveFolder()
    {
        folder = fs::temp_directory_path() / ("bench-saves-" + std::to_string(getpid()));
        fs::remove_all(folder);
        file = std::make_unique<TSaveFile>((folder / "save.dat").string());
        std::mt19937 random(11);
        file->Update([&](TVrFileCollection& archive) {
            for (int i = 0; i < SlotCount; ++i)
                ReplaceMember(archive, SlotMemberName(i), SlotRecord(i, random));
        });
        slot = SlotRecord(SlotCount / 2, random);
    }
    ~TSaveFolder() { fs::remove_all(folder); }
};

TSaveFolder& Folder()
{
    static TSaveFolder folder;
    return folder;
}

void BM_SaveSlot(benchmark::State& state)
{
    TSaveFolder& f = Folder();
    f.file->Durable = state.range(0) != 0;
    for (auto _ : state)
        f.file->Update([&](TVrFileCollection& archive) {
            ReplaceMember(archive, SlotMemberName(SlotCount / 2), f.slot);
        });
    f.file->Durable = true;
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(f.file->Path())));
}
BENCHMARK(BM_SaveSlot)->ArgName("fsync")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The floor: the same file's bytes written plainly beside it and renamed over it.
void BM_SaveSlot_plain_write_rename(benchmark::State& state)
{
    TSaveFolder& f = Folder();
    std::string bytes;
    ReadHostFile(f.file->Path(), bytes);
    std::string copy = (f.folder / "copy.dat").string();
    for (auto _ : state) {
        std::string temporary = TemporaryNameBeside(copy);
        THostFile out = THostFile::Open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0644);
        out.WriteAll(bytes);
        if (state.range(0)) out.Sync();
        out.Close();
        RenameOver(temporary, copy, state.range(0) != 0);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SaveSlot_plain_write_rename)->ArgName("fsync")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OpenAndListCaptions(benchmark::State& state)
{
    TSaveFolder& f = Folder();
    for (auto _ : state) {
        std::unique_ptr<TVrFileCollection> archive = f.file->Open();
        benchmark::DoNotOptimize(ReadSlotCaptions(*archive));
    }
}
BENCHMARK(BM_OpenAndListCaptions)->Unit(benchmark::kMillisecond);

void BM_ReadOneSlot(benchmark::State& state)
{
    TSaveFolder& f = Folder();
    for (auto _ : state) {
        std::unique_ptr<TVrFileCollection> archive = f.file->Open();
        benchmark::DoNotOptimize(archive->ReadFileBytes(*archive->FindFile(SlotMemberName(7))));
    }
}
BENCHMARK(BM_ReadOneSlot)->Unit(benchmark::kMillisecond);

} // namespace
