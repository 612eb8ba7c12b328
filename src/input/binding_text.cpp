// Binding texts and their caches, the device a text names, and the keyboard
// binding's display name.
#include "input/binding_text.h"

#include <cstdio>
#include <cstring>

#include "core/menu_item.h"
#include "core/plugin_base.h"
#include "input/sdl_backend.h"

namespace Input {
namespace {
constexpr size_t kBufferSize = kMaxBindingText + 1;

// The opened joystick's name, as the binding texts use it.
const char* OpenedName(SDL_JoystickID id) {
    SDL_Joystick* joystick = SDL_GetJoystickFromID(id);
    const char* name = joystick ? SDL_GetJoystickName(joystick) : nullptr;
    return name ? name : "";
}
}  // namespace

template <typename... Parts>
bool BindingTexts::Cache<Parts...>::Renew(Parts... now) {
    const std::tuple<Parts...> wanted{now...};
    if (made && wanted == parts) return false;
    made = true;
    parts = wanted;
    return true;
}

const char* BindingTexts::Make(const SDL_Event& event) {
    if (event.type == SDL_EVENT_JOYSTICK_HAT_MOTION) {
        const SDL_JoyHatEvent& hat = event.jhat;
        if (hat_.Renew(hat.which, hat.hat, hat.value))
            std::snprintf(hat_.text, kBufferSize, "H%d.%d %s", hat.hat, hat.value, OpenedName(hat.which));
        return hat_.text;
    }
    if (event.type == SDL_EVENT_KEY_DOWN || event.type == SDL_EVENT_KEY_UP) {
        const int key = static_cast<int>(event.key.scancode);
        if (key_.Renew(key)) std::snprintf(key_.text, kBufferSize, "K%d Keyboard", key);
        return key_.text;
    }
    // Only a button: a device event (added, removed, battery...) shares the
    // button's fields, and read as one it would leave a nameless text in the
    // cache for a controller not yet opened.
    if (event.type == SDL_EVENT_JOYSTICK_BUTTON_DOWN || event.type == SDL_EVENT_JOYSTICK_BUTTON_UP) {
        const SDL_JoyButtonEvent& button = event.jbutton;
        if (button_.Renew(button.which, button.button))
            std::snprintf(button_.text, kBufferSize, "#%d %s", button.button, OpenedName(button.which));
        return button_.text;
    }
    return "";
}

const char* BindingTexts::HatPrefix(const SDL_Event& event) {
    const SDL_JoyHatEvent& hat = event.jhat;
    if (hatPrefix_.Renew(hat.which, hat.hat)) std::snprintf(hatPrefix_.text, kBufferSize, "H%d.", hat.hat);
    return hatPrefix_.text;
}

const char* BindingTexts::ControllerName(SDL_JoystickID id) {
    if (name_.Renew(id)) std::snprintf(name_.text, kBufferSize, "%s", OpenedName(id));
    return name_.text;
}

BindingTexts::EventTexts BindingTexts::TextsOf(const SDL_Event& event) {
    switch (event.type) {
        case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
        case SDL_EVENT_KEY_DOWN:
        case SDL_EVENT_JOYSTICK_BUTTON_UP:
        case SDL_EVENT_KEY_UP:
            return {Make(event), nullptr, nullptr};
        case SDL_EVENT_JOYSTICK_HAT_MOTION:
            return {Make(event), HatPrefix(event), ControllerName(event.jhat.which)};
        case SDL_EVENT_JOYSTICK_AXIS_MOTION:
            // An axis has no text of its own: its bindings carry the threshold.
            return {"", nullptr, ControllerName(event.jaxis.which)};
        default:
            return {nullptr, nullptr, nullptr};
    }
}

BindingMatch BindingTexts::Compare(std::string_view binding, const SDL_Event& event,
                                   const EventTexts& texts) {
    if (binding.empty() || !texts.text) return BindingMatch::None;
    switch (event.type) {
        case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
        case SDL_EVENT_KEY_DOWN:
            return binding == texts.text ? BindingMatch::Press : BindingMatch::None;
        case SDL_EVENT_JOYSTICK_BUTTON_UP:
        case SDL_EVENT_KEY_UP:
            return binding == texts.text ? BindingMatch::Release : BindingMatch::None;
        case SDL_EVENT_JOYSTICK_HAT_MOTION:
            if (event.jhat.value != SDL_HAT_CENTERED && binding == texts.text) return BindingMatch::Press;
            return binding.starts_with(texts.hatPrefix) && DevicePart(binding) == texts.device
                       ? BindingMatch::Release
                       : BindingMatch::None;
        case SDL_EVENT_JOYSTICK_AXIS_MOTION: {
            AxisBinding bound;
            if (binding[0] != 'A' || !ParseAxisBinding(binding, bound) || bound.axis != event.jaxis.axis ||
                bound.controller != texts.device)
                return BindingMatch::None;
            const int32_t value = event.jaxis.value;
            if (bound.upwards ? value > bound.threshold : value < bound.threshold) return BindingMatch::Press;
            const bool back = bound.upwards ? value < bound.threshold - kAxisHysteresis
                                            : value > bound.threshold + kAxisHysteresis;
            return back ? BindingMatch::Release : BindingMatch::None;
        }
        default:
            return BindingMatch::None;
    }
}

bool ParseAxisBinding(std::string_view text, AxisBinding& out) {
    if (text.size() < 4 || text[0] != 'A') return false;
    size_t at = 1;
    auto number = [&](int32_t& value, bool signedNumber) {
        bool negative = false;
        if (signedNumber && at < text.size() && text[at] == '-') {
            negative = true;
            ++at;
        }
        const size_t start = at;
        int64_t magnitude = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && magnitude <= kAxisRange)
            magnitude = magnitude * 10 + (text[at++] - '0');
        if (at == start || magnitude > kAxisRange) return false;
        value = static_cast<int32_t>(negative ? -magnitude : magnitude);
        return true;
    };
    if (!number(out.axis, false) || at >= text.size() || (text[at] != '>' && text[at] != '<')) return false;
    out.upwards = text[at++] == '>';
    if (!number(out.threshold, true) || at >= text.size() || text[at] != ' ') return false;
    out.controller = text.substr(at + 1);
    return !out.controller.empty();
}

