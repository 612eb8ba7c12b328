// What one shifter event costs on the job's thread (a bound gear button
// pressed and released in an H-pattern car with auto neutral, each event
// writing the car's gear word) and what a frame of the GearGate page costs,
// each with its heap allocations.
#include <benchmark/benchmark.h>

#include <string>

#include "alloc_counter.h"
#include "shifter_rig.h"

namespace {

void BM_ShifterEvent(benchmark::State& state) {
    ShifterRig rig;
    const SDL_Event down = rig.Button(2, true);  // gear 3
    const SDL_Event up = rig.Button(2, false);
    rig.shifter->OnInputEvent(down);
    if (rig.Gear() != 4) state.SkipWithError("the gear button wrote no gear");
    rig.shifter->OnInputEvent(up);
    if (rig.Gear() != 1) state.SkipWithError("letting go gave no neutral");
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        rig.shifter->OnInputEvent(down);
        rig.shifter->OnInputEvent(up);
        allocations += AllocationCount() - before;
    }
    // Two events, each writing the gear word.
    state.SetItemsProcessed(int64_t(state.iterations()) * 2);
    state.counters["allocs/event"] = double(allocations) / double(state.iterations() * 2);
    state.counters["ns/event"] = benchmark::Counter(
        double(state.iterations() * 2), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ShifterEvent);

// A frame of the GearGate menu page with its status lines (the last input,
// the clutch and gear, the car's type and clutch and where they came from).
void BM_DrawGearGatePage(benchmark::State& state) {
    ShifterRig rig;
    rig.control->items[0]->SetValue("[3/4] GearGate");
    rig.control->selectedIndex = 5;
    if (rig.control->CurrentPage() != rig.shifter) state.SkipWithError("not the GearGate page");
    rig.MeasureFrames(state);
}
BENCHMARK(BM_DrawGearGatePage);

}  // namespace
