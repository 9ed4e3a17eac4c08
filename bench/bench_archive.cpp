// Archive reading speed: every member of a 64 MiB archive of compressed members read through the
// container, side by side with plain zlib inflating the same bytes; opening a 100,000-member
// directory and looking names up in it.
#include "archive/vrarchive.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <random>
#include <zlib.h>

namespace {

using namespace ruko;

// Text-like members of mixed sizes (16 KiB .. 4 MiB), compressed, up to 64 MiB of archive. Built
// once.
struct TMixedArchive
{
    std::shared_ptr<TMemoryRangeSource> source;
    std::vector<std::pair<int64_t, int64_t>> spans; // compressed member bytes in the archive
    std::vector<size_t> plainSizes;
    TVrFileCollection archive;

    TMixedArchive()
    {
        std::mt19937 random(7);
        TVrFileCollection building;
        int64_t packed = 0;
        for (int i = 0; packed < (int64_t{64} << 20); ++i) {
            size_t size = size_t{16} << 10 << (random() % 9); // 16 KiB .. 4 MiB
            std::vector<uint8_t> plain(size);
            for (size_t k = 0; k < size; ++k)
                plain[k] =
                    static_cast<uint8_t>(random() % 4 == 0 ? random() : "abcdefgh     \n"[random() % 14]);
            char name[32];
            std::snprintf(name, sizeof name, "data\\%05d.bin", i);
            building.AddMemoryFile(name).Data->Write(plain.data(), static_cast<int64_t>(plain.size()));
            packed += static_cast<int64_t>(DeflateMember(plain.data(), plain.size()).size());
        }
        TKwBigMemoryStream bytes;
        building.SaveToStream(bytes);
        source = std::make_shared<TMemoryRangeSource>(bytes.TakeBytes());
        archive.OpenSource(source, 0, "bench");
        for (int i = 0; i < archive.MemberCount(); ++i) {
            const TVrFile& file = archive.FileAt(i);
            spans.emplace_back(file.Offset, file.Size);
            plainSizes.push_back(building.FileAt(i).Data->Bytes().size());
        }
    }
};

TMixedArchive& Mixed()
{
    static TMixedArchive mixed;
    return mixed;
}

int64_t ReadAllThroughArchive(TMixedArchive& mixed)
{
    int64_t total = 0;
    for (int i = 0; i < mixed.archive.MemberCount(); ++i)
        total += static_cast<int64_t>(mixed.archive.ReadFileBytes(mixed.archive.FileAt(i)).size());
    return total;
}

int64_t InflateAllWithZlib(TMixedArchive& mixed)
{
    int64_t total = 0;
    const uint8_t* base = mixed.source->Bytes().data();
    for (size_t i = 0; i < mixed.spans.size(); ++i) {
        // The same work the archive does: a copy of the member's bytes, then one inflate.
        std::vector<uint8_t> packed(base + mixed.spans[i].first,
                                    base + mixed.spans[i].first + mixed.spans[i].second);
        std::vector<uint8_t> plain(mixed.plainSizes[i]);
        uLongf size = static_cast<uLongf>(plain.size());
        uncompress(plain.data(), &size, packed.data(), static_cast<uLong>(packed.size()));
        total += static_cast<int64_t>(size);
    }
    return total;
}

void BM_ArchiveReadEveryMember(benchmark::State& state)
{
    TMixedArchive& mixed = Mixed();
    int64_t bytes = 0;
    for (auto _ : state)
        bytes += ReadAllThroughArchive(mixed);
    state.SetBytesProcessed(bytes);
    state.counters["archive_MiB"] = static_cast<double>(mixed.source->SourceSize()) / (1 << 20);
}
BENCHMARK(BM_ArchiveReadEveryMember)->Unit(benchmark::kMillisecond);

void BM_ZlibInflateSameBytes(benchmark::State& state)
{
    TMixedArchive& mixed = Mixed();
    int64_t bytes = 0;
    for (auto _ : state)
        bytes += InflateAllWithZlib(mixed);
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ZlibInflateSameBytes)->Unit(benchmark::kMillisecond);

// Both in one run, alternating, with their ratio (target: archive ≤ 0.67 × zlib's time, that is at
// least 1.5 × its speed).
void BM_ArchiveOverZlibRatio(benchmark::State& state)
{
    TMixedArchive& mixed = Mixed();
    using Clock = std::chrono::steady_clock;
    double archiveSeconds = 0, zlibSeconds = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(ReadAllThroughArchive(mixed));
        auto t1 = Clock::now();
        benchmark::DoNotOptimize(InflateAllWithZlib(mixed));
        auto t2 = Clock::now();
        archiveSeconds += std::chrono::duration<double>(t1 - t0).count();
        zlibSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    double runs = static_cast<double>(state.iterations());
    state.counters["archive_ms"] = archiveSeconds * 1000 / runs;
    state.counters["zlib_ms"] = zlibSeconds * 1000 / runs;
    state.counters["ratio"] = archiveSeconds / zlibSeconds;
}
BENCHMARK(BM_ArchiveOverZlibRatio)->Unit(benchmark::kMillisecond)->Iterations(5);

// --- a directory of 100,000 members ----------------------------------------------------------------

constexpr int ManyMembers = 100000;

std::string MemberName(int i)
{
    char name[48];
    std::snprintf(name, sizeof name, "cg\\event\\EV%06d_%c.brm", i, 'a' + i % 26);
    return name;
}

const std::shared_ptr<TMemoryRangeSource>& ManyMemberArchive()
{
    static std::shared_ptr<TMemoryRangeSource> source = [] {
        TVrFileCollection building;
        for (int i = 0; i < ManyMembers; ++i)
            building.AddMemoryFile(MemberName(i));
        TKwBigMemoryStream bytes;
        building.SaveToStream(bytes);
        return std::make_shared<TMemoryRangeSource>(bytes.TakeBytes());
    }();
    return source;
}

void BM_OpenDirectory100k(benchmark::State& state)
{
    auto source = ManyMemberArchive();
    for (auto _ : state) {
        TVrFileCollection archive;
        archive.OpenSource(source, 0, "bench");
        benchmark::DoNotOptimize(archive.MemberCount());
    }
}
BENCHMARK(BM_OpenDirectory100k)->Unit(benchmark::kMillisecond);

// 100,000 lookups, half hits in another letter case, half misses.
void BM_Lookup100k(benchmark::State& state)
{
    TVrFileCollection archive;
    archive.OpenSource(ManyMemberArchive(), 0, "bench");
    std::vector<std::string> names;
    std::mt19937 random(3);
    for (int i = 0; i < ManyMembers; ++i) {
        std::string name = MemberName(static_cast<int>(random() % ManyMembers));
        if (i % 2)
            name.replace(name.size() - 4, 4, ".png"); // a miss
        else
            name[0] = 'C';
        names.push_back(std::move(name));
    }
    int64_t hits = 0;
    for (auto _ : state)
        for (const std::string& name : names)
            hits += archive.FindFile(name) != nullptr;
    state.counters["hits_per_run"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Lookup100k)->Unit(benchmark::kMillisecond);

} // namespace
