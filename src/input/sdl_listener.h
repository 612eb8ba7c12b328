// What a page is to the input job: every page (the three RurAzu pages and the
// GearGate page) implements this as its second base and does all its input
// work inside these calls, on the job's thread.
#pragma once

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include <string>
#include <vector>

class MenuItem;

namespace Input {

class SDLBackend;

class SDLListener {
public:
    virtual ~SDLListener() = default;
    // Once per loop pass, after that pass's events.
    virtual void OnTick() = 0;
    // Every polled event, and every keyboard change as a key down/up event
    // whose scancode field holds the DirectInput key index, first to every
    // page's binding capture: true when it ended a capture here, and then no
    // page's OnInputEvent hears the event (the input that binds acts
    // nowhere, on no page, until it is released).
    virtual bool OnCaptureEvent(const SDL_Event&) { return false; }
    // Then to every page, unless a capture took it.
    virtual void OnInputEvent(const SDL_Event& event) = 0;
    // Whether a binding of this page names the device ("Keyboard" or a
    // controller's name); false while the page is switched off.
    virtual bool IsDeviceBound(const std::string& deviceName) = 0;
    virtual bool IsJoystickBound(SDL_JoystickID id) = 0;
    // After every device was closed.
    virtual void OnDevicesDisconnected() = 0;
    // The job's thread, once, when its passes end for any reason (a stop, the
    // host closing, a failure): let go of whatever the page holds, since no
    // release will ever be read now.
    virtual void OnJobEnding() {}
    // The page's lines, which the job reads for the inputs that marked
    // bindings take from plain ones; fixed while the job runs.
    virtual const std::vector<MenuItem*>* Lines() const { return nullptr; }

    // The job the listener is registered with (set by AddListener, forgotten
    // by RemoveListener), or the process's job before and after that.
    SDLBackend& Job();
    SDLBackend* backend = nullptr;
};

}  // namespace Input
