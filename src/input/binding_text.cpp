// Binding texts and their caches, the device a text names, and the keyboard
// binding's display name.
#include "input/binding_text.h"

#include <cstdio>
#include <cstring>
#include <tuple>

#include "core/plugin_base.h"
#include "input/sdl_backend.h"

namespace Input {
namespace {
constexpr size_t kBufferSize = kMaxBindingText + 1;

// Each kind keeps its last text and what it was made from, so a repeated
// input costs a comparison.
template <typename... Parts>
struct TextCache {
    std::tuple<Parts...> parts{};
    bool made = false;
    char text[kBufferSize] = {};
    // True when the text has to be made for these parts (they are kept).
    bool Renew(Parts... now) {
        const std::tuple<Parts...> wanted{now...};
        if (made && wanted == parts) return false;
        made = true;
        parts = wanted;
        return true;
    }
};
TextCache<SDL_JoystickID, int> g_button;
TextCache<SDL_JoystickID, int, int> g_hat;
TextCache<int> g_key;
TextCache<SDL_JoystickID, int> g_hatPrefix;
TextCache<SDL_JoystickID> g_name;

// The opened joystick's name, as the binding texts use it.
const char* OpenedName(SDL_JoystickID id) {
    SDL_Joystick* joystick = SDL_GetJoystickFromID(id);
    const char* name = joystick ? SDL_GetJoystickName(joystick) : nullptr;
    return name ? name : "";
}
}  // namespace

const char* MakeBindingText(const SDL_Event& event) {
    if (event.type == SDL_EVENT_JOYSTICK_HAT_MOTION) {
        const SDL_JoyHatEvent& hat = event.jhat;
        if (g_hat.Renew(hat.which, hat.hat, hat.value))
            std::snprintf(g_hat.text, kBufferSize, "H%d.%d %s", hat.hat, hat.value, OpenedName(hat.which));
        return g_hat.text;
    }
    if (event.type == SDL_EVENT_KEY_DOWN || event.type == SDL_EVENT_KEY_UP) {
        const int key = static_cast<int>(event.key.scancode);
        if (g_key.Renew(key)) std::snprintf(g_key.text, kBufferSize, "K%d Keyboard", key);
        return g_key.text;
    }
    if (event.type >= SDL_EVENT_JOYSTICK_BUTTON_DOWN) {
        const SDL_JoyButtonEvent& button = event.jbutton;
        if (g_button.Renew(button.which, button.button))
            std::snprintf(g_button.text, kBufferSize, "#%d %s", button.button, OpenedName(button.which));
        return g_button.text;
    }
    return "";
}

const char* HatPrefixText(const SDL_Event& event) {
    const SDL_JoyHatEvent& hat = event.jhat;
    if (g_hatPrefix.Renew(hat.which, hat.hat)) std::snprintf(g_hatPrefix.text, kBufferSize, "H%d.", hat.hat);
    return g_hatPrefix.text;
}

const char* ControllerNameText(SDL_JoystickID id) {
    if (g_name.Renew(id)) std::snprintf(g_name.text, kBufferSize, "%s", OpenedName(id));
    return g_name.text;
}

BindingMatch MatchBinding(std::string_view binding, const SDL_Event& event) {
    if (binding.empty()) return BindingMatch::None;
    switch (event.type) {
        case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
        case SDL_EVENT_KEY_DOWN:
            return binding == MakeBindingText(event) ? BindingMatch::Press : BindingMatch::None;
        case SDL_EVENT_JOYSTICK_BUTTON_UP:
        case SDL_EVENT_KEY_UP:
            return binding == MakeBindingText(event) ? BindingMatch::Release : BindingMatch::None;
        case SDL_EVENT_JOYSTICK_HAT_MOTION:
            if (event.jhat.value != SDL_HAT_CENTERED && binding == MakeBindingText(event))
                return BindingMatch::Press;
            return binding.rfind(HatPrefixText(event), 0) == 0 &&
                           DevicePart(binding) == ControllerNameText(event.jhat.which)
                       ? BindingMatch::Release
                       : BindingMatch::None;
        default:
            return BindingMatch::None;
    }
}

BindingMatch MatchBinding(const MenuItem& binding, const SDL_Event& event) {
    return binding.WithText([&](std::string_view text) { return MatchBinding(text, event); });
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
