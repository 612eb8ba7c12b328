// The RurAzu engine: the room where events of bound buttons, hats and keys
// become the host's keys, host commands, the close request and VR calls, with
// hold delays, auto-repeat, game-mode rules, Short/Long conflicts and hold
// bars. It knows the action lines its page hands it and its press records,
// nothing of menus or drawing; what a player must see goes back to the page.
#pragma once

#include <SDL3/SDL_events.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "core/menu_item.h"
#include "input/device_locks.h"
#include "rurazu/press_state.h"

namespace Input {
class SDLBackend;
}

// What the engine needs of its page, asked on the job's thread.
class RurAzuReports {
public:
    // The bar of a held delayed action; elapsed 0 takes it away.
    virtual void ShowHold(const MenuItem& item, uint32_t elapsed) = 0;
    // While the player binds a line, keys go to the binding, not to the host.
    virtual bool CaptureWaiting() const = 0;

protected:
    virtual ~RurAzuReports() = default;
};

class RurAzuEngine {
public:
    explicit RurAzuEngine(RurAzuReports& reports) : reports_(reports) {}
    RurAzuEngine(const RurAzuEngine&) = delete;
    RurAzuEngine& operator=(const RurAzuEngine&) = delete;

    // While the job does not run (the page's menu is built): the action
    // lines, which are the binding records, each with a zeroed press record.
    void SetActions(std::span<MenuItem* const> actions, const Input::SDLBackend& job);
    // While the job does not run: the engines whose held bindings can hold
    // back a delayed action of this one, this one among them.
    void SetPeers(std::span<const RurAzuEngine* const> peers, const Input::SDLBackend& job);

    // The job's thread: presses and releases from the events, then delayed
    // firing, repeat and bars once per pass.
    void OnInputEvent(const SDL_Event& event, Input::SDLBackend& job);
    void OnTick(Input::SDLBackend& job);
    // Key-ups for keys down, stops for ignition and seat moves still
    // running, bars cleared: no release will be read any more.
    void OnJobEnding(const Input::SDLBackend& job);
    // Releases everything held. From another thread while the job runs, the
    // release is left to the job's next event or pass, so the press records
    // have one thread.
    void ReleaseAll(const Input::SDLBackend& job);
    // Once the job has stopped (the page goes away): every key held comes
    // up, nothing fires.
    void DropAll(const Input::SDLBackend& job);

    // Whether the action's game-mode rule lets it act in the host's mode now
    // (game_mode_rules.cpp).
    static bool IsGameModeAllowed(const MenuItem& item);

    // One press record per action line; the job's thread.
    const std::vector<PressState>& PressStates() const KVT_REQUIRES(Input::g_jobThread) {
        return pressStates_;
    }

private:
    void PressAction(Input::SDLBackend& job, PressState& record, MenuItem& item, bool fromKeyboard)
        KVT_REQUIRES(Input::g_jobThread);
    bool SendActionDown(Input::SDLBackend& job, PressState& record, MenuItem& item)
        KVT_REQUIRES(Input::g_jobThread);
    void ReleaseAction(Input::SDLBackend& job, PressState& record, MenuItem& item)
        KVT_REQUIRES(Input::g_jobThread);
    // What the release of a record that is not pressed does: ignition off,
    // seat stop.
    void ReleaseIdle(PressState& record, const MenuItem& item) KVT_REQUIRES(Input::g_jobThread);
    void ReleaseEverything() KVT_REQUIRES(Input::g_jobThread);
    // Lets go of what the engine holds now without the reads that would say
    // so: every held key, and the two-phase actions started by a binding the
    // predicate names.
    void LetGoUnseen(bool (*stopRunning)(const PressState& record)) KVT_REQUIRES(Input::g_jobThread);
    // Lets go of a held record without firing anything.
    void DropPressed(PressState& record, const MenuItem& item) KVT_REQUIRES(Input::g_jobThread);
    void ServeReleaseRequest() KVT_REQUIRES(Input::g_jobThread);
    // Whether a held binding of a peer, the same input with another delay,
    // holds the action back.
    bool Conflicts(const PressState& record, const MenuItem& item) const KVT_REQUIRES(Input::g_jobThread);
    bool InjectionAllowed(const Input::SDLBackend& job) const;
    bool KeyDown(const Input::SDLBackend& job, uint16_t virtualKey);
    void KeyTap(Input::SDLBackend& job, uint16_t virtualKey) KVT_REQUIRES(Input::g_jobThread);

    RurAzuReports& reports_;
    // Set before the job runs, read by it alone afterwards.
    std::vector<MenuItem*> actions_;
    std::vector<const RurAzuEngine*> peers_;
    // The job's thread while it runs (checked at every entry).
    std::vector<PressState> pressStates_ KVT_GUARDED_BY(Input::g_jobThread);
    // The foreground as the last pass saw it: losing it lets go of every key.
    bool wasForeground_ KVT_GUARDED_BY(Input::g_jobThread) = false;
    // The one field both threads touch: the menu sets it on the host's
    // thread, the job takes it. A flag handed over needs no lock.
    std::atomic<bool> releaseRequested_{false};
};

// The count of press records of all engines holding each virtual key down is
// process-wide, since two pages may hold one key. Forgets every holder, as a
// new process starts (tests).
void ResetKeyHolders();
