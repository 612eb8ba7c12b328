// What the RurAzu pages cost the game: the per-pass tick of the three pages
// with every action bound and a few held (bars moving, one key repeating),
// and the drawing of a full RurAzu menu page, each with its heap allocations.
#include <SDL3/SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "alloc_counter.h"
#include "config/setting.h"
#include "config/setting_id.h"
#include "core/host_locations.h"
#include "core/kvt_control.h"
#include "core/log.h"
#include "core/paths.h"
#include "input/sdl_backend.h"
#include "null_game.h"
#include "platform/sim/sim_messages.h"
#include "platform/sim/sim_platform.h"
#include "rurazu/rurazu_pages.h"

namespace {
constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x88;

// The plug-in in a game folder of its own, every RurAzu action bound to a
// button of one wheel, and a job whose passes the benchmark runs itself.
struct RurAzuRig {
    RurAzuRig() : arena(kBase, 0x1400000) {
        root = std::filesystem::temp_directory_path() / ("kvt-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(root / "Plugins" / "KVTControls");
        std::ofstream(root / "Plugins" / "KVTControls" / "KVTControls.ini") << "[RurAzu]\nEnabled = true\n";
        platform::sim::SetHostExecutablePath((root / "game.exe").string());
        OnLibraryLoad();
        g_verboseLog = false;
        platform::sim::SetSleepYields(false);
        platform::sim::SetForegroundWindow(kWindow);
        const uint32_t state = arena.Allocate(0x1000);
        arena.WriteU32(kBase + host_offsets::kGameState, state);
        arena.WriteU32(state + host_offsets::kRunningField, 1);
        arena.WriteU32(state + host_offsets::kGameModeField, host_modes::kDriving);
        RefreshHostLocations();
        Host().hostWindow = kWindow;

        SDL_Init(SDL_INIT_JOYSTICK);
        SDL_SetJoystickEventsEnabled(true);
        SDL_VirtualJoystickDesc desc;
        SDL_INIT_INTERFACE(&desc);
        desc.nbuttons = 64;
        desc.name = "Bench Wheel";
        handle = SDL_OpenJoystick(SDL_AttachVirtualJoystick(&desc));

        control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
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
        job.RequestStart(kWindow);
        job.RunPass();
    }
    ~RurAzuRig() {
        for (KVTRurazuBase* page : pages) job.RemoveListener(page);
        control->DeletingDestructor(1);
        SDL_CloseJoystick(handle);
        SDL_Quit();
        Config::ResetSettingsForTest();
        Input::ResetBackendForTest();
        OnLibraryUnload();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
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

    std::filesystem::path root;
    platform::sim::HostArena arena;
    NullGame game;
    Input::SDLBackend job;
    KVTControl* control = nullptr;
    KVTRurazuBase* pages[3] = {};
    SDL_Joystick* handle = nullptr;
};

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
    rig.control->DrawPluginPage();  // warm: the first frame may fill caches
    if (rig.control->CurrentPage() != rig.pages[0]) state.SkipWithError("not the first RurAzu page");
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        rig.control->DrawPluginPage();
        allocations += AllocationCount() - before;
    }
    state.counters["allocs/frame"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_DrawRurAzuPage);

}  // namespace
