// The RurAzu engine: events of bound buttons, hats and keys become the host's
// keys, host commands, the close request and VR calls, with hold delays,
// auto-repeat, game-mode rules and hold bars. Runs on the input job's thread.
#include <array>
#include <atomic>
#include <cstring>

#include "core/setting_id.h"
#include "core/host_locations.h"
#include "core/host_messages.h"
#include "core/vr_bridge.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/host_memory.h"
#include "platform/key_output.h"
#include "platform/platform.h"
#include "rurazu/rurazu_pages.h"

using namespace rurazu_timing;

namespace {
constexpr uint16_t kVkBack = 0x08;
constexpr uint16_t kVkEscape = 0x1B;
constexpr uint16_t kVkInsert = 0x2D;
constexpr uint16_t kVkS = 0x53;
constexpr uint16_t kVkDivide = 0x6F;
constexpr uint16_t kVkLeftControl = 0xA2;

// Game-mode rules of a binding.
constexpr uint32_t kAnyTime = 0;
constexpr uint32_t kRaceRule = 1;
constexpr uint32_t kMenuRule = 2;

// What the menu rule reads of the host in mode 1 (a car in the host's yard,
// which is a menu to the player) and in modes 10 and 15.
constexpr uint32_t kObject1Field = 8;
constexpr uint32_t kObject2Field = 0x78;
constexpr uint32_t kBlockField = 0x130;
constexpr char kYardStage[] = "Rally Yard";
constexpr size_t kYardStageLength = sizeof kYardStage - 1;

// The stage name is a text of 16-bit characters.
bool StageIsYard(uint32_t stageName) {
    if (stageName == 0) return false;
    for (size_t i = 0; i < kYardStageLength; ++i)
        if (platform::HostRead<uint16_t>(stageName + 2 * static_cast<uint32_t>(i)) !=
            static_cast<unsigned char>(kYardStage[i]))
            return false;
    return true;
}

bool InMenuMode1() {
    const HostLocations& host = Host();
    const uint32_t object1 = host.hostObject1;
    const uint32_t object2 = host.hostObject2;
    // A host object not yet there tells nothing: no menu.
    if (object1 == 0 || object2 == 0) return false;
    return platform::HostRead<uint32_t>(object1 + kObject1Field) == 0 &&
           platform::HostRead<uint32_t>(object2 + kObject2Field) == 1 && StageIsYard(host.stageName);
}

bool IsSeatMove(int32_t id) {
    return id >= RURAZU_VR_MOVE_SEAT_FORWARD && id <= RURAZU_VR_MOVE_SEAT_DOWN;
}

// How many press records of all pages hold each virtual key down: two
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

bool BoundToKeyboard(const MenuItem& item) {
    return item.TextOnDevice("K", Input::kKeyboardDevice);
}

bool AnyBinding(const MenuItem&) {
    return true;
}

// Actions that must not fire by accident start out needing a long hold, set
// before the binding appears so nobody sees it bound without it.
void LongHoldWhenFirstBound(MenuItem& item) {
    const bool dangerous = item.id == RURAZU_RESTART_STAGE || item.id == RURAZU_CALLFORHELP ||
                           item.id == RURAZU_RETIRE_STAGE || item.id == RURAZU_EXIT_KVT;
    if (dangerous && item.TextEquals("")) item.delayMark = rurazu_timing::kMaxDelayMark;
}
}  // namespace

bool KVTRurazuBase::IsGameModeAllowed(const MenuItem& item) {
    const int32_t mode = ReadGameMode();
    switch (item.contextMark) {
        case kAnyTime:
            return true;
        case kRaceRule:
            if (mode == 1 || mode == 10) return true;
            if (item.id == RURAZU_RESTART_STAGE) return mode == 2;
            if (item.id == RURAZU_RETIRE_STAGE) return mode == 2 || mode == 8;
            return false;
        case kMenuRule:
            if (mode == 2 || mode == 3 || mode == 8 || mode == 9) return true;
            if (mode == 1) return InMenuMode1();
            if (mode == 10 || mode == 15) {
                const uint32_t block = Host().hostBlock;
                return block != 0 && platform::HostRead<uint32_t>(block + kBlockField) == 1;
            }
            return false;
        default:
            return true;
    }
}

bool KVTRurazuBase::InjectionAllowed() {
    return !capture.Waiting() && Job().isForeground();
}

bool KVTRurazuBase::KeyDown(uint16_t virtualKey) {
    if (!InjectionAllowed()) return false;
    // The job looks at the foreground once a second: in between, a key must
    // not reach the window the player switched to.
    if (platform::ForegroundWindow() != Job().hostWindow()) return false;
    platform::SendKey(virtualKey, false);
    return true;
}

