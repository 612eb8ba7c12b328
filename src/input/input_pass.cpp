// One pass of the input job and its delivery: Windows' word on controllers,
// SDL's events, the keyboard's changes, each handed to the captures and then
// the pages, and the hold-back of the input that ended a capture.
#include <SDL3/SDL_joystick.h>

#include <algorithm>

#include "core/host_locations.h"
#include "core/log.h"
#include "core/menu_item.h"
#include "input/axis_rests.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/platform.h"

namespace Input {
namespace {
// The controller whose report the event is; 0 for any other event.
SDL_JoystickID ReportingController(const SDL_Event& event) {
    switch (event.type) {
        case SDL_EVENT_JOYSTICK_AXIS_MOTION:
            return event.jaxis.which;
        case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
        case SDL_EVENT_JOYSTICK_BUTTON_UP:
            return event.jbutton.which;
        case SDL_EVENT_JOYSTICK_HAT_MOTION:
            return event.jhat.which;
        case SDL_EVENT_JOYSTICK_BALL_MOTION:
            return event.jball.which;
        default:
            return 0;
    }
}
}  // namespace

bool SDLBackend::RunPass() {
    if (!HostRunning()) return false;
    passThread_ = SDL_GetCurrentThreadID();
    KVT_ASSERT_JOB_THREAD(*this);
    passesRan_ = true;
    Waits().Pace(sleepMs_);
    const uint32_t now = platform::ClockMs();
    lastTick_ = now;
    if (now - foregroundCheck_ >= kForegroundCheckMs) {
        isForeground_ = platform::ForegroundWindow() == hostWindow_;
        sleepMs_ = isForeground_ ? ForegroundSleepMs() : kBackgroundSleepMs;
        foregroundCheck_ = now;
    }

    FollowClaims();
    const uint32_t capturesBefore = captureEnds_;
    reopenedThisPass_ = false;
    FollowDeviceChanges();
    SDL_Event event;
    while (SDL_PollEvent(&event)) HandleEvent(event);
    // A capture's end reopens the controllers while its button or hat is
    // still held, and a fresh controller may never show that input (neither
    // DirectInput's under Wine nor SDL's virtual one does): no release would
    // come, and the hold-back would swallow the next real press. So an input
    // the fresh controller shows let go is no longer held back, once what it
    // shows is its own: it has reported since, or had time to. Its state
    // before its first report is no more than SDL's zeros: a controller whose
    // first report comes late would then act on the press still held.
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

platform::PreciseWait& SDLBackend::Waits() {
    if (!wait_) {
        wait_ = std::make_unique<platform::PreciseWait>();
        // A quiet log stays empty while all is well.
        if (wait_->HighResolution()) {
            if (g_verboseLog) LogLine("Input passes wait on a high-resolution timer");
        } else {
            LogLine(
                "Warning. No high-resolution timer (" + wait_->Refused() +
                "): input passes wait with Sleep, which Windows may round up to its timer period (15.6 ms "
                "unless the game asked for less)");
        }
    }
    return *wait_;
}

void SDLBackend::RefreshControllers() {
    marks_.Refresh();
    status_.RefreshControllers(marks_);
}

void SDLBackend::FollowClaims() {
    const uint32_t version = MenuItem::AnyTextVersion();
    if (version == claimsVersion_) return;
    claimsVersion_ = version;
    std::vector<BindingRecord> claims;
    for (const SDLListener* listener : listeners_) {
        const std::vector<MenuItem*>* lines = listener->Lines();
        for (size_t i = 0; lines && i < lines->size(); ++i) {
            if (!(*lines)[i]->HasText()) continue;
            BindingRecord record;
            record.Reread(*(*lines)[i]);
            if (record.mark != 0) claims.push_back(std::move(record));
        }
    }
    texts_.SetClaims(std::move(claims));
}

void SDLBackend::HandleEvent(const SDL_Event& event) {
    // Named with its mark before anything asks for its name.
    if (event.type == SDL_EVENT_JOYSTICK_ADDED || event.type == SDL_EVENT_JOYSTICK_REMOVED)
        RefreshControllers();
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
    Deliver(event);
}

void SDLBackend::Deliver(const SDL_Event& event) {
    if (IsPress(event)) status_.NoteInput(texts_.Make(event));
    if (event.type == SDL_EVENT_JOYSTICK_AXIS_MOTION) NoteAxis(event.jaxis);
    // Its axes rest anew when it comes back.
    if (event.type == SDL_EVENT_JOYSTICK_REMOVED) axisRests_.Forget(event.jdevice.which);
    if (HeldBack(event)) return;
    // The captures hear it before any page acts: a page listed earlier
    // would otherwise act on the press that binds a line of a later one.
    for (SDLListener* listener : listeners_)
        if (listener->OnCaptureEvent(event)) return;
    for (SDLListener* listener : listeners_) listener->OnInputEvent(event);
}

void SDLBackend::NoteAxis(const SDL_JoyAxisEvent& moved) {
    AxisRests::Rest* found = axisRests_.Find(moved.which, moved.axis);
    if (!found) {
        // Where it rests: SDL's first report of it since it was opened.
        Sint16 rest = moved.value;
        SDL_Joystick* joystick = SDL_GetJoystickFromID(moved.which);
        if (joystick) SDL_GetJoystickAxisInitialState(joystick, moved.axis, &rest);
        found = axisRests_.Add(moved.which, moved.axis, rest);
        if (!found) return;
    }
    const bool pushed = AxisPushed(found->value, moved.value);
    if (pushed && !found->pushed) {
        char text[kMaxBindingText + 1];
        WritePushedAxisText(text, found->value, moved, texts_.ControllerName(moved.which));
        status_.NoteInput(text);
    }
    found->pushed = pushed;
}

void SDLBackend::HoldBackUntilReleased(const char* bindingText) {
    KVT_ASSERT_JOB_THREAD(*this);
    ++captureEnds_;
    heldBack_ = ReadBinding(bindingText);
    heldBackSince_ = lastTick_;
    heldBackReported_ = false;
    reopenedThisPass_ = true;
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
            break;
    }
    const SDL_JoystickID reporting = ReportingController(event);
    if (!heldBackReported_ && !reopenedThisPass_ && reporting != 0)
        heldBackReported_ = texts_.Names(heldBack_, reporting);
    return false;
}

bool SDLBackend::HeldBackShownReleased() {
    const bool button = heldBack_.kind == BindingRecord::Kind::Button;
    if (!button && heldBack_.kind != BindingRecord::Kind::Hat) return false;
    kvt::MutexLock lock(g_joystickListLock);
    for (SDL_Joystick* handle : openJoysticks_) {
        if (!handle || !texts_.Names(heldBack_, SDL_GetJoystickID(handle))) continue;
        const bool released = button ? !SDL_GetJoystickButton(handle, heldBack_.index)
                                     : SDL_GetJoystickHat(handle, heldBack_.index) != heldBack_.hatValue;
        return released && (heldBackReported_ || lastTick_ - heldBackSince_ >= kFirstReportGraceMs);
    }
    return false;
}

}  // namespace Input
