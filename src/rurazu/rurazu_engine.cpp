// The RurAzu engine's rules (the room is described in rurazu_engine.h): what
// a press, a release and a pass do to the press records, and what each action
// sends. Everything here but ReleaseAll's hand-off runs on the job's thread.
#include "rurazu/rurazu_engine.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "core/host_locations.h"
#include "core/host_messages.h"
#include "core/setting_id.h"
#include "core/vr_bridge.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/key_output.h"
#include "platform/platform.h"

using namespace rurazu_timing;

namespace {
constexpr uint16_t kVkBack = 0x08;
constexpr uint16_t kVkEscape = 0x1B;
constexpr uint16_t kVkInsert = 0x2D;
constexpr uint16_t kVkS = 0x53;
constexpr uint16_t kVkDivide = 0x6F;
constexpr uint16_t kVkLeftControl = 0xA2;

bool IsSeatMove(int32_t id) {
    return id >= RURAZU_VR_MOVE_SEAT_FORWARD && id <= RURAZU_VR_MOVE_SEAT_DOWN;
}

// How many press records of all engines hold each virtual key down: two
// bindings may send the same key, and it comes up when the last lets go.
std::array<std::atomic<uint32_t>, 256> g_keyHolders{};

std::atomic<uint32_t>& Holders(uint16_t virtualKey) {
    return g_keyHolders[virtualKey & 0xFF];
}

// True when the record letting go of the key was its last holder. A count
// already at 0 (the key's code changed while it was down) still lets the key up.
bool LastHolderLetsGo(uint16_t virtualKey) {
    std::atomic<uint32_t>& holders = Holders(virtualKey);
    uint32_t count = holders.load();
    while (count != 0 && !holders.compare_exchange_weak(count, count - 1)) {
    }
    return count <= 1;
}

bool BoundToKeyboard(const PressState& record) {
    return record.binding.kind == Input::BindingRecord::Kind::Key;
}

bool AnyBinding(const PressState&) {
    return true;
}

// Only these events can press or release a binding; the rest (axes above all,
// the most frequent) cost no walk over the lines.
bool CanMatchBinding(uint32_t type) {
    return type == SDL_EVENT_KEY_DOWN || type == SDL_EVENT_KEY_UP || type == SDL_EVENT_JOYSTICK_BUTTON_DOWN ||
           type == SDL_EVENT_JOYSTICK_BUTTON_UP || type == SDL_EVENT_JOYSTICK_HAT_MOTION ||
           type == SDL_EVENT_JOYSTICK_AXIS_MOTION;
}
}  // namespace

void ResetKeyHolders() {
    for (std::atomic<uint32_t>& holders : g_keyHolders) holders = 0;
}

void RurAzuEngine::SetActions(std::span<MenuItem* const> actions, const Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    actions_.assign(actions.begin(), actions.end());
    pressStates_.assign(actions_.size(), PressState{});
}

void RurAzuEngine::SetPeers(std::span<const RurAzuEngine* const> peers, const Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    peers_.assign(peers.begin(), peers.end());
}

bool RurAzuEngine::InjectionAllowed(const Input::SDLBackend& job) const {
    return !reports_.CaptureWaiting() && job.isForeground();
}

bool RurAzuEngine::KeyDown(const Input::SDLBackend& job, uint16_t virtualKey) {
    if (!InjectionAllowed(job)) return false;
    // The job looks at the foreground once a second: in between, a key must
    // not reach the window the player switched to.
    if (platform::ForegroundWindow() != job.hostWindow()) return false;
    platform::SendKey(virtualKey, false);
    return true;
}

void RurAzuEngine::KeyTap(Input::SDLBackend& job, uint16_t virtualKey) {
    const bool down = KeyDown(job, virtualKey);
    job.Pause(kTapMs);
    // A key that went down always comes up, allowed or not by now.
    if (down) platform::SendKey(virtualKey, true);
}

void RurAzuEngine::PressAction(Input::SDLBackend& job, PressState& record, MenuItem& item,
                               bool fromKeyboard) {
    if (record.pressed || !IsGameModeAllowed(item)) return;
    record.pressed = true;
    record.pendingFire = false;
    record.lastSendTime = job.lastTick();
    record.repeatDelay = kFirstRepeatMs;
    record.sendCount = 0;
    const uint32_t delay = item.delayMark;
    item.holdTime = delay <= kMaxDelayMark ? kHoldTimes[delay] : 0;
    if (item.extra <= 0 || delay != 0) return;
    // A keyboard key goes out when it is released (or repeats once held), so
    // a key the player taps reaches the host as one tap.
    if (fromKeyboard) {
        record.pendingFire = true;
    } else {
        SendActionDown(job, record, item);
    }
}