void WriteAxisBindingText(char* out, int32_t axis, bool upwards, int32_t threshold, const char* controller) {
    std::snprintf(out, kMaxBindingText + 1, "A%d%c%d %s", axis, upwards ? '>' : '<', threshold,
                  controller ? controller : "");
}

BindingMatch BindingTexts::Match(std::string_view binding, const SDL_Event& event) {
    return Compare(binding, event, TextsOf(event));
}

BindingMatch BindingTexts::Match(const MenuItem& binding, const SDL_Event& event) {
    // Axes move all the time: a line that binds no axis is passed over at once.
    if (event.type == SDL_EVENT_JOYSTICK_AXIS_MOTION && binding.TextKind() != 'A') return BindingMatch::None;
    const EventTexts texts = TextsOf(event);
    if (!texts.text) return BindingMatch::None;
    return binding.WithText([&](std::string_view text) { return Compare(text, event, texts); });
}

std::string GetJoystickNameById(SDL_JoystickID id) {
    const char* name = SDL_GetJoystickNameForID(id);
    return name ? name : "";
}

bool PageBindsDevice(const CPluginBase& page, const std::string& deviceName) {
    return page.PageEnabled() && page.UsesDevice(deviceName);
}

bool PageBindsJoystick(const CPluginBase& page, SDL_JoystickID id) {
    return page.PageEnabled() && page.UsesDevice(GetJoystickNameById(id));
}

std::string BindingDisplayText(const std::string& text) {
    const char* named = BindingKeyName(text);
    return named ? std::string(named) : text;
}

const char* BindingKeyName(std::string_view text) {
    const size_t space = text.find(' ');
    if (text.size() <= 2 || text[0] != 'K' || space == std::string_view::npos || space < 2) return nullptr;
    int key = 0;
    for (size_t i = 1; i < space; ++i) {
        if (text[i] < '0' || text[i] > '9' || key > 100000) return nullptr;
        key = key * 10 + (text[i] - '0');
    }
    SDLBackend& backend = GetBackend();
    InputDI* keyboard = backend.Keyboard();
    if (!backend.IsRunning() || !keyboard) return nullptr;
    const std::string& named = keyboard->KeyCodeName(key);
    return named.empty() ? nullptr : named.c_str();
}

}  // namespace Input
