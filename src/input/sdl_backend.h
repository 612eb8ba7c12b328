// The input job: the one background thread that reads controllers through
// SDL's joystick layer and the keyboard through the keyboard reader, opens
// and closes controllers as bindings and hot-plugging ask, and hands every
// event and a tick per pass to the registered pages. One per process, never
// destroyed: it outlives the main object until the process ends.
#pragma once

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>
#include <SDL3/SDL_mutex.h>
#include <SDL3/SDL_thread.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/axis_rests.h"
#include "input/binding_text.h"
#include "input/controller_marks.h"
#include "input/device_locks.h"
#include "input/input_di.h"
#include "input/input_status.h"
#include "input/sdl_listener.h"
#include "platform/device_watch.h"
#include "platform/platform.h"

namespace Input {

class SDLBackend {
public:
    // Room for keyboard changes per pass, allocated once.
    static constexpr int kKeyChangeRoom = 8;
    // The pass's sleep while the game is in front, unless the settings ask
    // for less ([Main] PollIntervalMs).
    static constexpr uint32_t kForegroundSleepMs = 25;
    static constexpr uint32_t kBackgroundSleepMs = 500;
    static constexpr uint32_t kForegroundCheckMs = 1000;
    // How long StopJob waits at a time before it serves the host window again.
    static constexpr uint32_t kStopServeMs = 10;
    // How long a controller reopened at a capture's end may take to send
    // its first report before its state counts without one.
    static constexpr uint32_t kFirstReportGraceMs = 250;

    SDLBackend();
    virtual ~SDLBackend();
    SDLBackend(const SDLBackend&) = delete;
    SDLBackend& operator=(const SDLBackend&) = delete;

    bool ThreadExists() const { return thread_ != nullptr; }
    // Creates the start signal and the thread "SDLBackend", which waits for
    // RequestStart before it touches SDL or any device.
    void CreateThread();
    // Hands the job the host window, makes a keyboard reader for it, and lets
    // the job start.
    void RequestStart(uint32_t hostWindow);
    bool IsRunning() const { return initialized_ && !stopping_; }
    // Ends the job and waits for its thread; returns promptly in every state,
    // also while the thread still waits for its start.
    void StopJob();

    // Host's thread, before the job starts and after it stopped.
    void AddListener(SDLListener* listener);
    void RemoveListener(SDLListener* listener);
    const std::vector<SDLListener*>& Listeners() const { return listeners_; }

    // Opens the joystick of an added event (once), closes it on its removal.
    void HandleConnectionEvent(const SDL_Event& event);

    // The device policy (device_policy.cpp): open what bindings name, or
    // everything when forced; close everything.
    void ConnectBoundDevices(bool forceConnect, bool evenIfNotRunning);
    void DisconnectAllDevices();

    // The pages' time base (platform::ClockMs) and foreground test, taken at
    // the start of a pass.
    uint32_t lastTick() const { return lastTick_; }
    // The wait between passes now, in ms.
    uint32_t passMs() const KVT_REQUIRES(g_jobThread) { return sleepMs_; }
    // The job's thread: a pause inside a pass (a key tap's gap), as precise
    // as the wait between passes.
    void Pause(uint32_t ms) KVT_REQUIRES(g_jobThread) { Waits().Wait(ms); }
    bool isForeground() const { return isForeground_; }
    uint32_t hostWindow() const { return hostWindow_; }
    // Whether the caller runs the job's passes (its thread, or a test or
    // benchmark running passes itself): listener work from any other thread
    // must not touch what the passes touch.
    bool OnJobThread() const { return passThread_ == SDL_GetCurrentThreadID(); }
    // The texts events make and the binding matcher: the job's thread only
    // (checked in the test build).
    BindingTexts& Texts();
    // What the job has seen, for the pages' status line and the log.
    const InputStatus& Status() const { return status_; }
    // The marks of identical controllers (any thread).
    const ControllerMarks& Marks() const { return marks_; }
    // The keyboard reader, null until the first RequestStart.
    InputDI* Keyboard() const { return keyboard_; }
    // The joysticks the job holds open, in the order it opened them.
    std::vector<SDL_JoystickID> OpenJoystickIds() const KVT_EXCLUDES(g_joystickListLock);
    // How often RequestStart was called; what the main object's start-up is
    // checked against.
    uint32_t startRequests() const { return startRequests_; }

    // One loop pass (the thread runs these; tests may too). False when the
    // loop must end.
    bool RunPass();
    // The job's thread, when the input with that binding text has just ended
    // a binding capture: the pages do not see it pressed again (the event
    // itself, nor the re-reports of reconnected devices) until it is released.
    void HoldBackUntilReleased(const char* bindingText);

private:
    static int SDLCALL JobMain(void* backend);
    int Run() KVT_REQUIRES(g_jobThread);
    static uint32_t ForegroundSleepMs();
    // The job's waits, made on first use (and its kind logged once).
    platform::PreciseWait& Waits() KVT_REQUIRES(g_jobThread);
    // Ends the job and shuts down what it started of SDL, once.
    void CloseSdl() KVT_REQUIRES(g_jobThread);
    // One event, polled or played: opens or closes its controller, then
    // delivers it.
    void HandleEvent(const SDL_Event& event) KVT_REQUIRES(g_jobThread);
    void Deliver(const SDL_Event& event) KVT_REQUIRES(g_jobThread);
    // Windows' word on controllers (controller_swap.cpp): one Windows says
    // went is removed for the pages while SDL still lists it, and opened
    // anew once Windows says it is back.
    void FollowDeviceChanges() KVT_REQUIRES(g_jobThread);
    void LetGoOfVanished(const std::string& path) KVT_REQUIRES(g_jobThread);
    void ReopenReturned() KVT_REQUIRES(g_jobThread);
    // Whether the event is a press of the input held back after a capture;
    // its release ends the holding back.
    bool HeldBack(const SDL_Event& event) KVT_REQUIRES(g_jobThread);
    // Whether the held-back input is a button or hat that its open
    // controller shows let go, once that shows something: it has reported
    // since the reopen, or kFirstReportGraceMs passed without a report.
    bool HeldBackShownReleased() KVT_REQUIRES(g_jobThread);
    // Once per job, on its thread, after its last pass.
    void LetListenersGo() KVT_REQUIRES(g_jobThread);
    // SDL's controllers changed: their marks first, then the status line.
    void RefreshControllers() KVT_REQUIRES(g_jobThread);
    // The marked bindings of every page's lines, read again when a line changed.
    void FollowClaims() KVT_REQUIRES(g_jobThread);
    // An axis moved: the status line's last input once it is pushed further
    // than kAxisMovedOnPurpose from where it was first seen, as the binding
    // text a capture would make (once per push, so noise never flickers).
    void NoteAxis(const SDL_JoyAxisEvent& moved) KVT_REQUIRES(g_jobThread);

