// What the RurAzu pages cost the game: the per-pass tick of the three pages
// with every action bound and a few held (bars moving, one key repeating),
// the drawing of a full RurAzu menu page and of the pages' status line, each
// with its heap allocations.
#include <benchmark/benchmark.h>

#include <span>
#include <string>

#include "alloc_counter.h"
#include "bench_game.h"
#include "core/setting_id.h"
#include "geargate/shifter_page.h"
#include "input/input_status.h"
#include "platform/sim/sim_messages.h"
#include "rurazu/rurazu_pages.h"

namespace {

// Every RurAzu action bound to a button of one wheel.
struct RurAzuRig : BenchGame {
    RurAzuRig() : BenchGame("[RurAzu]\nEnabled = true\n", "Bench Wheel", 64) {
        int button = 0;
        for (int p = 0; p < 3; ++p) {
            auto* page = dynamic_cast<KVTRurazuBase*>(control->children[p]);
            pages[p] = page;
            for (int32_t i = page->firstAction; i <= page->lastAction; ++i) {
                MenuItem* item = page->items[static_cast<size_t>(i)];
                item->SetValue("#" + std::to_string(button++) + " Bench Wheel");
                item->delayMark = 0;
                item->contextMark = 0;
            }
            job.AddListener(page);
        }
        StartJob();
    }
    // Holds the buttons of these actions (set to a Long delay first) and one
    // Instant key, and lets the holds run long enough to show their bars.
    void HoldSome() {
        for (int32_t id : {RURAZU_PAGEUP, RURAZU_F9, RURAZU_NUM4}) control->FindItem(id)->delayMark = 2;
        for (int32_t id : {RURAZU_PAGEUP, RURAZU_F9, RURAZU_NUM4, RURAZU_UP}) {
            const std::string text = control->FindItem(id)->TextValue();
            SDL_SetJoystickVirtualButton(handle, std::stoi(text.substr(1)), true);
        }
        for (int i = 0; i < 12; ++i) job.RunPass();
        platform::sim::TakeSentKeys();
    }

    KVTRurazuBase* pages[3] = {};
};

// The events, each delivered as the job delivers it to the four pages (the
// three RurAzu ones and GearGate's): every page's capture asked first, then
// every page; per iteration, with time and heap allocations per event.
void MeasureEvents(benchmark::State& state, RurAzuRig& rig, std::span<const SDL_Event> events) {
    Input::SDLListener* pages[] = {rig.pages[0], rig.pages[1], rig.pages[2], rig.control->shifterPage};
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        for (const SDL_Event& event : events) {
            bool captured = false;
            for (Input::SDLListener* page : pages)
                if (!captured) captured = page->OnCaptureEvent(event);
            if (!captured)
                for (Input::SDLListener* page : pages) page->OnInputEvent(event);
        }
        allocations += AllocationCount() - before;
    }
    const double count = double(state.iterations()) * double(events.size());
    state.counters["allocs/event"] = double(allocations) / count;
    state.counters["ns/event"] =
        benchmark::Counter(count, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RurAzuTick(benchmark::State& state) {
    RurAzuRig rig;
    rig.HoldSome();
    if (!rig.control->holdProgress.Visible()) state.SkipWithError("the held actions show no bar");
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        for (KVTRurazuBase* page : rig.pages) page->OnTick();
        allocations += AllocationCount() - before;
    }
    state.counters["allocs/tick"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_RurAzuTick);

void BM_DrawRurAzuPage(benchmark::State& state) {
    RurAzuRig rig;
    rig.control->selectedIndex = 5;
    if (rig.control->CurrentPage() != rig.pages[0]) state.SkipWithError("not the first RurAzu page");
    rig.MeasureFrames(state);
}
BENCHMARK(BM_DrawRurAzuPage);

// A burst of 1 000 axis events across four controllers (the wheel and three
// others) delivered to the pages, every action bound to a button; with
// bound set, one action is bound to the wheel's first axis, which the burst
// keeps past its threshold.
void BM_AxisBurst(benchmark::State& state) {
    RurAzuRig rig;
    const bool bound = state.range(0) != 0;
    if (bound) rig.control->FindItem(RURAZU_F9)->SetValue("A0>0 Bench Wheel");
    SDL_Event events[1000];
    for (int i = 0; i < 1000; ++i) {
        events[i] = SDL_Event{};
        events[i].type = SDL_EVENT_JOYSTICK_AXIS_MOTION;
        events[i].jaxis.which = i % 4 == 0 ? rig.pad : rig.pad + static_cast<SDL_JoystickID>(100 + i % 4);
        events[i].jaxis.axis = 0;
        events[i].jaxis.value = static_cast<Sint16>(20000 + i % 50);
    }
    MeasureEvents(state, rig, events);
}
BENCHMARK(BM_AxisBurst)->Arg(0)->Arg(1);

// A bound button (Up, Instant) pressed and let go, delivered to the pages,
// every action bound: each event is matched against every action line.
void BM_ButtonEvent(benchmark::State& state) {
    RurAzuRig rig;
    const int button = std::stoi(rig.control->FindItem(RURAZU_UP)->TextValue().substr(1));
    SDL_Event events[2] = {};
    for (int i = 0; i < 2; ++i) {
        events[i].type = i == 0 ? SDL_EVENT_JOYSTICK_BUTTON_DOWN : SDL_EVENT_JOYSTICK_BUTTON_UP;
        events[i].jbutton.which = rig.pad;
        events[i].jbutton.button = static_cast<Uint8>(button);
        events[i].jbutton.down = i == 0;
    }
    MeasureEvents(state, rig, events);
    if (platform::sim::TakeSentKeys().empty()) state.SkipWithError("the button sent no key");
}
BENCHMARK(BM_ButtonEvent);

// The pages' status lines as each frame writes them: the last input, and every
// binding line asked whether its controller is connected (one is not).
void BM_StatusLine(benchmark::State& state) {
    RurAzuRig rig;
    Input::InputStatus status;
    Input::ControllerMarks marks;
    marks.Refresh();
    status.RefreshControllers(marks);
    status.NoteInput("#3 Bench Wheel");
    rig.control->FindItem(RURAZU_F9)->SetValue("#0 Missing Box");
    char line[256], missing[256];
    Input::WriteStatusLine(status, line, sizeof line);
    Input::WriteMissingLine(status, *rig.control, missing, sizeof missing);
    if (std::string(line) + " / " + missing != "Last input: #3 Bench Wheel / Not connected: Missing Box")
        state.SkipWithError(line);
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        Input::WriteStatusLine(status, line, sizeof line);
        Input::WriteMissingLine(status, *rig.control, missing, sizeof missing);
        benchmark::DoNotOptimize(line);
        benchmark::DoNotOptimize(missing);
        allocations += AllocationCount() - before;
    }
    state.counters["allocs/frame"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_StatusLine);

}  // namespace
