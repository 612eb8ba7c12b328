// Binding texts: how an event becomes the text that a binding stores and is
// matched by ("#3 Wheel", "H0.2 Wheel", "K30 Keyboard"), which device a text
// names, the pages' shared answers to the job's device questions, and how a
// keyboard binding is shown.
#pragma once

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/menu_item.h"
#include "core/setting_id.h"
#include "input/controller_marks.h"

class CPluginBase;

namespace Input {

// The longest binding text, declared with the settings.
using ::kMaxBindingText;
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

// A binding text read once into what events are compared with, as SDL reads
// a mapping once: the input job keeps one per line it matches and reads the
// line's text again only when the line says it changed, so an event costs
// number compares, no lock and no text. A text the job could never have made
// ("#03 Wheel") reads as no binding, as it would never have matched.
struct BindingRecord {
    enum class Kind : uint8_t { None, Button, Hat, Key, Axis };
    Kind kind = Kind::None;
    // The button, hat, axis or key (scan code).
    int32_t index = 0;
    int32_t hatValue = 0;
    bool upwards = true;
    int32_t threshold = 0;
    // A text cut at kMaxBindingText names its controller by the name's start.
    bool cut = false;
    // "Wheel #2" names only the second of the controllers called "Wheel";
    // 0 for a plain name, which names every one of them. A byte, so a record
    // keeps to one cache line: every line meets every event.
    uint8_t mark = 0;
    std::string device;
    // The line's text version this was read from; 0 before the first read.
    uint32_t version = 0;

    // Reads the line's text again when it changed since the last read.
    // Allocates only when the controller's name grows.
    void Follow(const MenuItem& line) {
        if (line.TextVersion() != version) Reread(line);
    }
    void Reread(const MenuItem& line);
    // Whether both name the same input of the same controller (both bound).
    bool SameInputAs(const BindingRecord& other) const;
    // Whether the controller's plain name (as SDL gives it) is the one bound.
    bool NamesController(std::string_view name) const;
};
// The record of a text; no binding for anything the job would not make.
BindingRecord ReadBinding(std::string_view text);

// The texts events make and the one matcher both engines press and release
// by. Each kind of text keeps the last one made and what it was made from,
// so a repeated input costs a comparison; the texts handed out live until
// the next call. The input job owns one, for its thread (SDLBackend::Texts).
class BindingTexts {
public:
    // The job's marks of identical controllers; without them (a test's own
    // texts) every controller goes by its plain name.
    void UseMarks(const ControllerMarks* marks) { marks_ = marks; }
    // The marked bindings of every line: an input a marked binding takes on
    // its twin no longer presses a plain binding of that input from there.
    void SetClaims(std::vector<BindingRecord> claims) { claims_ = std::move(claims); }

    // The event's binding text (empty for axes and anything unbindable).
    const char* Make(const SDL_Event& event);
    // The controller's name with its mark, as its binding texts carry it.
    const char* ControllerName(SDL_JoystickID id);
    // Whether the binding names that controller: its plain name names every
    // controller of that name, save on an input a marked binding of the twin
    // takes; a marked name names that twin alone.
    bool Names(const BindingRecord& binding, SDL_JoystickID id);

    BindingMatch Match(const BindingRecord& binding, const SDL_Event& event) {
        // Every line meets every event: most differ in kind, at no call.
        const BindingRecord::Kind kind = KindOf(event.type);
        return kind != BindingRecord::Kind::None && binding.kind == kind ? MatchSameKind(binding, event)
                                                                         : BindingMatch::None;
    }

private:
    static BindingRecord::Kind KindOf(uint32_t eventType) {
        switch (eventType) {
            case SDL_EVENT_KEY_DOWN:
            case SDL_EVENT_KEY_UP:
                return BindingRecord::Kind::Key;
            case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
            case SDL_EVENT_JOYSTICK_BUTTON_UP:
                return BindingRecord::Kind::Button;
            case SDL_EVENT_JOYSTICK_HAT_MOTION:
                return BindingRecord::Kind::Hat;
            case SDL_EVENT_JOYSTICK_AXIS_MOTION:
                return BindingRecord::Kind::Axis;
            default:
                return BindingRecord::Kind::None;
        }
    }
    BindingMatch MatchSameKind(const BindingRecord& binding, const SDL_Event& event);

    template <typename... Parts>
    struct Cache {
        std::tuple<Parts...> parts{};
        bool made = false;
        char text[kMaxBindingText + 1] = {};
        // True when the text has to be made for these parts (they are kept).
        bool Renew(Parts... now);
    };
    // Drops every text made before a controller got its mark.
    void FollowMarks();
    bool Claimed(const BindingRecord& plain) const;

    Cache<SDL_JoystickID, int> button_;
    Cache<SDL_JoystickID, int, int> hat_;
    Cache<int> key_;
    // The controller's marked name, with its mark and its plain name's length.
    Cache<SDL_JoystickID> name_;
    uint32_t nameMark_ = 0;
    size_t namePlain_ = 0;
    const ControllerMarks* marks_ = nullptr;
    uint32_t marksSeen_ = 0;
    std::vector<BindingRecord> claims_;
};

// SDL's name for a joystick, also before it is opened; empty when none.
std::string GetJoystickNameById(SDL_JoystickID id);

// The pages' shared listener answers: nothing while the page is switched off,
// otherwise whether one of its bindings names the device.
bool PageBindsDevice(const CPluginBase& page, const std::string& deviceName);
// A controller's plain name and its marked one are both asked.
bool PageBindsJoystick(const CPluginBase& page, const ControllerMarks& marks, SDL_JoystickID id);

// What the menu shows for a binding: a keyboard binding with the key's name
// while the job runs and the keyboard reader can name it, else the text.
std::string BindingDisplayText(const std::string& text);
// The key's name for a keyboard binding text, or null when the text is shown
// as it is. Points into the keyboard reader's cache: the host's thread only.
const char* BindingKeyName(std::string_view text);

}  // namespace Input
