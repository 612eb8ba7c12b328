// Binding texts and their caches, the device a text names, and the keyboard
// binding's display name.
#include "input/binding_text.h"

#include <algorithm>
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

void BindingTexts::FollowMarks() {
    const uint32_t now = marks_ ? marks_->Generation() : 0;
    if (now == marksSeen_) return;
    marksSeen_ = now;
    button_.made = hat_.made = name_.made = false;
}

const char* BindingTexts::Make(const SDL_Event& event) {
    FollowMarks();
    if (event.type == SDL_EVENT_JOYSTICK_HAT_MOTION) {
        const SDL_JoyHatEvent& hat = event.jhat;
        if (hat_.Renew(hat.which, hat.hat, hat.value))
            std::snprintf(hat_.text, kBufferSize, "H%d.%d %s", hat.hat, hat.value, ControllerName(hat.which));
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
            std::snprintf(button_.text, kBufferSize, "#%d %s", button.button, ControllerName(button.which));
        return button_.text;
    }
    return "";
}

const char* BindingTexts::ControllerName(SDL_JoystickID id) {
    FollowMarks();
    if (name_.Renew(id)) {
        // No lock for a player without twins: the common case pays nothing.
        nameMark_ = marks_ && marks_->AnyMarked() ? marks_->MarkOf(id) : 0;
        const char* plain = OpenedName(id);
        if (nameMark_ != 0 && *plain != '\0') {
            std::snprintf(name_.text, kBufferSize, "%s #%u", plain, nameMark_);
        } else {
            std::snprintf(name_.text, kBufferSize, "%s", plain);
        }
        namePlain_ = std::min(std::strlen(plain), std::strlen(name_.text));
    }
    return name_.text;
}

namespace {
// A number as the job writes one: digits, no sign, no leading zero.
bool ReadCount(std::string_view text, size_t& at, int32_t& out) {
    const size_t start = at;
    int64_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && value <= kAxisRange)
        value = value * 10 + (text[at++] - '0');
    if (at == start || value > kAxisRange || (text[start] == '0' && at - start > 1)) return false;
    out = static_cast<int32_t>(value);
    return true;
}

// The mark a name ends with (" #2"); a cut text may have lost its own.
void ReadMark(BindingRecord& record) {
    const std::string_view device = record.device;
    const size_t at = device.rfind(" #");
    if (record.cut || at == std::string_view::npos || at == 0) return;
    size_t digits = at + 2;
    int32_t mark = 0;
    if (ReadCount(device, digits, mark) && digits == device.size() && mark >= 2 &&
        static_cast<uint32_t>(mark) <= kMaxMark)
        record.mark = static_cast<uint8_t>(mark);
}

void ReadInto(BindingRecord& record, std::string_view text) {
    using Kind = BindingRecord::Kind;
    record.kind = Kind::None;
    record.index = record.hatValue = record.threshold = 0;
    record.upwards = true;
    record.mark = 0;
    record.cut = text.size() >= kMaxBindingText;
    record.device.clear();
    if (text.empty()) return;
    if (text[0] == 'A') {
        AxisBinding axis;
        if (!ParseAxisBinding(text, axis)) return;
        record.kind = Kind::Axis;
        record.index = axis.axis;
        record.upwards = axis.upwards;
        record.threshold = axis.threshold;
        record.device.assign(axis.controller);
        ReadMark(record);
        return;
    }
    const Kind kind = text[0] == '#'   ? Kind::Button
                      : text[0] == 'H' ? Kind::Hat
                      : text[0] == 'K' ? Kind::Key
                                       : Kind::None;
    size_t at = 1;
    int32_t index = 0;
    int32_t value = 0;
    if (kind == Kind::None || !ReadCount(text, at, index)) return;
    if (kind == Kind::Hat && (at >= text.size() || text[at++] != '.' || !ReadCount(text, at, value))) return;
    if (at >= text.size() || text[at] != ' ') return;
    const std::string_view device = text.substr(at + 1);
    if (kind == Kind::Key && device != kKeyboardDevice) return;
    record.kind = kind;
    record.index = index;
    record.hatValue = value;
    record.device.assign(device);
    ReadMark(record);
}
}  // namespace

