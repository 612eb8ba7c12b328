// What one shifter event costs on the job's thread (a bound gear button
// pressed and released in an H-pattern car with auto neutral, each event
// writing the car's gear word) and what a frame of the GearGate page costs,
// each with its heap allocations.
#include <benchmark/benchmark.h>

#include <string>

#include "alloc_counter.h"
#include "bench_game.h"
#include "core/host_locations.h"
#include "geargate/shifter_page.h"

namespace {
constexpr uint32_t kCarGear = 0x1100;

// GearGate on, every shifter row bound to a button of one virtual shifter,
// an H-pattern car needing no clutch, with auto neutral.
struct ShifterRig : BenchGame {
    ShifterRig()
        : BenchGame("[GearGate]\nEnabled = true\nAutoNeutral = true\nClutchRequired = 0\n", "Bench Shifter",
                    16) {
        car = arena.Allocate(0x2000);
        Host().carObject = car;
        shifter = control->shifterPage;
        for (int i = 0; i < shifter_rows::kCount; ++i)
            shifter->items[static_cast<size_t>(shifter->firstBindingIndex + i)]->SetValue(
                "#" + std::to_string(i) + " Bench Shifter");
        job.AddListener(shifter);
        StartJob();
        shifter->engine.driving = true;
        shifter->engine.ChangeState([&](GearState& s) {
            s.currentType = 1;
            s.clutchNeeded = 0;
        });
    }
    SDL_Event Button(int button, bool down) const {
        SDL_Event event{};
        event.type = down ? SDL_EVENT_JOYSTICK_BUTTON_DOWN : SDL_EVENT_JOYSTICK_BUTTON_UP;
        event.jbutton.which = pad;
        event.jbutton.button = static_cast<Uint8>(button);
        event.jbutton.down = down;
        return event;
    }
    int32_t Gear() const { return static_cast<int32_t>(arena.ReadU32(car + kCarGear)); }

    KVTShifter* shifter = nullptr;
    uint32_t car = 0;
};

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
