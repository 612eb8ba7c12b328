// Binding texts: how an event becomes the text that a binding stores and is
// matched by ("#3 Wheel", "H0.2 Wheel", "K30 Keyboard"), which device a text
// names, the pages' shared answers to the job's device questions, and how a
// keyboard binding is shown.
#pragma once

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include <string>
#include <string_view>

class CPluginBase;
class MenuItem;

namespace Input {

// Longest binding text; longer ones are cut.
inline constexpr size_t kMaxBindingText = 127;
inline constexpr const char* kKeyboardDevice = "Keyboard";

// The event's binding text (empty for axes and anything unbindable). The
// texts live in per-kind buffers that are reformatted only when the input
// differs from the last one: the job's thread only.
const char* MakeBindingText(const SDL_Event& event);
// For a centred hat: the prefix "H<hat>." every binding of that hat starts
// with, and the controller's name alone. The job's thread only.
const char* HatPrefixText(const SDL_Event& event);
const char* ControllerNameText(SDL_JoystickID id);

// What an event does to one binding: a down (or a hat pushed to exactly that
// position) presses it, an up releases it, and a hat leaving a position
// releases it: centred, a hat releases every binding of it on that
// controller; moved to another position, every binding of another position.
// Axes never match. The job's thread only (the texts' caches).
enum class BindingMatch { None, Press, Release };
BindingMatch MatchBinding(std::string_view binding, const SDL_Event& event);
// The same for a binding line's text, read in place under its lock: the
// one rule both engines press and release by.
BindingMatch MatchBinding(const MenuItem& binding, const SDL_Event& event);

// SDL's name for a joystick, also before it is opened; empty when none.
std::string GetJoystickNameById(SDL_JoystickID id);

// The pages' shared listener answers: nothing while the page is switched off,
// otherwise whether one of its bindings names the device.
bool PageBindsDevice(const CPluginBase& page, const std::string& deviceName);
bool PageBindsJoystick(const CPluginBase& page, SDL_JoystickID id);

// What the menu shows for a binding: a keyboard binding with the key's name
// while the job runs and the keyboard reader can name it, else the text.
std::string BindingDisplayText(const std::string& text);
// The key's name for a keyboard binding text, or null when the text is shown
// as it is. Points into the keyboard reader's cache: the host's thread only.
const char* BindingKeyName(std::string_view text);

}  // namespace Input