bool RurAzuEngine::SendActionDown(Input::SDLBackend& job, PressState& record, MenuItem& item) {
    if (item.extra > 0 || record.sendCount > 0) {
        // Repeats go on with the key the press went down with.
        const auto key = record.sendCount > 0 ? record.sentKey : static_cast<uint16_t>(item.extra);
        if (KeyDown(job, key) && ++record.sendCount == 1) {
            ++Holders(key);
            record.sentKey = key;
        }
        record.lastSendTime = job.lastTick();
        if (item.extra == kVkBack && record.sendCount == 1 && ReadGameMode() == host_modes::kStageMenu)
            KeyTap(job, kVkEscape);
        return true;
    }
    switch (item.id) {
        case RURAZU_LCTRL_S: {
            const bool control = KeyDown(job, kVkLeftControl);
            const bool s = KeyDown(job, kVkS);
            job.Pause(kTapMs);
            if (s) platform::SendKey(kVkS, true);
            if (control) platform::SendKey(kVkLeftControl, true);
            return true;
        }
        case RURAZU_IGNITION:
            SendHostCommand(host_commands::kIgnition, 1);
            record.twoPhaseRunning = true;
            return true;
        case RURAZU_RESTART_STAGE:
            SendHostCommand(host_commands::kRestartStage, 0);
            return true;
        case RURAZU_CALLFORHELP:
            SendHostCommand(host_commands::kCallForHelp, 0);
            return true;
        case RURAZU_RETIRE_STAGE:
            SendHostCommand(host_commands::kRetireStage, 0);
            return true;
        case RURAZU_EXIT_KVT:
            platform::PostCloseMessage(Host().hostWindow);
            return true;
        case RURAZU_VR_RESETVIEW:
        case RURAZU_VR_TOGGLEDEBUG: {
            const bool reset = item.id == RURAZU_VR_RESETVIEW;
            const int32_t state = DetectVrPlugin();
            if (state == vr_states::kConfigTool) KeyTap(job, reset ? kVkInsert : kVkDivide);
            if (state == vr_states::kPlugin)
                CallVr(reset ? vr_commands::kResetView : vr_commands::kDebugToggle);
            return true;
        }
        default:
            if (IsSeatMove(item.id)) {
                MoveVrSeat(seat_directions::kForward + (item.id - RURAZU_VR_MOVE_SEAT_FORWARD), 0);
                record.twoPhaseRunning = true;
                return true;
            }
            return false;
    }
}

void RurAzuEngine::ReleaseIdle(PressState& record, const MenuItem& item) {
    record.twoPhaseRunning = false;
    if (item.id == RURAZU_IGNITION) SendHostCommand(host_commands::kIgnition, 0);
    if (IsSeatMove(item.id)) MoveVrSeat(seat_directions::kStop, 0);
}

void RurAzuEngine::ReleaseAction(Input::SDLBackend& job, PressState& record, MenuItem& item) {
    if (!record.pressed) {
        ReleaseIdle(record, item);
        return;
    }
    if (record.pendingFire) {
        record.pendingFire = false;
        if (SendActionDown(job, record, item) && item.extra > 0) job.Pause(kTapMs);
    }
    DropPressed(record, item);
}

void RurAzuEngine::DropPressed(PressState& record, const MenuItem& item) {
    record.pendingFire = false;
    if (!record.pressed) return;
    // Sent even where a key-down would not be (a capture started, the host
    // window lost the front): no key the plug-in pressed stays down, unless
    // another binding still holds the same key.
    if (record.sendCount > 0 && LastHolderLetsGo(record.sentKey)) platform::SendKey(record.sentKey, true);
    if (item.holdTime != 0) reports_.ShowHold(item, 0);
    record.pressed = false;
}

void RurAzuEngine::ReleaseEverything() {
    for (size_t i = 0; i < pressStates_.size(); ++i) {
        PressState& record = pressStates_[i];
        const MenuItem& item = *actions_[i];
        record.inputDown = false;
        if (record.pressed) {
            DropPressed(record, item);
        } else {
            record.pendingFire = false;
            ReleaseIdle(record, item);
        }
    }
}

void RurAzuEngine::LetGoUnseen(bool (*stopRunning)(const PressState& record)) {
    for (size_t i = 0; i < pressStates_.size(); ++i) {
        PressState& record = pressStates_[i];
        const MenuItem& item = *actions_[i];
        DropPressed(record, item);
        record.binding.Follow(item);
        // Its release will not be read: the next press must count.
        if (stopRunning(record)) record.inputDown = false;
        if (record.twoPhaseRunning && stopRunning(record)) ReleaseIdle(record, item);
    }
}

void RurAzuEngine::DropAll(const Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    for (size_t i = 0; i < pressStates_.size(); ++i) DropPressed(pressStates_[i], *actions_[i]);
}

void RurAzuEngine::OnJobEnding(const Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    ServeReleaseRequest();
    LetGoUnseen(&AnyBinding);
}

