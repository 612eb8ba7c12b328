// The input job's life: its thread and start signal, the start-up that waits
// for the host's menus, the loop pass, and joysticks coming and going.
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

std::vector<SDL_JoystickID> SDLBackend::OpenJoystickIds() const {
    kvt::MutexLock lock(g_joystickListLock);
    std::vector<SDL_JoystickID> ids;
    for (SDL_Joystick* handle : openJoysticks_) ids.push_back(handle ? SDL_GetJoystickID(handle) : 0);
    return ids;
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
    ConnectBoundDevices(false, true);
    status_.RefreshControllers();

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

bool SDLBackend::RunPass() {
    if (!HostRunning()) return false;
    passThread_ = SDL_GetCurrentThreadID();
    KVT_ASSERT_JOB_THREAD(*this);
    passesRan_ = true;
    platform::SleepMs(sleepMs_);
    const uint32_t now = platform::TickCount();
    lastTick_ = now;
    if (now - foregroundCheck_ >= kForegroundCheckMs) {
        isForeground_ = platform::ForegroundWindow() == hostWindow_;
        sleepMs_ = isForeground_ ? ForegroundSleepMs() : kBackgroundSleepMs;
        foregroundCheck_ = now;
    }

    const uint32_t capturesBefore = captureEnds_;
    FollowDeviceChanges();
    SDL_Event event;
    while (SDL_PollEvent(&event)) HandleEvent(event);
    // A capture's end reopens the controllers while its button or hat is
    // still held, and a fresh controller may never show that input (neither
    // DirectInput's under Wine nor SDL's virtual one does): no release would
    // come, and the hold-back would swallow the next real press. So from the
    // pass after the reopen on, which has read the fresh controller, an
    // input it shows let go is no longer held back.
    if (captureEnds_ == capturesBefore && HeldBackShownReleased()) heldBack_ = BindingRecord{};

    InputDI* keyboard = keyboard_;
    if (isForeground_ && keyboard) {
        bool firstRead = false;
        const uint32_t captureEnds = captureEnds_;
        const int count = keyboard->ReadKeyChanges(keyChanges_, kKeyChangeRoom, &firstRead);
        for (int i = 0; i < count; ++i) {
            SDL_Event key{};
            key.type = keyChanges_[i].pressed ? SDL_EVENT_KEY_DOWN : SDL_EVENT_KEY_UP;
            key.key.scancode = static_cast<SDL_Scancode>(keyChanges_[i].key);
            Deliver(key);
        }
        // The same for a key a fresh keyboard may never show (Wine's does
        // not): its hold-back from an earlier pass ends with the device's
        // first read; where that read showed the key down, the press was held
        // back just above, and its release comes through as it would anyway.
        if (firstRead && captureEnds_ == captureEnds && heldBack_.kind == BindingRecord::Kind::Key)
            heldBack_ = BindingRecord{};
    }

    for (SDLListener* listener : listeners_) listener->OnTick();
    return !stopping_;
}

void SDLBackend::HandleEvent(const SDL_Event& event) {
    if (event.type == SDL_EVENT_JOYSTICK_REMOVED && !listeners_.empty()) HandleConnectionEvent(event);
    if (event.type == SDL_EVENT_JOYSTICK_ADDED) {
        // The question and the open are one device change: a page switched
        // off in between must not find its controller reopened after.
        kvt::MutexLock devices(g_deviceLock);
        for (SDLListener* listener : listeners_) {
            if (listener->IsJoystickBound(event.jdevice.which)) {
                HandleConnectionEvent(event);
                break;
            }
        }
    }
    if (event.type == SDL_EVENT_JOYSTICK_ADDED || event.type == SDL_EVENT_JOYSTICK_REMOVED)
        status_.RefreshControllers();
    Deliver(event);
}

void SDLBackend::Deliver(const SDL_Event& event) {
    const bool press = event.type == SDL_EVENT_JOYSTICK_BUTTON_DOWN || event.type == SDL_EVENT_KEY_DOWN ||
                       (event.type == SDL_EVENT_JOYSTICK_HAT_MOTION && event.jhat.value != SDL_HAT_CENTERED);
    if (press) status_.NoteInput(texts_.Make(event));
    if (event.type == SDL_EVENT_JOYSTICK_AXIS_MOTION) NoteAxis(event.jaxis);
    if (event.type == SDL_EVENT_JOYSTICK_REMOVED) {
        // Its axes rest anew when it comes back (with a new id).
        const auto gone = std::remove_if(
            axisRests_.begin(), axisRests_.begin() + static_cast<std::ptrdiff_t>(axisRestCount_),
            [&](const AxisRest& rest) { return rest.joystick == event.jdevice.which; });
        axisRestCount_ = static_cast<size_t>(gone - axisRests_.begin());
    }
    if (HeldBack(event)) return;
    // The captures hear it before any page acts: a page listed earlier
    // would otherwise act on the press that binds a line of a later one.
    for (SDLListener* listener : listeners_)
        if (listener->OnCaptureEvent(event)) return;
    for (SDLListener* listener : listeners_) listener->OnInputEvent(event);
}

void SDLBackend::NoteAxis(const SDL_JoyAxisEvent& moved) {
    AxisRest* found = nullptr;
    for (size_t i = 0; i < axisRestCount_ && !found; ++i)
        if (axisRests_[i].joystick == moved.which && axisRests_[i].axis == moved.axis) found = &axisRests_[i];
    if (!found) {
        // Where it rests: SDL's first report of it since it was opened.
        // Beyond the table's room an axis is simply not named.
        if (axisRestCount_ == axisRests_.size()) return;
        Sint16 rest = moved.value;
        SDL_Joystick* joystick = SDL_GetJoystickFromID(moved.which);
        if (joystick) SDL_GetJoystickAxisInitialState(joystick, moved.axis, &rest);
        found = &axisRests_[axisRestCount_++];
        *found = {moved.which, moved.axis, rest};
    }
    const int32_t from = found->value, to = moved.value;
    const bool pushed = to - from > kAxisMovedOnPurpose || from - to > kAxisMovedOnPurpose;
    if (pushed && !found->pushed) {
        char text[kMaxBindingText + 1];
        WriteAxisBindingText(text, moved.axis, to > from, (from + to) / 2,
                             texts_.ControllerName(moved.which));
        status_.NoteInput(text);
    }
    found->pushed = pushed;
}

void SDLBackend::HoldBackUntilReleased(const char* bindingText) {
    KVT_ASSERT_JOB_THREAD(*this);
    ++captureEnds_;
    heldBack_ = ReadBinding(bindingText);
}

BindingTexts& SDLBackend::Texts() {
    KVT_ASSERT_JOB_THREAD(*this);
    return texts_;
}

bool SDLBackend::HeldBack(const SDL_Event& event) {
    if (heldBack_.kind == BindingRecord::Kind::None) return false;
    if (event.type == SDL_EVENT_JOYSTICK_REMOVED) {
        heldBack_ = BindingRecord{};  // its release will never come
        return false;
    }
    switch (texts_.Match(heldBack_, event)) {
        case BindingMatch::Press:
            return true;
        case BindingMatch::Release:
            heldBack_ = BindingRecord{};
            return false;
        default:
            return false;
    }
}

bool SDLBackend::HeldBackShownReleased() {
    const bool button = heldBack_.kind == BindingRecord::Kind::Button;
    if (!button && heldBack_.kind != BindingRecord::Kind::Hat) return false;
    kvt::MutexLock lock(g_joystickListLock);
    for (SDL_Joystick* handle : openJoysticks_) {
        const char* name = handle ? SDL_GetJoystickName(handle) : nullptr;
        if (!name || !heldBack_.NamesController(name)) continue;
        return button ? !SDL_GetJoystickButton(handle, heldBack_.index)
                      : SDL_GetJoystickHat(handle, heldBack_.index) != heldBack_.hatValue;
    }
    return false;
}

void SDLBackend::HandleConnectionEvent(const SDL_Event& event) {
    kvt::MutexLock lock(g_joystickListLock);
    const SDL_JoystickID id = event.jdevice.which;
    if (g_verboseLog)
        LogLine("JoyID" + std::to_string(id) + " connection eventType " + std::to_string(event.type));
    SDL_Joystick* found = nullptr;
    for (SDL_Joystick* handle : openJoysticks_) {
        if (handle && SDL_GetJoystickID(handle) == id) {
            found = handle;
            break;
        }
    }
    if (event.type == SDL_EVENT_JOYSTICK_ADDED && !found) {
        SDL_Joystick* opened = SDL_OpenJoystick(id);
        openJoysticks_.push_back(opened);
        if (g_verboseLog) {
            const char* name = opened ? SDL_GetJoystickName(opened) : nullptr;
            LogLine("Connected joyID" + std::to_string(id) + " " + (name ? name : ""));
        }
    } else if (event.type == SDL_EVENT_JOYSTICK_REMOVED && found) {
        if (g_verboseLog) LogLine("Disconnected joyID" + std::to_string(id));
        openJoysticks_.erase(std::remove(openJoysticks_.begin(), openJoysticks_.end(), found),
                             openJoysticks_.end());
        SDL_CloseJoystick(found);
    }
}

}  // namespace Input
