// What every page of binding lines does alike, whatever its engine: its
// capture, its answers to the job's device questions, Delete on a bound line,
// the start of a capture, and its switch connecting or letting go of the
// devices its bindings name.
#pragma once

#include <string>

#include "core/plugin_base.h"
#include "input/binding_capture.h"
#include "input/sdl_listener.h"

namespace Input {

class BindingPage : public CPluginBase, public SDLListener {
public:
    using CPluginBase::CPluginBase;

    // Nothing while the page is switched off; otherwise whether one of its
    // bindings names the device.
    bool IsDeviceBound(const std::string& deviceName) override;
    bool IsJoystickBound(SDL_JoystickID id) override;
    const std::vector<MenuItem*>* Lines() const override { return &items; }
    // The capture's count-down on its line, and its time-out.
    float DrawMenuItem(int32_t selected, MenuItem* item, int32_t position, int32_t localSelected, float x,
                       float y, float lineHeight) override;

    BindingCapture capture;
    bool listenerRegistered = false;

protected:
    // The page's first name query makes it one of the job's listeners; true
    // that once.
    bool JoinJob();
    // The job stops before the pages go; a page leaves it in its own end,
    // while its engine still stands.
    void LeaveJob();
    // A capture for a binding line, when the line and the page can be bound.
    void StartCapture(MenuItem* item);
    // Delete held on a bound line clears it; true when it did.
    static bool UnbindWhileDeleteHeld(MenuItem& item);
    // Switched on, the job opens what the page's bindings name; switched off,
    // every device is let go and what the other pages need opens again.
    void ConnectAsSwitched(bool on);
};

}  // namespace Input
