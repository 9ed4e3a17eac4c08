// Expression programs over a store of 5,000 variables, side by side with Lua 5.4 running the same
// computations on 5,000 globals; a title's loop (a While over Calc commands with a call) through
// the call manager beside the same loop in Lua; and the compiler's time per 100 characters.
#include "engine_fixture.h"

#include "base/text.h"
#include "params/buildparser.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <benchmark/benchmark.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

using namespace ruko;

namespace {

constexpr int StoreSize = 5000;

struct TWorkload
{
    const char* name;
    const char* ruko;
    const char* lua;
};

// Each pair computes the same thing; Lua's integer division and ".." stand for "/" and "++".
const TWorkload Workloads[] = {
    {"arithmetic", "x = (v10 + v2000) * 3 - v4999 / 7 + v1 % 5",
     "x = (v10 + v2000) * 3 - v4999 // 7 + v1 % 5"},
    {"comparison", "f = (v10 > v20) & (v30 <= v40) | (v50 <> v60)",
     "f = (v10 > v20) and (v30 <= v40) or (v50 ~= v60)"},
    {"concatenation", "s = s0 ++ \"abc\" ++ v12", "s = s0 .. \"abc\" .. v12"},
    {"elements", "x = grid[i, 3] + grid[i + 1, 2] * 2", "x = grid[i][4] + grid[i + 1][3] * 2"},
};

void FillStore(TParamCollection& store)
{
    for (int k = 0; k < StoreSize; ++k)
        store.AddVariable(ptInt, "v" + std::to_string(k)).Value->SetInt(k * 7 + 1);
    store.AddVariable(ptInt, "x");
    store.AddVariable(ptFlag, "f");
    store.AddVariable(ptStr, "s");
    store.AddVariable(ptStr, "s0").Value->SetStr("start");
    store.AddVariable(ptInt, "i").Value->SetInt(2);
    TCustomParam& grid = *store.AddVariable(ptInt, "grid").Value;
    grid.SetDims({10, 10});
    for (int k = 0; k < 100; ++k)
        grid.SetIntAt(k, k);
}

void FillLua(lua_State* L)
{
    for (int k = 0; k < StoreSize; ++k) {
        lua_pushinteger(L, k * 7 + 1);
        lua_setglobal(L, ("v" + std::to_string(k)).c_str());
    }
    lua_pushstring(L, "start");
    lua_setglobal(L, "s0");
    lua_pushinteger(L, 2);
    lua_setglobal(L, "i");
    lua_createtable(L, 10, 0);
    for (int r = 0; r < 10; ++r) {
        lua_createtable(L, 10, 0);
        for (int c = 0; c < 10; ++c) {
            lua_pushinteger(L, r * 10 + c);
            lua_rawseti(L, -2, c + 1);
        }
        lua_rawseti(L, -2, r);
    }
    lua_setglobal(L, "grid");
}

void BM_Ruko(benchmark::State& state, const TWorkload* work)
{
    TParamCollection store;
    FillStore(store);
    TRukoParser program;
    CompileText(work->ruko, program);
    if (!program.Execute(store)) {
        state.SkipWithError("program failed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(program.Execute(store));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(program.Steps.size()));
    state.counters["steps"] = static_cast<double>(program.Steps.size());
}

// The loop a title runs: commands through the call manager, a call with an argument and a result.
// Counted in iterations on both sides.
constexpr int LoopIterations = 100000;

void BM_RukoTitleLoop(benchmark::State& state)
{
    bench::TEngineFixture engine({
        {"main.rsb", "var int i = 0\nvar int x = 0\nvar int r = 0\nwhile i < " +
                         std::to_string(LoopIterations) +
                         "\n  calc x = x + i * 2\n  call sub.rsb(i) -> r\n  calc x = x - r\n"
                         "loop i = i + 1\n[yield] calc i = i\n"},
        {"sub.rsb", "calc @Result = IntToStr(StrToIntDef(@ParamStr[0], 0) % 7)\nexit\n"},
    });
    for (auto _ : state) {
        engine.calls->Start("main.rsb");
        engine.calls->Step();
        if (engine.Int("i") != LoopIterations) state.SkipWithError("the loop did not finish in one step");
    }
    state.SetItemsProcessed(state.iterations() * LoopIterations);
}

void BM_LuaTitleLoop(benchmark::State& state)
{
    std::unique_ptr<lua_State, decltype(&lua_close)> L(luaL_newstate(), lua_close);
    luaL_openlibs(L.get());
    // Globals as the store's variables are; the argument goes over as text as a call's does.
    const std::string chunk = "function sub(p) return tostring(math.tointeger(tonumber(p)) % 7) end\n"
                              "i = 0 x = 0 r = 0\n"
                              "while i < " +
                              std::to_string(LoopIterations) +
                              " do\n  x = x + i * 2\n  r = tonumber(sub(tostring(i)))\n  x = x - r\n"
                              "  i = i + 1\nend\n";
    if (luaL_loadstring(L.get(), chunk.c_str()) != LUA_OK) {
        state.SkipWithError(lua_tostring(L.get(), -1));
        return;
    }
    for (auto _ : state) {
        lua_pushvalue(L.get(), -1);
        if (lua_pcall(L.get(), 0, 0, 0) != LUA_OK) {
            state.SkipWithError(lua_tostring(L.get(), -1));
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * LoopIterations);
}

void BM_Lua(benchmark::State& state, const TWorkload* work)
{
    std::unique_ptr<lua_State, decltype(&lua_close)> L(luaL_newstate(), lua_close);
    luaL_openlibs(L.get());
    FillLua(L.get());
    if (luaL_loadstring(L.get(), work->lua) != LUA_OK) {
        state.SkipWithError(lua_tostring(L.get(), -1));
        return;
    }
    TRukoParser program;
    CompileText(work->ruko, program);
    for (auto _ : state) {
        lua_pushvalue(L.get(), -1);
        if (lua_pcall(L.get(), 0, 0, 0) != LUA_OK) {
            state.SkipWithError(lua_tostring(L.get(), -1));
            return;
        }
    }
    // Counted in our steps so the two rates compare the same work.
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(program.Steps.size()));
}

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Both sides in one benchmark, alternating in short rounds of thread time, so a shared machine's
// load falls on both alike; the ratio the table prints comes from here.
void BM_Alternating(benchmark::State& state, const TWorkload* work)
{
    TParamCollection store;
    FillStore(store);
    TRukoParser program;
    CompileText(work->ruko, program);
    std::unique_ptr<lua_State, decltype(&lua_close)> L(luaL_newstate(), lua_close);
    luaL_openlibs(L.get());
    FillLua(L.get());
    if (!program.Execute(store) || luaL_loadstring(L.get(), work->lua) != LUA_OK) {
        state.SkipWithError("workload failed");
        return;
    }
    constexpr int Round = 20000;
    double rukoSeconds = 0, luaSeconds = 0;
    for (auto _ : state) {
        double t0 = ThreadSeconds();
        for (int k = 0; k < Round; ++k)
            benchmark::DoNotOptimize(program.Execute(store));
        double t1 = ThreadSeconds();
        for (int k = 0; k < Round; ++k) {
            lua_pushvalue(L.get(), -1);
            lua_pcall(L.get(), 0, 0, 0);
        }
        rukoSeconds += t1 - t0;
        luaSeconds += ThreadSeconds() - t1;
    }
    double steps =
        static_cast<double>(state.iterations()) * Round * static_cast<double>(program.Steps.size());
    state.counters["ruko_steps_per_s"] = steps / rukoSeconds;
    state.counters["lua_same_per_s"] = steps / luaSeconds;
    state.counters["ratio"] = luaSeconds / rukoSeconds;
}

// A typical line of script text, about 100 characters.
const char* const CompileSample =
    "result = IntToStr(Max(score[i, 2] * 10, best + 1), 3) ++ \"点\" ++ (total - bonus) / 2 <> \"\" & flag";

void BM_CompilePer100Chars(benchmark::State& state)
{
    std::string text = Utf8ToCp932(CompileSample);
    for (auto _ : state) {
        TRukoParser program;
        CompileText(text, program);
        benchmark::DoNotOptimize(program.Steps.data());
    }
    state.counters["chars"] = static_cast<double>(text.size());
    state.counters["per100chars"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * text.size() / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Prints, after the table, both rates of each workload and their ratio.
class TRatioReporter : public benchmark::ConsoleReporter
{
  public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) rates_[run.benchmark_name()] = rate->second;
            auto ruko = run.counters.find("ruko_steps_per_s");
            auto lua = run.counters.find("lua_same_per_s");
            if (ruko != run.counters.end() && lua != run.counters.end()) {
                std::string name = run.benchmark_name().substr(run.benchmark_name().find('/') + 1);
                rates_["Ruko/" + name] = ruko->second;
                rates_["Lua/" + name] = lua->second;
            }
        }
    }
    // Workloads measured alternately (Alternating/...) replace their separate rates.
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-14s %16s %16s %8s\n", "workload", "ruko steps/s", "lua (same) /s", "ruko/lua");
        auto line = [&](const std::string& name, const std::string& ruko, const std::string& lua) {
            double r = rates_[ruko], l = rates_[lua];
            std::printf("%-14s %16.0f %16.0f %8.3f\n", name.c_str(), r, l, l > 0 ? r / l : 0.0);
        };
        for (const TWorkload& work : Workloads)
            line(work.name, std::string("Ruko/") + work.name, std::string("Lua/") + work.name);
        line("title loop", "RukoTitleLoop", "LuaTitleLoop"); // iterations/s
    }

  private:
    std::map<std::string, double> rates_;
};

} // namespace

int main(int argc, char** argv)
{
    for (const TWorkload& work : Workloads) {
        benchmark::RegisterBenchmark((std::string("Ruko/") + work.name).c_str(), BM_Ruko, &work);
        benchmark::RegisterBenchmark((std::string("Lua/") + work.name).c_str(), BM_Lua, &work);
    }
    for (const TWorkload& work : Workloads)
        benchmark::RegisterBenchmark((std::string("Alternating/") + work.name).c_str(), BM_Alternating, &work)
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("RukoTitleLoop", BM_RukoTitleLoop)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LuaTitleLoop", BM_LuaTitleLoop)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("CompilePer100Chars", BM_CompilePer100Chars);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