BindingRecord ReadBinding(std::string_view text) {
    BindingRecord record;
    ReadInto(record, text);
    return record;
}

void BindingRecord::Reread(const MenuItem& line) {
    const uint32_t now = line.TextVersion();
    // Copied out under the text lock, read outside it.
    char text[kBufferSize];
    const size_t length = line.WithText([&](std::string_view value) {
        const size_t n = value.size() < kMaxBindingText ? value.size() : kMaxBindingText;
        std::memcpy(text, value.data(), n);
        return n;
    });
    ReadInto(*this, std::string_view(text, length));
    version = now;
}

bool BindingRecord::SameInputAs(const BindingRecord& other) const {
    return kind != Kind::None && kind == other.kind && index == other.index && hatValue == other.hatValue &&
           upwards == other.upwards && threshold == other.threshold && cut == other.cut &&
           mark == other.mark && device == other.device;
}

bool BindingRecord::NamesController(std::string_view name) const {
    return name == device || (cut && name.starts_with(device));
}

bool BindingTexts::Names(const BindingRecord& binding, SDL_JoystickID id) {
    const char* marked = ControllerName(id);
    if (binding.mark != 0 && binding.mark == nameMark_ && binding.device == marked) return true;
    if (!binding.NamesController(std::string_view(marked, namePlain_))) return false;
    return nameMark_ == 0 || !Claimed(binding);
}

bool BindingTexts::Claimed(const BindingRecord& plain) const {
    for (const BindingRecord& claim : claims_) {
        if (claim.kind == plain.kind && claim.index == plain.index && claim.mark == nameMark_ &&
            (claim.kind != BindingRecord::Kind::Hat || claim.hatValue == plain.hatValue) &&
            claim.device == name_.text)
            return true;
    }
    return false;
}

BindingMatch BindingTexts::MatchSameKind(const BindingRecord& binding, const SDL_Event& event) {
    switch (event.type) {
        case SDL_EVENT_KEY_DOWN:
        case SDL_EVENT_KEY_UP:
            if (binding.index != static_cast<int32_t>(event.key.scancode)) return BindingMatch::None;
            return event.type == SDL_EVENT_KEY_DOWN ? BindingMatch::Press : BindingMatch::Release;
        case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
        case SDL_EVENT_JOYSTICK_BUTTON_UP:
            if (binding.index != event.jbutton.button || !Names(binding, event.jbutton.which))
                return BindingMatch::None;
            return event.type == SDL_EVENT_JOYSTICK_BUTTON_DOWN ? BindingMatch::Press : BindingMatch::Release;
        case SDL_EVENT_JOYSTICK_HAT_MOTION:
            if (binding.index != event.jhat.hat || !Names(binding, event.jhat.which))
                return BindingMatch::None;
            return event.jhat.value != SDL_HAT_CENTERED && binding.hatValue == event.jhat.value
                       ? BindingMatch::Press
                       : BindingMatch::Release;
        case SDL_EVENT_JOYSTICK_AXIS_MOTION: {
            if (binding.index != event.jaxis.axis || !Names(binding, event.jaxis.which))
                return BindingMatch::None;
            const int32_t value = event.jaxis.value;
            if (binding.upwards ? value > binding.threshold : value < binding.threshold)
                return BindingMatch::Press;
            const bool back = binding.upwards ? value < binding.threshold - kAxisHysteresis
                                              : value > binding.threshold + kAxisHysteresis;
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

std::string GetJoystickNameById(SDL_JoystickID id) {
    const char* name = SDL_GetJoystickNameForID(id);
    return name ? name : "";
}

bool PageBindsDevice(const CPluginBase& page, const std::string& deviceName) {
    return page.PageEnabled() && page.UsesDevice(deviceName);
}

bool PageBindsJoystick(const CPluginBase& page, const ControllerMarks& marks, SDL_JoystickID id) {
    if (!page.PageEnabled()) return false;
    const std::string plain = GetJoystickNameById(id);
    const uint32_t mark = marks.MarkOf(id);
    return page.UsesDevice(plain) || (mark != 0 && page.UsesDevice(MarkedName(plain, mark)));
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
