// What one shifter event costs on the job's thread: a bound gear button
// pressed and released in an H-pattern car with auto neutral, each event
// writing the car's gear word, with its heap allocations.
#include <SDL3/SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "alloc_counter.h"
#include "config/setting.h"
#include "core/host_locations.h"
#include "core/kvt_control.h"
#include "core/log.h"
#include "core/paths.h"
#include "geargate/shifter_page.h"
#include "input/sdl_backend.h"
#include "null_game.h"
#include "platform/sim/sim_platform.h"

namespace {
constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x89;
constexpr uint32_t kCarGear = 0x1100;

// The plug-in in a game folder of its own with GearGate on, every shifter
// row bound to a button of one virtual shifter, and a job in front.
struct ShifterRig {
    ShifterRig() : arena(kBase, 0x1400000) {
        root = std::filesystem::temp_directory_path() / ("kvt-bench-shifter-" + std::to_string(getpid()));
        std::filesystem::create_directories(root / "Plugins" / "KVTControls");
        std::ofstream(root / "Plugins" / "KVTControls" / "KVTControls.ini")
            << "[GearGate]\nEnabled = true\nAutoNeutral = true\nClutchRequired = 0\n";
        platform::sim::SetHostExecutablePath((root / "game.exe").string());
        OnLibraryLoad();
        g_verboseLog = false;
        platform::sim::SetSleepYields(false);
        platform::sim::SetForegroundWindow(kWindow);
        // Past the job's first foreground test, which comes a second in.
        platform::sim::SetTickCount(100000);
        const uint32_t state = arena.Allocate(0x1000);
        arena.WriteU32(kBase + host_offsets::kGameState, state);
        arena.WriteU32(state + host_offsets::kRunningField, 1);
        arena.WriteU32(state + host_offsets::kGameModeField, host_modes::kDriving);
        RefreshHostLocations();
        Host().hostWindow = kWindow;
        car = arena.Allocate(0x2000);
        Host().carObject = car;

        SDL_Init(SDL_INIT_JOYSTICK);
        SDL_SetJoystickEventsEnabled(true);
        SDL_VirtualJoystickDesc desc;
        SDL_INIT_INTERFACE(&desc);
        desc.nbuttons = 16;
        desc.name = "Bench Shifter";
        pad = SDL_AttachVirtualJoystick(&desc);
        handle = SDL_OpenJoystick(pad);

        control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
        shifter = control->shifterPage;
        for (int i = 0; i < shifter_rows::kCount; ++i)
            shifter->items[static_cast<size_t>(shifter->firstBindingIndex + i)]->SetValue(
                "#" + std::to_string(i) + " Bench Shifter");
        job.AddListener(shifter);
        job.RequestStart(kWindow);
        job.RunPass();
        shifter->driving = true;
        shifter->currentType = 1;
        shifter->clutchNeeded = 0;
    }
    ~ShifterRig() {
        job.RemoveListener(shifter);
        control->DeletingDestructor(1);
        SDL_CloseJoystick(handle);
        SDL_Quit();
        Config::ResetSettingsForTest();
        Input::ResetBackendForTest();
        ResetHostLocations();
        OnLibraryUnload();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
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

    std::filesystem::path root;
    platform::sim::HostArena arena;
    NullGame game;
    Input::SDLBackend job;
    KVTControl* control = nullptr;
    KVTShifter* shifter = nullptr;
    SDL_JoystickID pad = 0;
    SDL_Joystick* handle = nullptr;
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

}  // namespace
