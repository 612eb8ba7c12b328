// The game a benchmark plays in: a game folder of its own holding the given
// KVTControls.ini, the host's state in simulated memory (a car on a stage,
// the game's window in front, the clock past the job's first foreground
// test), one virtual controller, the plug-in's main object, and a job whose
// passes the benchmark runs itself.
#pragma once

#include <SDL3/SDL.h>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "input/sdl_backend.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "shared/null_game.h"

class BenchGame {
public:
    static constexpr uint32_t kWindow = 0x88;

    BenchGame(const std::string& settings, const char* controllerName, int buttons);
    ~BenchGame();
    BenchGame(const BenchGame&) = delete;
    BenchGame& operator=(const BenchGame&) = delete;

    // Lets the job start (its listeners added first) and runs its first pass.
    void StartJob();
    // Draws the menu page shown now once per iteration, counting the heap
    // allocations per frame ("allocs/frame"); the first frame, which may
    // fill caches, is drawn before.
    void MeasureFrames(benchmark::State& state);

    std::filesystem::path root;
    platform::sim::HostArena arena;
    NullGame game;
    Input::SDLBackend job;
    KVTControl* control = nullptr;
    SDL_JoystickID pad = 0;
    SDL_Joystick* handle = nullptr;
};
