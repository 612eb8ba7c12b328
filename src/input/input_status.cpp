// The job's record of what it has seen, and the status line and log lines
// made from it.
#include "input/input_status.h"

#include <SDL3/SDL_joystick.h>
#include <SDL3/SDL_stdinc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/log.h"
#include "core/menu_item.h"
#include "core/plugin_base.h"
#include "core/setting_id.h"
#include "core/text.h"

namespace Input {
namespace {
template <size_t N>
void CopyCut(std::array<char, N>& out, std::string_view text) {
    ::CopyCut(text, out.data(), N);
}

// A controller binding ("#3 Wheel", "H0.1 Wheel", "A2>0 Pedals") names its
// device after the first space; a keyboard binding names none.
bool IsControllerBinding(std::string_view text) {
    return !text.empty() && (text[0] == '#' || text[0] == 'H' || text[0] == 'A') && !DevicePart(text).empty();
}

// The page's binding lines' controllers that are not connected, each once.
void AddMissing(const InputStatus& status, const CPluginBase& page, MissingControllers& missing) {
    for (const MenuItem* line : page.items) {
        if (line->group != KEYBIND) continue;
        std::array<char, kMaxBindingText + 1> device{};
        const bool named = line->WithText([&](std::string_view text) {
            if (!IsControllerBinding(text)) return false;
            CopyCut(device, DevicePart(text));
            return true;
        });
        if (!named || status.Connected(device.data())) continue;
        const auto listed = missing.names.begin() + static_cast<std::ptrdiff_t>(missing.count);
        if (std::find_if(missing.names.begin(), listed, [&](const auto& name) {
                return std::strcmp(name.data(), device.data()) == 0;
            }) != listed)
            continue;
        if (missing.count < MissingControllers::kMax) missing.names[missing.count++] = device;
    }
}
}  // namespace

void InputStatus::NoteInput(const char* bindingText) {
    kvt::MutexLock lock(lock_);
    CopyCut(lastInput_, bindingText ? bindingText : "");
}

void InputStatus::RefreshControllers(const ControllerMarks& marks) {
    // Read before the lock: the marks take their own.
    std::array<Name, kMaxControllers> names{};
    std::array<size_t, kMaxControllers> plain{};
    size_t count = 0;
    for (const ControllerSeen& listed : marks.Listed()) {
        if (count == kMaxControllers) break;
        CopyCut(names[count], MarkedName(listed.name, listed.mark));
        plain[count++] = listed.name.size();
    }
    kvt::MutexLock lock(lock_);
    connected_ = names;
    plainLength_ = plain;
    connectedCount_ = count;
    known_ = true;
}

void InputStatus::Forget() {
    kvt::MutexLock lock(lock_);
    lastInput_[0] = '\0';
    connectedCount_ = 0;
    known_ = false;
}

void InputStatus::LastInput(char* out) const {
    kvt::MutexLock lock(lock_);
    std::memcpy(out, lastInput_.data(), lastInput_.size());
}

bool InputStatus::ControllersKnown() const {
    kvt::MutexLock lock(lock_);
    return known_;
}

bool InputStatus::Connected(std::string_view controllerName) const {
    kvt::MutexLock lock(lock_);
    for (size_t i = 0; i < connectedCount_; ++i) {
        const std::string_view marked = connected_[i].data();
        if (controllerName == marked || controllerName == marked.substr(0, plainLength_[i])) return true;
    }
    return false;
}

MissingControllers FindMissingControllers(const InputStatus& status, const CPluginBase& root) {
    MissingControllers missing;
    // Before the job has read the controllers, none is known to be missing.
    if (!status.ControllersKnown()) return missing;
    for (const CPluginBase* page : root.children) {
        if (page->PageEnabled()) AddMissing(status, *page, missing);
    }
    return missing;
}

void WriteStatusLine(const InputStatus& status, char* out, size_t size) {
    if (size == 0) return;
    char last[kMaxBindingText + 1];
    status.LastInput(last);
    const char* named = last[0] != '\0' ? BindingKeyName(last) : nullptr;
    std::snprintf(out, size, "Last input: %s", named ? named : (last[0] != '\0' ? last : "none yet"));
}

void WriteMissingLine(const InputStatus& status, const CPluginBase& root, char* out, size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    const MissingControllers missing = FindMissingControllers(status, root);
    int used = 0;
    for (size_t i = 0; i < missing.count && used >= 0 && static_cast<size_t>(used) < size; ++i)
        used += std::snprintf(out + used, size - static_cast<size_t>(used), "%s%s",
                              i == 0 ? "Not connected: " : ", ", missing.names[i].data());
}

void LogMissingControllers(const InputStatus& status, const CPluginBase& root) {
    const MissingControllers missing = FindMissingControllers(status, root);
    for (size_t i = 0; i < missing.count; ++i)
        LogLine(std::string("Warning. The bound controller \"") + missing.names[i].data() +
                "\" is not connected: its bindings do nothing until it is");
}

}  // namespace Input