void RurAzuEngine::ReleaseAll(const Input::SDLBackend& job) {
    if (job.IsRunning() && !job.OnJobThread()) {
        releaseRequested_ = true;
        return;
    }
    KVT_ASSERT_JOB_THREAD(job);
    releaseRequested_ = false;
    ReleaseEverything();
}

void RurAzuEngine::ServeReleaseRequest() {
    if (releaseRequested_.exchange(false)) ReleaseEverything();
}

bool RurAzuEngine::Conflicts(const PressState& record, const MenuItem& item) const {
    for (const RurAzuEngine* peer : peers_) {
        for (size_t i = 0; i < peer->pressStates_.size(); ++i) {
            const PressState& theirs = peer->pressStates_[i];
            if (!theirs.pressed) continue;
            const MenuItem& other = *peer->actions_[i];
            const uint32_t delay = other.delayMark;
            if (&other != &item && delay != 0 && delay != item.delayMark &&
                theirs.binding.SameInputAs(record.binding))
                return true;
        }
    }
    return false;
}

void RurAzuEngine::OnInputEvent(const SDL_Event& event, Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    ServeReleaseRequest();
    if (event.type == SDL_EVENT_JOYSTICK_REMOVED) {
        ReleaseEverything();
        return;
    }
    if (!CanMatchBinding(event.type)) return;
    const bool fromKeyboard = event.type == SDL_EVENT_KEY_DOWN || event.type == SDL_EVENT_KEY_UP;
    // A hat sliding to another position, or an axis that stays back from its
    // threshold (it reports every move), releases only what acts: the release
    // of a record neither held nor running would send ignition off or a seat
    // stop. Centring a hat releases every direction, as a button's up does.
    const bool onlyActing =
        event.type == SDL_EVENT_JOYSTICK_AXIS_MOTION ||
        (event.type == SDL_EVENT_JOYSTICK_HAT_MOTION && event.jhat.value != SDL_HAT_CENTERED);
    Input::BindingTexts& texts = job.Texts();
    for (size_t i = 0; i < pressStates_.size(); ++i) {
        PressState& record = pressStates_[i];
        MenuItem& item = *actions_[i];
        record.binding.Follow(item);
        switch (texts.Match(record.binding, event)) {
            case Input::BindingMatch::Press:
                // A Short action dropped for a Long one on the same input
                // stays dropped while the input is down.
                if (record.inputDown) break;
                record.inputDown = true;
                PressAction(job, record, item, fromKeyboard);
                break;
            case Input::BindingMatch::Release:
                record.inputDown = false;
                if (!onlyActing || record.pressed || record.twoPhaseRunning) ReleaseAction(job, record, item);
                break;
            case Input::BindingMatch::None:
                break;
        }
    }
}

void RurAzuEngine::OnTick(Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    ServeReleaseRequest();
    const bool front = job.isForeground();
    if (wasForeground_ && !front) {
        // The player switched away: nothing the plug-in holds may stay down
        // in the window now in front, and the keyboard is no longer read, so
        // a key's release (ignition's or a seat move's stop too) would be lost.
        LetGoUnseen(&BoundToKeyboard);
    }
    wasForeground_ = front;

    const uint32_t now = job.lastTick();
    for (size_t i = 0; i < pressStates_.size(); ++i) {
        PressState& record = pressStates_[i];
        if (!record.pressed) continue;
        MenuItem& item = *actions_[i];
        if (!IsGameModeAllowed(item)) {
            record.pendingFire = false;
            ReleaseAction(job, record, item);
            continue;
        }
        const uint32_t hold = item.holdTime;
        if (hold != 0) {
            const uint32_t elapsed = now - record.lastSendTime;
            bool fire = false;
            if (elapsed >= hold + kFireAfterHoldMs) {
                if (!Conflicts(record, item)) {
                    fire = true;
                } else if (elapsed - hold < kConflictGraceMs) {
                    record.pendingFire = true;
                } else {
                    record.pendingFire = false;
                    ReleaseAction(job, record, item);
                }
            }
            if (!fire) {
                if (record.pressed && elapsed >= kBarFromMs) reports_.ShowHold(item, elapsed);
                continue;
            }
        }
        if (item.extra <= 0) {
            // Fired once; a pending fire from a conflict must not fire it twice.
            record.pendingFire = false;
            SendActionDown(job, record, item);
            ReleaseAction(job, record, item);
            continue;
        }
        // A pass may read a little short of its length (the millisecond cut,
        // a timer waking early): a repeat due then would skip a whole pass.
        const uint32_t jitter = std::min(kClockJitterMs, job.passMs() / 2);
        if (now - record.lastSendTime + jitter < record.repeatDelay) continue;
        SendActionDown(job, record, item);
        record.repeatDelay = kRepeatMs;
        if (hold == 0) continue;
        record.pendingFire = false;
        ReleaseAction(job, record, item);
    }
}