void KVTRurazuBase::KeyTap(uint16_t virtualKey) {
    const bool down = KeyDown(virtualKey);
    platform::SleepMs(kTapMs);
    // A key that went down always comes up, allowed or not by now.
    if (down) platform::SendKey(virtualKey, true);
}

void KVTRurazuBase::ShowHold(const MenuItem& item, uint32_t elapsed) {
    if (HoldProgressOverlay* overlay = HoldOverlay()) overlay->SetHoldProgress(&item, elapsed);
}

void KVTRurazuBase::PressAction(PressState& record, MenuItem& item, bool fromKeyboard) {
    if (record.pressed || !IsGameModeAllowed(item)) return;
    record.pressed = true;
    record.pendingFire = false;
    record.lastSendTime = Job().lastTick();
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
        SendActionDown(record, item);
    }
}

bool KVTRurazuBase::SendActionDown(PressState& record, MenuItem& item) {
    if (item.extra > 0) {
        const auto key = static_cast<uint16_t>(item.extra);
        if (KeyDown(key) && ++record.sendCount == 1) ++Holders(key);
        record.lastSendTime = Job().lastTick();
        if (item.extra == kVkBack && record.sendCount == 1 && ReadGameMode() == 2) KeyTap(kVkEscape);
        return true;
    }
    switch (item.id) {
        case RURAZU_LCTRL_S: {
            const bool control = KeyDown(kVkLeftControl);
            const bool s = KeyDown(kVkS);
            platform::SleepMs(kTapMs);
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
            if (state == vr_states::kConfigTool) KeyTap(reset ? kVkInsert : kVkDivide);
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

void KVTRurazuBase::ReleaseIdle(PressState& record, const MenuItem& item) {
    record.twoPhaseRunning = false;
    if (item.id == RURAZU_IGNITION) SendHostCommand(host_commands::kIgnition, 0);
    if (IsSeatMove(item.id)) MoveVrSeat(seat_directions::kStop, 0);
}

void KVTRurazuBase::ReleaseAction(PressState& record, MenuItem& item) {
    if (!record.pressed) {
        ReleaseIdle(record, item);
        return;
    }
    if (record.pendingFire) {
        record.pendingFire = false;
        if (SendActionDown(record, item) && item.extra > 0) platform::SleepMs(kTapMs);
    }
    DropPressed(record, item);
}

void KVTRurazuBase::DropPressed(PressState& record, MenuItem& item) {
    record.pendingFire = false;
    if (!record.pressed) return;
    // Sent even where a key-down would not be (a capture started, the host
    // window lost the front): no key the plug-in pressed stays down, unless
    // another binding still holds the same key.
    if (item.extra > 0 && record.sendCount > 0) {
        const auto key = static_cast<uint16_t>(item.extra);
        if (LastHolderLetsGo(key)) platform::SendKey(key, true);
    }
    if (item.holdTime != 0) ShowHold(item, 0);
    record.pressed = false;
}

void KVTRurazuBase::ReleaseEverything() {
    for (size_t i = 0; i < pressStates.size(); ++i) {
        PressState& record = pressStates[i];
        MenuItem& item = ActionItem(i);
        if (record.pressed) {
            DropPressed(record, item);
        } else {
            record.pendingFire = false;
            ReleaseIdle(record, item);
        }
    }
}

void KVTRurazuBase::LetGoUnseen(bool (*stopRunning)(const MenuItem& item)) {
    for (size_t i = 0; i < pressStates.size(); ++i) {
        PressState& record = pressStates[i];
        MenuItem& item = ActionItem(i);
        DropPressed(record, item);
        if (record.twoPhaseRunning && stopRunning(item)) ReleaseIdle(record, item);
    }
}

void KVTRurazuBase::OnJobEnding() {
    ServeReleaseRequest();
    LetGoUnseen(&AnyBinding);
}

void KVTRurazuBase::OnDevicesDisconnected() {
    Input::SDLBackend& job = Job();
    if (job.IsRunning() && !job.OnJobThread()) {
        releaseRequested_ = true;
        return;
    }
    releaseRequested_ = false;
    ReleaseEverything();
}

void KVTRurazuBase::ServeReleaseRequest() {
    if (releaseRequested_.exchange(false)) ReleaseEverything();
}

bool KVTRurazuBase::Conflicts(const MenuItem& item) const {
    const CPluginBase* root = Root();
    for (size_t p = 0; p < 3 && p < root->children.size(); ++p) {
        const auto* page = dynamic_cast<const KVTRurazuBase*>(root->children[p]);
        if (!page) continue;
        for (size_t i = 0; i < page->pressStates.size(); ++i) {
            if (!page->pressStates[i].pressed) continue;
            const MenuItem& other = *page->items[static_cast<size_t>(page->firstAction) + i];
            const uint32_t delay = other.delayMark;
            if (&other != &item && delay != 0 && delay != item.delayMark && other.SameBindingAs(item))
                return true;
        }
    }
    return false;
}

void KVTRurazuBase::OnInputEvent(const SDL_Event& event) {
    if (!PageEnabled()) return;
    ServeReleaseRequest();
    switch (event.type) {
        case SDL_EVENT_KEY_DOWN:
        case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
        case SDL_EVENT_KEY_UP:
        case SDL_EVENT_JOYSTICK_BUTTON_UP: {
            const bool down =
                event.type == SDL_EVENT_KEY_DOWN || event.type == SDL_EVENT_JOYSTICK_BUTTON_DOWN;
            const bool fromKeyboard = event.type == SDL_EVENT_KEY_DOWN || event.type == SDL_EVENT_KEY_UP;
            const char* text = Input::MakeBindingText(event);
            for (size_t i = 0; i < pressStates.size(); ++i) {
                MenuItem& item = ActionItem(i);
                if (!item.TextEquals(text)) continue;
                if (down) {
                    PressAction(pressStates[i], item, fromKeyboard);
                } else {
                    ReleaseAction(pressStates[i], item);
                }
            }
            break;
        }
        case SDL_EVENT_JOYSTICK_HAT_MOTION: {
            // A hat holds one position at a time: centring releases every
            // direction of it, and sliding to another releases the one left.
            const bool centred = event.jhat.value == SDL_HAT_CENTERED;
            const char* text = centred ? "" : Input::MakeBindingText(event);
            const char* prefix = Input::HatPrefixText(event);
            const char* device = Input::ControllerNameText(event.jhat.which);
            for (size_t i = 0; i < pressStates.size(); ++i) {
                PressState& record = pressStates[i];
                MenuItem& item = ActionItem(i);
                if (!centred && item.TextEquals(text)) {
                    PressAction(record, item, false);
                } else if ((centred || record.pressed || record.twoPhaseRunning) &&
                           item.TextOnDevice(prefix, device)) {
                    ReleaseAction(record, item);
                }
            }
            break;
        }
        case SDL_EVENT_JOYSTICK_REMOVED:
            ReleaseEverything();
            break;
        default:
            break;
    }

    capture.OnInputEvent(event, Job(), &LongHoldWhenFirstBound);
}

void KVTRurazuBase::OnTick() {
    ServeReleaseRequest();
    Input::SDLBackend& job = Job();
    const bool front = job.isForeground();
    if (wasForeground_ && !front) {
        // The player switched away: nothing the plug-in holds may stay down
        // in the window now in front, and the keyboard is no longer read, so
        // a key's release (ignition's or a seat move's stop too) would be lost.
        LetGoUnseen(&BoundToKeyboard);
    }
    wasForeground_ = front;

    const uint32_t now = job.lastTick();
    for (size_t i = 0; i < pressStates.size(); ++i) {
        PressState& record = pressStates[i];
        if (!record.pressed) continue;
        MenuItem& item = ActionItem(i);
        if (!IsGameModeAllowed(item)) {
            record.pendingFire = false;
            ReleaseAction(record, item);
            continue;
        }
        const uint32_t hold = item.holdTime;
        if (hold != 0) {
            const uint32_t elapsed = now - record.lastSendTime;
            bool fire = false;
            if (elapsed >= hold + kFireAfterHoldMs) {
                if (!Conflicts(item)) {
                    fire = true;
                } else if (elapsed - hold < kConflictGraceMs) {
                    record.pendingFire = true;
                } else {
                    record.pendingFire = false;
                    ReleaseAction(record, item);
                }
            }
            if (!fire) {
                if (record.pressed && elapsed >= kBarFromMs) ShowHold(item, elapsed);
                continue;
            }
        }
        if (item.extra <= 0) {
            // Fired once; a pending fire from a conflict must not fire it twice.
            record.pendingFire = false;
            SendActionDown(record, item);
            ReleaseAction(record, item);
            continue;
        }
        if (now - record.lastSendTime < record.repeatDelay) continue;
        SendActionDown(record, item);
        record.repeatDelay = kRepeatMs;
        if (hold == 0) continue;
        record.pendingFire = false;
        ReleaseAction(record, item);
    }
}