    SDL_Thread* thread_ = nullptr;
    SDL_Semaphore* startSignal_ = nullptr;
    std::atomic<uint32_t> hostWindow_{0};
    std::atomic<bool> initialized_{false};
    // Filled before the job starts and emptied after it stopped, so the job
    // never sees it change.
    std::vector<SDLListener*> listeners_;
    std::atomic<uint32_t> lastTick_{0};
    std::atomic<bool> isForeground_{false};
    std::atomic<bool> stopping_{false};
    // Set by the job's thread as its very last step.
    std::atomic<bool> jobEnded_{false};
    std::atomic<SDL_ThreadID> passThread_{0};
    std::vector<SDL_Joystick*> openJoysticks_ KVT_GUARDED_BY(g_joystickListLock);

    // The job's own state, its thread only.
    bool sdlStarted_ KVT_GUARDED_BY(g_jobThread) = false;
    uint32_t foregroundCheck_ KVT_GUARDED_BY(g_jobThread) = 0;
    uint32_t sleepMs_ KVT_GUARDED_BY(g_jobThread) = kForegroundSleepMs;
    // Made by the first pass, on the thread that runs them.
    std::unique_ptr<platform::PreciseWait> wait_ KVT_GUARDED_BY(g_jobThread);
    KeyChange keyChanges_[kKeyChangeRoom] KVT_GUARDED_BY(g_jobThread);
    bool passesRan_ KVT_GUARDED_BY(g_jobThread) = false;
    // The binding of the input that ended the last capture, while held.
    BindingRecord heldBack_ KVT_GUARDED_BY(g_jobThread);
    // When the capture's end reopened the controllers, and whether the
    // controller that holds it has reported since (a pass later, so none of
    // its reports before the reopen counts).
    uint32_t heldBackSince_ KVT_GUARDED_BY(g_jobThread) = 0;
    bool heldBackReported_ KVT_GUARDED_BY(g_jobThread) = false;
    bool reopenedThisPass_ KVT_GUARDED_BY(g_jobThread) = false;
    ControllerMarks marks_;
    BindingTexts texts_ KVT_GUARDED_BY(g_jobThread);
    uint32_t claimsVersion_ KVT_GUARDED_BY(g_jobThread) = 0;
    InputStatus status_;
    uint32_t captureEnds_ KVT_GUARDED_BY(g_jobThread) = 0;
    AxisRests axisRests_ KVT_GUARDED_BY(g_jobThread);

    std::unique_ptr<platform::DeviceWatch> deviceWatch_ KVT_GUARDED_BY(g_jobThread);
    std::vector<platform::DeviceChange> deviceChanges_ KVT_GUARDED_BY(g_jobThread);
    struct Vanished {
        SDL_JoystickID id = 0;
        std::string path;  // SDL's, kept to know it when it is back
        uint16_t vendor = 0, product = 0;
        bool back = false;
        uint32_t backSince = 0;
    };
    std::vector<Vanished> vanished_ KVT_GUARDED_BY(g_jobThread);

    std::atomic<InputDI*> keyboard_{nullptr};
    // Readers replaced by a later start request: the job may still be reading
    // one, so they are kept, disconnected, until the process ends.
    std::vector<InputDI*> retiredKeyboards_;
    std::atomic<uint32_t> startRequests_{0};
};

// The process's one job, created on the first call (on the host's thread,
// while the main object is built).
SDLBackend& GetBackend();
// Stops and frees the process's job so a test can play a new process; only
// with no page registered and no main object alive.
void ResetBackendForTest();

// Stops the test build at the first touch, from another thread while the
// job runs, of what only the job's passes may touch (any thread may while it
// does not run: start-up, the host's thread after the end).
void AssertJobThread(const SDLBackend& job, const char* file, int line) KVT_ASSERT_CAPABILITY(g_jobThread);
// The same for the analysis alone, where nothing is checked at run time.
inline void AssumeJobThread(const SDLBackend&) KVT_ASSERT_CAPABILITY(g_jobThread) {}

}  // namespace Input

// The DLL carries no check: a breach found in a test is a bug to mend, and
// the host must never stop for one.
#ifdef NDEBUG
#define KVT_ASSERT_JOB_THREAD(job) ::Input::AssumeJobThread(job)
#else
#define KVT_ASSERT_JOB_THREAD(job) ::Input::AssertJobThread((job), __FILE__, __LINE__)
#endif
