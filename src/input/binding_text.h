// Binding texts: how an event becomes the text that a binding stores and is
// matched by ("#3 Wheel", "H0.2 Wheel", "K30 Keyboard"), which device a text
// names, the pages' shared answers to the job's device questions, and how a
// keyboard binding is shown.
#pragma once

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include <string>
#include <string_view>
#include <tuple>

class CPluginBase;
class MenuItem;

namespace Input {

// Longest binding text; longer ones are cut.
inline constexpr size_t kMaxBindingText = 127;
inline constexpr const char* kKeyboardDevice = "Keyboard";

// An axis bound as a button: "A<axis>><threshold> <controller>" presses when
// the axis passes the threshold upwards, "A<axis><<threshold> ..."
// downwards ("A2>0 KVT Pedals", "A0<-16384 My Stick"). It releases once the
// axis is back past the threshold by a tenth of its range, so a pedal resting
// at the threshold does not chatter.
inline constexpr int32_t kAxisRange = 65535;
inline constexpr int32_t kAxisHysteresis = kAxisRange / 10;
// An axis counts as moved on purpose (a capture binds it, the status line
// names it) once it is more than a quarter of its range from where it rested:
// from a rest anywhere, a centred stick's or a pedal's, either end is further.
inline constexpr int32_t kAxisMovedOnPurpose = 16384;
struct AxisBinding {
    int32_t axis = 0;
    bool upwards = true;
    int32_t threshold = 0;
    std::string_view controller;
};
// False for any text that is not an axis binding.
bool ParseAxisBinding(std::string_view text, AxisBinding& out);
// Into out (kMaxBindingText + 1 bytes), cut like every binding text.
void WriteAxisBindingText(char* out, int32_t axis, bool upwards, int32_t threshold, const char* controller);

// What an event does to one binding: a down (or a hat pushed to exactly that
// position) presses it, an up releases it, and a hat leaving a position
// releases it: centred, a hat releases every binding of it on that
// controller; moved to another position, every binding of another position.
// An axis presses and releases its axis bindings as above.
enum class BindingMatch { None, Press, Release };

// The texts events make and the one matcher both engines press and release
// by. Each kind of text keeps the last one made and what it was made from,
// so a repeated input costs a comparison; the texts handed out live until
// the next call. The input job owns one, for its thread (SDLBackend::Texts).
class BindingTexts {
public:
    // The event's binding text (empty for axes and anything unbindable).
    const char* Make(const SDL_Event& event);
    // For a hat: the prefix "H<hat>." every binding of that hat starts with,
    // and the controller's name alone.
    const char* HatPrefix(const SDL_Event& event);
    const char* ControllerName(SDL_JoystickID id);

    BindingMatch Match(std::string_view binding, const SDL_Event& event);
    // The same for a binding line's text, read in place under its lock; the
    // event's texts are made before the lock is taken.
    BindingMatch Match(const MenuItem& binding, const SDL_Event& event);

private:
    template <typename... Parts>
    struct Cache {
        std::tuple<Parts...> parts{};
        bool made = false;
        char text[kMaxBindingText + 1] = {};
        // True when the text has to be made for these parts (they are kept).
        bool Renew(Parts... now);
    };
    // The texts an event is matched by: its own (empty for an axis), a hat's
    // prefix, and a hat's or axis's controller (null where none).
    struct EventTexts {
        const char* text;
        const char* hatPrefix;
        const char* device;
    };
    EventTexts TextsOf(const SDL_Event& event);
    static BindingMatch Compare(std::string_view binding, const SDL_Event& event, const EventTexts& texts);

    Cache<SDL_JoystickID, int> button_;
    Cache<SDL_JoystickID, int, int> hat_;
    Cache<int> key_;
    Cache<SDL_JoystickID, int> hatPrefix_;
    Cache<SDL_JoystickID> name_;
};

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
