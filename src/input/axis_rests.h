// Where controllers' axes rest, and the one rule by which an axis counts as
// pushed on purpose from there: a binding capture binds it, the status line
// names it.
#pragma once

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace Input {

// A fixed table (the per-event path allocates nothing); beyond its room an
// axis is simply not noted.
class AxisRests {
public:
    struct Rest {
        SDL_JoystickID joystick = 0;
        int axis = 0;
        int32_t value = 0;
        bool pushed = false;
    };
    // Null when that axis is not noted.
    const Rest* Find(SDL_JoystickID joystick, int axis) const;
    Rest* Find(SDL_JoystickID joystick, int axis) {
        return const_cast<Rest*>(std::as_const(*this).Find(joystick, axis));
    }
    // Null when the table is full.
    Rest* Add(SDL_JoystickID joystick, int axis, int32_t value);
    void Forget(SDL_JoystickID joystick);
    void Clear() { count_ = 0; }

private:
    std::array<Rest, 64> rests_{};
    size_t count_ = 0;
};

// Whether value lies more than kAxisMovedOnPurpose from rest: a touched
// pedal or a stick's noise never counts.
bool AxisPushed(int32_t rest, int32_t value);
// Into text (kMaxBindingText + 1 bytes), the binding a push from rest to
// moved makes: its direction, and a threshold halfway between the rest and
// the furthest it has been pushed, which is here (the move before did not
// reach past the quarter).
void WritePushedAxisText(char* text, int32_t rest, const SDL_JoyAxisEvent& moved, const char* controllerName);

// Whether the event presses something: a button, a key, a hat off centre.
bool IsPress(const SDL_Event& event);

}  // namespace Input
