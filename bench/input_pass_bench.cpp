// What one pass of the input job costs the plug-in: four listeners that turn
// every event into its binding text and compare it with their bindings, fed
// a burst of button, hat and key events, and a pass with nothing happening.
// Reported per event: time and heap allocations (counted by operator new).
#include <SDL3/SDL.h>
#include <benchmark/benchmark.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "core/host_locations.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/sim/sim_platform.h"

namespace {
constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x77;

// A page's share of the work: the event's text against eleven bindings.
class MatchingListener : public Input::SDLListener {
public:
    explicit MatchingListener(std::vector<std::string> bindings) : bindings_(std::move(bindings)) {}
    void OnTick() override {}
    void OnInputEvent(const SDL_Event& event) override {
        const char* text = Job().Texts().Make(event);
        for (const std::string& binding : bindings_)
            if (std::strcmp(binding.c_str(), text) == 0) ++matches;
    }
    bool IsDeviceBound(const std::string&) override { return false; }
    bool IsJoystickBound(SDL_JoystickID) override { return false; }
    void OnDevicesDisconnected() override {}
    uint64_t matches = 0;

private:
    std::vector<std::string> bindings_;
};

// The host, SDL with one virtual wheel, and a job with four listeners whose
// passes the benchmark runs itself.
struct Rig {
    Rig() : arena(kBase, 0x1400000) {
        platform::sim::SetSleepYields(false);
        platform::sim::SetForegroundWindow(kWindow);
        const uint32_t state = arena.Allocate(0x1000);
        arena.WriteU32(kBase + host_offsets::kGameState, state);
        arena.WriteU32(state + host_offsets::kRunningField, 1);
        RefreshHostLocations();
        SDL_Init(SDL_INIT_JOYSTICK);
        SDL_SetJoystickEventsEnabled(true);
        SDL_VirtualJoystickDesc desc;
        SDL_INIT_INTERFACE(&desc);
        desc.nbuttons = 16;
        desc.nhats = 1;
        desc.name = "Bench Wheel";
        wheel = SDL_AttachVirtualJoystick(&desc);
        handle = SDL_OpenJoystick(wheel);
        std::vector<std::string> bindings;
        for (int i = 0; i < 10; ++i) bindings.push_back("#" + std::to_string(i) + " Bench Wheel");
        bindings.push_back("K30 Keyboard");
        for (auto& listener : listeners) {
            listener = new MatchingListener(bindings);
            backend.AddListener(listener);
        }
        backend.RequestStart(kWindow);  // the keyboard reader, without a thread
        SDL_Event drain;
        while (SDL_PollEvent(&drain)) {
        }
    }
    ~Rig() {
        for (auto* listener : listeners) {
            backend.RemoveListener(listener);
            delete listener;
        }
        SDL_CloseJoystick(handle);
        SDL_Quit();
    }
    void PushBurst(int events) {
        for (int i = 0; i < events; ++i) {
            SDL_Event event{};
            switch (i % 3) {
                case 0:
                    event.type = SDL_EVENT_JOYSTICK_BUTTON_DOWN;
                    event.jbutton.which = wheel;
                    event.jbutton.button = 3;
                    event.jbutton.down = true;
                    break;
                case 1:
                    event.type = SDL_EVENT_JOYSTICK_HAT_MOTION;
                    event.jhat.which = wheel;
                    event.jhat.value = SDL_HAT_RIGHT;
                    break;
                default:
                    event.type = SDL_EVENT_KEY_DOWN;
                    event.key.scancode = static_cast<SDL_Scancode>(30);
                    break;
            }
            SDL_PushEvent(&event);
        }
    }

    platform::sim::HostArena arena;
    Input::SDLBackend backend;
    MatchingListener* listeners[4] = {};
    SDL_JoystickID wheel = 0;
    SDL_Joystick* handle = nullptr;
};

void BM_PassWithBurst(benchmark::State& state) {
    Rig rig;
    const int burst = static_cast<int>(state.range(0));
    rig.PushBurst(burst);
    rig.backend.RunPass();  // the caches take their first texts here
    uint64_t allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.PushBurst(burst);
        const uint64_t before = AllocationCount();
        state.ResumeTiming();
        rig.backend.RunPass();
        allocations += AllocationCount() - before;
    }
    const double events = double(state.iterations()) * burst;
    state.SetItemsProcessed(static_cast<int64_t>(events));
    state.counters["allocs/event"] = double(allocations) / events;
    state.counters["ns/event"] =
        benchmark::Counter(events, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PassWithBurst)->Arg(30)->Arg(300);

void BM_IdlePass(benchmark::State& state) {
    Rig rig;
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        rig.backend.RunPass();
        allocations += AllocationCount() - before;
    }
    state.counters["allocs/pass"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_IdlePass);

// The idle pass's floor on this machine: the one system call a pass makes
// (native SDL's device discovery reads its empty watch of /dev once per pump;
// the Windows build has no such read). Where a system call is dear, as on a
// virtual machine isolating kernel pages, it is most of the idle pass: read
// the pass net of it to compare machines.
void BM_SyscallFloor(benchmark::State& state) {
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, "/dev", IN_CREATE | IN_DELETE) < 0)
        state.SkipWithError("no watch of /dev");
    char buffer[4096];
    for (auto _ : state) benchmark::DoNotOptimize(read(watch, buffer, sizeof buffer));
    if (watch >= 0) close(watch);
}
BENCHMARK(BM_SyscallFloor);

}  // namespace
