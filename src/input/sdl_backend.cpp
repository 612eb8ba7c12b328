// The input job's life: its thread and start signal, the start-up that waits
// for the host's menus, the loop of passes (input_pass.cpp) and its end.
#include "input/sdl_backend.h"

#include <SDL3/SDL_init.h>

#include <algorithm>
#include <cstdio>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/menu_item.h"
#include "input/binding_text.h"
#include "platform/modules.h"
#include "platform/platform.h"
#include "platform/window_messages.h"

namespace Input {
namespace {
// Start-up waits in steps of this long for the host's menus, then a little more.
constexpr uint32_t kMenuWaitStepMs = 200;
constexpr uint32_t kSettleMs = 300;
constexpr size_t kListenerRoom = 8;
constexpr size_t kJoystickRoom = 16;

void Verbose(const char* message) {
    if (g_verboseLog) LogLine(message);
}
}  // namespace

SDLBackend::SDLBackend() {
    listeners_.reserve(kListenerRoom);
    texts_.UseMarks(&marks_);
    kvt::MutexLock lock(g_joystickListLock);
    openJoysticks_.reserve(kJoystickRoom);
}

SDLBackend::~SDLBackend() {
    StopJob();
    if (startSignal_) SDL_DestroySemaphore(startSignal_);
    delete keyboard_.load();
    for (InputDI* retired : retiredKeyboards_) delete retired;
}

namespace {
// Never destroyed while the process runs: the job may still be ending while
// the library unloads.
std::atomic<SDLBackend*> g_backend{nullptr};
}  // namespace

SDLBackend& SDLListener::Job() {
    return backend ? *backend : GetBackend();
}

void AssertJobThread(const SDLBackend& job, const char* file, int line) {
    if (!job.IsRunning() || job.OnJobThread()) return;
    std::fprintf(stderr, "%s:%d: touched off the input job's thread while it runs\n", file, line);
    std::abort();
}

SDLBackend& GetBackend() {
    SDLBackend* backend = g_backend;
    if (!backend) {
        backend = new SDLBackend();
        g_backend = backend;
        SetKeyNamer(&BindingKeyName);
        Verbose("The backend job created");
    }
    return *backend;
}

void ResetBackendForTest() {
    delete g_backend.exchange(nullptr);
}

void SDLBackend::CreateThread() {
    if (thread_) return;
    if (!startSignal_) startSignal_ = SDL_CreateSemaphore(0);
    jobEnded_ = false;
    thread_ = SDL_CreateThread(&SDLBackend::JobMain, "SDLBackend", this);
}

void SDLBackend::RequestStart(uint32_t window) {
    Verbose("Backend start request");
    hostWindow_ = window;
    InputDI* previous = keyboard_.exchange(new InputDI(window));
    if (previous) {
        previous->DisconnectKeyboard();
        retiredKeyboards_.push_back(previous);
    }
    ++startRequests_;
    Verbose("Send the initialization event");
    if (startSignal_) SDL_SignalSemaphore(startSignal_);
}

void SDLBackend::StopJob() {
    stopping_ = true;
    if (!thread_) return;
    // A thread still waiting for its start wakes up, sees stopping and ends
    // without touching SDL.
    if (startSignal_) SDL_SignalSemaphore(startSignal_);
    // The job may be inside SendMessageA to the host window (a host command),
    // which only this, the window's thread, can answer: waiting blind for the
    // job would hang the game on closing.
    while (!jobEnded_) platform::ServeSentMessages(kStopServeMs);
    int status = 0;
    SDL_WaitThread(thread_, &status);
    thread_ = nullptr;
    if (status != 0) LogLine("Thread ErrorCode=" + std::to_string(status));
}

void SDLBackend::AddListener(SDLListener* listener) {
    if (stopping_ || !listener) return;
    if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) return;
    listener->backend = this;
    listeners_.push_back(listener);
}

void SDLBackend::RemoveListener(SDLListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
    // A listener may outlive the job it left (a test's job ends first): its
    // last calls, a page's letting go as it is destroyed, ask the process's.
    if (listener && listener->backend == this) listener->backend = nullptr;
}

