// The axis rests and the press test shared by the capture and the pass.
#include "input/axis_rests.h"

#include <algorithm>

#include "input/binding_text.h"

namespace Input {

const AxisRests::Rest* AxisRests::Find(SDL_JoystickID joystick, int axis) const {
    for (size_t i = 0; i < count_; ++i)
        if (rests_[i].joystick == joystick && rests_[i].axis == axis) return &rests_[i];
    return nullptr;
}

AxisRests::Rest* AxisRests::Add(SDL_JoystickID joystick, int axis, int32_t value) {
    if (count_ == rests_.size()) return nullptr;
    rests_[count_] = {joystick, axis, value, false};
    return &rests_[count_++];
}

void AxisRests::Forget(SDL_JoystickID joystick) {
    const auto end = std::remove_if(rests_.begin(), rests_.begin() + static_cast<std::ptrdiff_t>(count_),
                                    [&](const Rest& rest) { return rest.joystick == joystick; });
    count_ = static_cast<size_t>(end - rests_.begin());
}

bool AxisPushed(int32_t rest, int32_t value) {
    return value - rest > kAxisMovedOnPurpose || rest - value > kAxisMovedOnPurpose;
}

void WritePushedAxisText(char* text, int32_t rest, const SDL_JoyAxisEvent& moved,
                         const char* controllerName) {
    WriteAxisBindingText(text, moved.axis, moved.value > rest, (rest + moved.value) / 2, controllerName);
}

bool IsPress(const SDL_Event& event) {
    return event.type == SDL_EVENT_JOYSTICK_BUTTON_DOWN || event.type == SDL_EVENT_KEY_DOWN ||
           (event.type == SDL_EVENT_JOYSTICK_HAT_MOTION && event.jhat.value != SDL_HAT_CENTERED);
}

}  // namespace Input
