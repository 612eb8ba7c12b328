#include "bench_game.h"

#include <unistd.h>

#include <fstream>

#include "alloc_counter.h"
#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/paths.h"

namespace {
constexpr uint32_t kBase = 0x10000;
}

BenchGame::BenchGame(const std::string& settings, const char* controllerName, int buttons)
    : arena(kBase, 0x1400000) {
    root = std::filesystem::temp_directory_path() / ("kvt-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(root / "Plugins" / "KVTControls");
    std::ofstream(root / "Plugins" / "KVTControls" / "KVTControls.ini") << settings;
    platform::sim::SetHostExecutablePath((root / "game.exe").string());
    OnLibraryLoad();
    g_verboseLog = false;
    platform::sim::SetSleepYields(false);
    platform::sim::SetForegroundWindow(kWindow);
    platform::sim::SetTickCount(100000);
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
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.name = controllerName;
    pad = SDL_AttachVirtualJoystick(&desc);
    handle = SDL_OpenJoystick(pad);

    control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
}

void BenchGame::StartJob() {
    job.RequestStart(kWindow);
    job.RunPass();
}

BenchGame::~BenchGame() {
    for (Input::SDLListener* listener : std::vector<Input::SDLListener*>(job.Listeners()))
        job.RemoveListener(listener);
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

void BenchGame::MeasureFrames(benchmark::State& state) {
    control->DrawPluginPage();
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        control->DrawPluginPage();
        allocations += AllocationCount() - before;
    }
    state.counters["allocs/frame"] = double(allocations) / double(state.iterations());
}