int SDLCALL SDLBackend::JobMain(void* backend) {
    if (!backend) {
        LogLine("ERROR. Unexpected NULL object in backend initialization. Cannot do anything");
        return -1;
    }
    auto* job = static_cast<SDLBackend*>(backend);
    KVT_ASSERT_JOB_THREAD(*job);
    int status = -1;
    // Nothing may leave the thread: an exception here would end the host.
    try {
        status = job->Run();
    } catch (...) {
        LogException("ERROR. The backend job failed.");
        job->LetListenersGo();
        job->CloseSdl();
    }
    job->jobEnded_ = true;
    return status;
}

uint32_t SDLBackend::ForegroundSleepMs() {
    const int32_t chosen = g_settings ? g_settings->pollIntervalMs.load() : Config::kMaxPollIntervalMs;
    return chosen >= 1 && chosen <= Config::kMaxPollIntervalMs ? static_cast<uint32_t>(chosen)
                                                               : kForegroundSleepMs;
}

int SDLBackend::Run() {
    Verbose("Waiting the initialization event");
    SDL_WaitSemaphore(startSignal_);
    if (stopping_) return 0;  // stopped before it was ever started

    Verbose("Initializing SDL subsystems...");
    // Joysticks alone (they bring SDL's events and, on Windows, its helper
    // window for DirectInput): SDL's video subsystem is not needed inside a
    // game that draws itself, and shutting it down on this thread while the
    // game closed during the job's start-up crashed the game under Wine.
    if (!SDL_Init(SDL_INIT_JOYSTICK)) {
        LogLine("Failed to initialize SDL Joystick system");
        return -1;
    }
    sdlStarted_ = true;
    // Shutting the joysticks down frees the XInput library SDL loaded, and
    // under Wine that library's own reader thread may still be running then:
    // the game crashed on closing. Keeping it loaded costs nothing.
    for (const char* xinput : {"XInput1_4.dll", "xinput1_3.dll", "XInput9_1_0.dll"})
        if (platform::PinLoadedModule(xinput)) break;
    Verbose("Enabling joystick events");
    SDL_SetJoystickEventsEnabled(true);
    std::string refused;
    deviceWatch_ = platform::WatchDevices(refused);
    if (!deviceWatch_)
        LogLine("Warning. Windows' word on controllers coming and going is not available (" + refused +
                "): a controller unplugged and plugged back at once may act as still held until it is used "
                "again");
    RefreshHostLocations();
    RefreshControllers();
    ConnectBoundDevices(false, true);

    while (!stopping_ && ReadGameMode() != host_modes::kMenus) platform::SleepMs(kMenuWaitStepMs);
    platform::SleepMs(kSettleMs);

    Verbose("SDL subsystems initialized");
    foregroundCheck_ = 0;
    sleepMs_ = ForegroundSleepMs();
    RefreshHostLocations();
    initialized_ = true;

    if (!stopping_)
        while (RunPass()) {
        }

    LetListenersGo();
    CloseSdl();
    return 0;
}

void SDLBackend::LetListenersGo() {
    stopping_ = true;
    if (!passesRan_) return;
    passesRan_ = false;
    for (SDLListener* listener : listeners_) {
        // One page failing must not keep the others holding keys down.
        try {
            listener->OnJobEnding();
        } catch (...) {
            LogException("ERROR. A page failed to let go at the job's end.");
        }
    }
}

void SDLBackend::CloseSdl() {
    stopping_ = true;
    status_.Forget();
    marks_.Forget();
    deviceWatch_.reset();
    vanished_.clear();
    if (!sdlStarted_) return;
    sdlStarted_ = false;
    Verbose("SDL subsystems closing...");
    {
        // Shutting the joysticks down closes every one still open; the list
        // must not keep them.
        kvt::MutexLock lock(g_joystickListLock);
        openJoysticks_.clear();
    }
    // Only what the job started: SDL_Quit would also invalidate this very
    // thread's object, so StopJob could no longer wait for it (it would see
    // status -1 and return while the thread still runs).
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    Verbose("SDL subsystems closed");
}

}  // namespace Input
