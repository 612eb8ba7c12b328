// Capturing a new binding, the rule every page shares: the select key on a
// binding line makes it wait for the next press of any device, which becomes
// its binding text. The job's thread ends a capture with a press while the
// host's thread may abandon it (a page's time-out); whichever comes first
// ends it, and only once.
#pragma once

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "input/axis_rests.h"
#include "input/binding_text.h"
#include "input/device_locks.h"
#include "platform/mutex.h"

class MenuItem;
class IHostGame;

namespace Input {

class SDLBackend;

class BindingCapture {
public:
    // A second capture waits this long after the last start or end.
    static constexpr uint32_t kRestartGapMs = 1000;
    // Presses this soon after the start are the select key's own bounce.
    static constexpr uint32_t kSettleMs = 499;
    // A capture waits this long for a press before it gives up.
    static constexpr uint32_t kTimeoutMs = 5000;

    // Host's thread: starts waiting for a press for the item (opening every
    // device) unless one already waits or the last capture is too recent.
    // The caller checks the item's line and page are enabled.
    bool Start(MenuItem* item, uint32_t now, SDLBackend& backend);
    // The same for a key line's key code: only a keyboard key ends it, and
    // its virtual-key code becomes the line's code (a key with none is
    // passed over). The line's name follows on the host's thread
    // (TakeRenamed).
    bool StartKeyCode(MenuItem* item, uint32_t now, SDLBackend& backend);
    // Host's thread: the line whose key code a capture changed since the last
    // call, once; null when none.
    MenuItem* TakeRenamed() { return renamed_.exchange(nullptr); }
    // Job's thread, for every event: a press ends the capture with its text.
    // True when this event ended it. prepare, when given, sees the item once
    // the end is claimed and before its binding changes.
    bool OnInputEvent(const SDL_Event& event, SDLBackend& backend, void (*prepare)(MenuItem& item) = nullptr);
    // Job's thread, once a pass: notes where every open controller's axes
    // rest when a capture has just started, so that an axis pushed more than
    // a quarter of its range from there binds it in that direction.
    void OnTick(SDLBackend& backend);
    // Host's thread: gives up waiting (a time-out); false when a press
    // already ended it.
    bool Abandon(uint32_t now, SDLBackend& backend);

    // Host's thread, drawing a line: the waiting line's name and its
    // "(Waiting N secs)" count-down, returning the line height; or the
    // time-out after 5 s, or any other line, returning -1 (drawn as usual).
    float DrawCountdown(IHostGame* game, MenuItem* item, float x, float y, float lineHeight,
                        SDLBackend& backend);

    MenuItem* Waiting() const KVT_EXCLUDES(lock_);
    // Whether one waits, without the lock.
    bool AnyWaiting() const { return anyWaiting_; }
    // When the running capture started, or the last one ended.
    uint32_t StartedAt() const KVT_EXCLUDES(lock_);

private:
    // The tests hold the lock to show which paths never wait for it.
    friend struct CaptureLockProbe;
    // An axis event far enough from where the axis rested: its binding text.
    bool AxisPushedFar(const SDL_Event& event, SDLBackend& backend, char* text) const
        KVT_REQUIRES(g_jobThread);
    // The one end of a binding capture with the text.
    bool EndWithText(MenuItem* item, const std::string& text, SDLBackend& backend,
                     void (*prepare)(MenuItem& item));
    // Both starts; the host's thread is the only one that starts a capture.
    bool Begin(MenuItem* item, uint32_t now, SDLBackend& backend, bool keyCodeOnly);
    // A key capture's end: the key's code into the line.
    bool EndWithKeyCode(const SDL_Event& event, SDLBackend& backend, MenuItem* item);
    // Claims the end of the capture waiting for item, once: in the same step
    // the capture stops waiting and its end is stamped, so no capture can
    // start in between against the old stamp. False when another end came first.
    bool Claim(MenuItem* item, uint32_t now) KVT_EXCLUDES(lock_);
    // What follows the one end of a capture: only bound devices stay open.
    static void Reconnect(SDLBackend& backend);

    // The capture's state, one record: the host's thread starts and abandons
    // captures, the job's thread ends them.
    struct State {
        MenuItem* waiting = nullptr;
        // Only a keyboard key's code ends it (a custom row's K).
        bool keyCodeOnly = false;
        // When the running capture started, or the last one ended.
        uint32_t stamp = 0;
    };
    State Snapshot() const KVT_EXCLUDES(lock_);
    mutable kvt::Mutex lock_;
    State state_ KVT_GUARDED_BY(lock_);
    // Whether state_ has a capture waiting, readable without the lock: every
    // event asks every page's capture, and almost always none waits.
    std::atomic<bool> anyWaiting_{false};
    std::atomic<MenuItem*> renamed_{nullptr};
    // Where the axes rested when the capture with this stamp started; the
    // job's thread only.
    AxisRests axisStarts_ KVT_GUARDED_BY(g_jobThread);
    uint32_t axesStamp_ KVT_GUARDED_BY(g_jobThread) = 0;
    // The stamp of the capture whose controllers are all open (the host's
    // thread opens them just after the capture starts waiting).
    std::atomic<uint32_t> connectedStamp_{0};
};

}  // namespace Input
