// The shared binding capture and its one-time end.
#include "input/binding_capture.h"

#include <cstdio>

#include "config/setting.h"
#include "core/host_interface.h"
#include "core/menu_item.h"
#include "core/text.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/key_output.h"
#include "platform/platform.h"

namespace Input {

bool BindingCapture::Start(MenuItem* item, uint32_t now, SDLBackend& backend) {
    return Begin(item, now, backend, false);
}

bool BindingCapture::StartKeyCode(MenuItem* item, uint32_t now, SDLBackend& backend) {
    return Begin(item, now, backend, true);
}

MenuItem* BindingCapture::Waiting() const {
    kvt::MutexLock lock(lock_);
    return state_.waiting;
}

uint32_t BindingCapture::StartedAt() const {
    kvt::MutexLock lock(lock_);
    return state_.stamp;
}

BindingCapture::State BindingCapture::Snapshot() const {
    kvt::MutexLock lock(lock_);
    return state_;
}

bool BindingCapture::Begin(MenuItem* item, uint32_t now, SDLBackend& backend, bool keyCodeOnly) {
    {
        kvt::MutexLock lock(lock_);
        if (!item || state_.waiting || now - state_.stamp <= kRestartGapMs) return false;
        state_ = {item, keyCodeOnly, now};
        anyWaiting_ = true;
    }
    backend.ConnectBoundDevices(true, false);
    // Only now is every controller open, and its axes can be read.
    connectedStamp_ = now;
    return true;
}

bool BindingCapture::OnInputEvent(const SDL_Event& event, SDLBackend& backend,
                                  void (*prepare)(MenuItem& item)) {
    KVT_ASSERT_JOB_THREAD(backend);
    if (!anyWaiting_) return false;
    const State now = Snapshot();
    MenuItem* item = now.waiting;
    // The job's pass may have begun just before the host's thread stamped the
    // start: that is "not yet settled", not a difference of 49 days.
    if (!item || static_cast<int32_t>(backend.lastTick() - now.stamp) <= static_cast<int32_t>(kSettleMs))
        return false;
    if (now.keyCodeOnly) return EndWithKeyCode(event, backend, item);
    if (event.type == SDL_EVENT_JOYSTICK_AXIS_MOTION) {
        char axisText[kMaxBindingText + 1];
        return AxisPushedFar(event, backend, axisText) && EndWithText(item, axisText, backend, prepare);
    }
    if (!IsPress(event)) return false;
    return EndWithText(item, backend.Texts().Make(event), backend, prepare);
}

void BindingCapture::OnTick(SDLBackend& backend) {
    KVT_ASSERT_JOB_THREAD(backend);
    if (!anyWaiting_) return;
    const State now = Snapshot();
    const uint32_t stamp = now.stamp;
    if (!now.waiting || axesStamp_ == stamp || connectedStamp_ != stamp) return;
    // Where every axis rests as the capture starts: the one that moves far
    // from there is the one the player pushes.
    axesStamp_ = stamp;
    axisStarts_.Clear();
    for (SDL_JoystickID id : backend.OpenJoystickIds()) {
        SDL_Joystick* joystick = SDL_GetJoystickFromID(id);
        const int axes = joystick ? SDL_GetNumJoystickAxes(joystick) : 0;
        for (int axis = 0; axis < axes && axisStarts_.Add(id, axis, SDL_GetJoystickAxis(joystick, axis));
             ++axis) {
        }
    }
}

bool BindingCapture::AxisPushedFar(const SDL_Event& event, SDLBackend& backend, char* text) const {
    if (axesStamp_ != StartedAt()) return false;
    const SDL_JoyAxisEvent& moved = event.jaxis;
    const AxisRests::Rest* start = axisStarts_.Find(moved.which, moved.axis);
    if (!start || !AxisPushed(start->value, moved.value)) return false;
    WritePushedAxisText(text, start->value, moved, backend.Texts().ControllerName(moved.which));
    return true;
}

bool BindingCapture::EndWithText(MenuItem* item, const std::string& text, SDLBackend& backend,
                                 void (*prepare)(MenuItem& item)) {
    // The text is taken before the end is claimed: a time-out in between
    // leaves the item as it was.
    if (!Claim(item, platform::ClockMs())) return false;
    if (prepare) prepare(*item);
    item->SetValue(text);
    TheMenuBook().unsavedChanges = true;
    backend.HoldBackUntilReleased(text.c_str());
    Reconnect(backend);
    return true;
}

bool BindingCapture::EndWithKeyCode(const SDL_Event& event, SDLBackend& backend, MenuItem* item) {
    if (event.type != SDL_EVENT_KEY_DOWN) return false;
    const uint16_t code = platform::VirtualKeyOfKeyIndex(static_cast<uint32_t>(event.key.scancode));
    if (code == 0) return false;
    const std::string text = backend.Texts().Make(event);
    if (!Claim(item, platform::ClockMs())) return false;
    item->extra = code;
    renamed_ = item;
    TheMenuBook().unsavedChanges = true;
    // The key chosen is the code's, no binding's: its own press acts nowhere.
    backend.HoldBackUntilReleased(text.c_str());
    Reconnect(backend);
    return true;
}

bool BindingCapture::Abandon(uint32_t now, SDLBackend& backend) {
    MenuItem* item = Waiting();
    if (!item || !Claim(item, now)) return false;
    Reconnect(backend);
    return true;
}

bool BindingCapture::Claim(MenuItem* item, uint32_t now) {
    kvt::MutexLock lock(lock_);
    if (state_.waiting != item || !item) return false;
    state_ = {nullptr, false, now};
    anyWaiting_ = false;
    return true;
}

float BindingCapture::DrawCountdown(IHostGame* game, MenuItem* item, float x, float y, float lineHeight,
                                    SDLBackend& backend) {
    const State state = Snapshot();
    if (!item || item != state.waiting) return -1.0f;
    const uint32_t now = platform::ClockMs();
    const uint32_t elapsed = now - state.stamp;
    if (elapsed >= kTimeoutMs) {
        Abandon(now, backend);
        return -1.0f;
    }
    char countdown[32];
    std::snprintf(countdown, sizeof countdown, "(Waiting %d secs)",
                  static_cast<int>(kTimeoutMs / 1000 - elapsed / 1000));
    char name[kMaxNameText + 1];
    item->WithName([&](std::string_view text) { CopyCut(text, name, sizeof name); });
    game->WriteText(x, y, name);
    game->WriteText(x + 200, y, countdown);
    return lineHeight;
}

void BindingCapture::Reconnect(SDLBackend& backend) {
    backend.DisconnectAllDevices();
    backend.ConnectBoundDevices(false, false);
}

}  // namespace Input
