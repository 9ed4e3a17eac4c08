// Component list costs: a full headless frame (input, update, paint) with 200 overlapping boxes
// at 1280x720 and 1, 20 or 100 separate dirty areas; GetProp/SetProp by name; automatic names.
#include "components/baselist.h"
#include "components/box.h"
#include "params/param.h"

#include <benchmark/benchmark.h>

namespace ruko {
namespace {

constexpr int32_t ScreenWidth = 1280;
constexpr int32_t ScreenHeight = 720;

std::vector<TRukoBox*> FillWithBoxes(TRukoBaseList& list, int count)
{
    std::vector<TRukoBox*> boxes;
    boxes.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        auto* box = static_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
        box->SetBounds((i * 37) % (ScreenWidth - 200), (i * 53) % (ScreenHeight - 150), 200, 150);
        box->SetColor(0x010203 * (i % 80));
        box->SetAlpha(i % 3 == 0 ? 128 : 255);
        box->OnMouseMove = "move";
        boxes.push_back(box);
    }
    return boxes;
}

void BM_HeadlessFrame(benchmark::State& state)
{
    const int dirtyAreas = static_cast<int>(state.range(0));
    TRukoBaseList list;
    list.SetSize(ScreenWidth, ScreenHeight);
    FillWithBoxes(list, 200);
    list.Paint();
    list.TakeDirty();
    // Small markers on a grid far enough apart that their areas never merge.
    std::vector<TRukoBox*> markers;
    for (int i = 0; i < dirtyAreas; ++i) {
        auto* marker = static_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
        marker->SetPriority(1000);
        marker->SetBounds(10 + (i % 10) * 120, 10 + (i / 10) * 70, 16, 16);
        marker->SetColor(0xFFFFFF);
        markers.push_back(marker);
    }
    int frame = 0;
    for (auto _ : state) {
        ++frame;
        for (TRukoBox* marker : markers)
            marker->SetColor(frame & 1 ? 0xFFFFFF : 0x00FF00);
        list.MouseMoveTo(frame % ScreenWidth, 300);
        list.InputStep(15);
        list.Step();
        list.Paint();
        benchmark::DoNotOptimize(list.TakeDirty());
    }
}
BENCHMARK(BM_HeadlessFrame)->Arg(1)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_PropertiesByName(benchmark::State& state)
{
    TRukoBaseList list;
    list.SetSize(ScreenWidth, ScreenHeight);
    FillWithBoxes(list, 200);
    auto value = CreateParamByType(ptInt);
    for (auto _ : state) {
        // One frame's worth: 10,000 reads and writes by name.
        for (int i = 0; i < 5000; ++i) {
            const std::string name = "object" + std::to_string(i % 200);
            TRukoObject* obj = list.FindComponent(name);
            obj->GetProperty(PR_LEFT, *value);
            value->SetInt(value->GetInt() ^ 1);
            list.FindComponent(name)->SetProperty(PR_LEFT, *value);
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_PropertiesByName)->Unit(benchmark::kMillisecond);

void BM_CreateAutoNamed(benchmark::State& state)
{
    for (auto _ : state) {
        TRukoBaseList list;
        for (int i = 0; i < 2000; ++i)
            list.CreateComponent(LT_BOX);
        benchmark::DoNotOptimize(list.Items().size());
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_CreateAutoNamed)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace ruko
