// The scenario engine's speed: commands per second of a While loop of Calc, loading a page of
// 10,000 commands, and calls round-robin over 40 pages (more than the 30-page cache holds).
#include <benchmark/benchmark.h>

#include "engine_fixture.h"

using namespace ruko;
using namespace ruko::bench;

namespace {

void BM_WhileLoopOfCalc(benchmark::State& state)
{
    const int64_t iterations = state.range(0);
    TEngineFixture engine(
        {{"main.rsb", "var int i = 0\nvar int x = 0\nwhile i < " + std::to_string(iterations) +
                          "\n  calc x = x + 2\nloop i = i + 1\n[yield] calc i = i\n"}});
    for (auto _ : state) {
        engine.calls->Start("main.rsb");
        engine.calls->Step();
        if (engine.Int("x") != 2 * iterations) state.SkipWithError("the loop did not finish in one step");
    }
    // While, Calc and the loop step per iteration.
    state.SetItemsProcessed(state.iterations() * iterations * 3);
    state.SetLabel("items = commands");
}
BENCHMARK(BM_WhileLoopOfCalc)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_LoadPageOf10000Commands(benchmark::State& state)
{
    std::string source = "var int a = 0\n";
    for (int i = 1; i < 10000; ++i)
        source += i % 3 == 0   ? "if a > " + std::to_string(i) + "\n  calc a = a + 1\n"
                  : i % 3 == 1 ? "calc a = a * 2 + " + std::to_string(i) + "\n"
                               : "call p.rsb(\"text\", a) -> a if a < 5\n";
    const std::vector<uint8_t> bytes = CompilePages({{"main.rsb", source}, {"p.rsb", ""}}).at("main.rsb");
    for (auto _ : state) {
        TPage page;
        page.LoadFromBytes("main.rsb", bytes);
        benchmark::DoNotOptimize(page.Commands.Count());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadPageOf10000Commands)->Unit(benchmark::kMillisecond);

void BM_CallsRoundRobinOver40Pages(benchmark::State& state)
{
    std::map<std::string, std::string> sources;
    std::string main = "var int n = 0\n";
    for (int i = 0; i < 40; ++i) {
        const std::string name = "p" + std::to_string(i) + ".rsb";
        std::string body;
        for (int k = 0; k < 50; ++k)
            body += "calc n = n + 1\n";
        sources[name] = body;
        main += "call " + name + "\n";
    }
    sources["main.rsb"] = main + "[yield] calc n = n\n";
    TEngineFixture engine(sources);
    for (auto _ : state) {
        engine.calls->Start("main.rsb");
        engine.calls->Step();
    }
    state.SetItemsProcessed(state.iterations() * 40);
    state.SetLabel("items = calls");
}
BENCHMARK(BM_CallsRoundRobinOver40Pages)->Unit(benchmark::kMicrosecond);

} // namespace
