// Controllers Windows saw go while SDL did not: a cable glitch, a hub's
// hiccup or a wheel base's power blip shorter than SDL's rescan delay leaves
// SDL's handle showing what was held, and no removal ever lets it go. The job
// plays SDL's removal itself (the pages let go, the handle is closed) and
// opens the controller anew, fresh, once Windows says it is back.
#include "input/controller_swap.h"

#include <SDL3/SDL_joystick.h>

#include <charconv>
#include <string>

#include "core/log.h"
#include "core/text.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"

namespace Input {
namespace {
// How long a controller Windows says is back may refuse to open before the
// job gives up on it (SDL's own rescan has long passed by then).
constexpr uint32_t kReopenPatienceMs = 5000;

// The 4 hex digits after key ("VID_", "PID_") in the path, or -1.
int32_t HexAfter(std::string_view path, std::string_view key) {
    for (size_t at = 0; at + key.size() + 4 <= path.size(); ++at) {
        if (!EqualsNoCase(path.substr(at, key.size()), key)) continue;
        const char* digits = path.data() + at + key.size();
        int32_t value = -1;
        const auto read = std::from_chars(digits, digits + 4, value, 16);
        return read.ec == std::errc() && read.ptr == digits + 4 ? value : -1;
    }
    return -1;
}

std::string Named(const ControllerMarks& marks, SDL_JoystickID id) {
    return marks.NameOf(id) + " (joyID" + std::to_string(id) + ")";
}
}  // namespace

bool DeviceChangeNames(std::string_view changedPath, const char* controllerPath, uint16_t vendor,
                       uint16_t product) {
    const std::string_view own = controllerPath ? controllerPath : "";
    if (StartsWithNoCase(own, "\\\\?\\")) return EqualsNoCase(own, changedPath);
    return (vendor != 0 || product != 0) && HexAfter(changedPath, "VID_") == vendor &&
           HexAfter(changedPath, "PID_") == product;
}

void SDLBackend::FollowDeviceChanges() {
    if (!deviceWatch_) return;
    deviceWatch_->Take(deviceChanges_);
    for (const platform::DeviceChange& change : deviceChanges_) {
        if (g_verboseLog)
            LogLine(std::string("Windows reports a device ") + (change.arrived ? "arrived: " : "removed: ") +
                    change.path);
        if (!change.arrived) {
            LetGoOfVanished(change.path);
            continue;
        }
        for (Vanished& gone : vanished_)
            if (!gone.back && DeviceChangeNames(change.path, gone.path.c_str(), gone.vendor, gone.product)) {
                gone.back = true;
                gone.backSince = lastTick_;
            }
    }
    if (!vanished_.empty()) ReopenReturned();
}

void SDLBackend::LetGoOfVanished(const std::string& path) {
    const size_t before = vanished_.size();
    {
        kvt::MutexLock lock(g_joystickListLock);
        for (SDL_Joystick* handle : openJoysticks_) {
            if (!handle) continue;
            const char* own = SDL_GetJoystickPath(handle);
            const uint16_t vendor = SDL_GetJoystickVendor(handle), product = SDL_GetJoystickProduct(handle);
            if (!DeviceChangeNames(path, own, vendor, product)) continue;
            const SDL_JoystickID id = SDL_GetJoystickID(handle);
            vanished_.push_back({id, own ? own : "", vendor, product});
            // SDL's own view beside Windows' word: what the two disagree on.
            LogLine("Windows reports " + Named(marks_, id) + " removed (SDL: connected " +
                    std::to_string(SDL_JoystickConnected(handle)) + ", listed " +
                    std::to_string(SDL_GetJoystickNameForID(id) != nullptr) + ", path " +
                    (own ? own : "none") + "): its inputs are let go, and it is opened anew once it is back");
        }
    }
    for (size_t i = before; i < vanished_.size(); ++i) {
        const SDL_JoystickID id = vanished_[i].id;
        SDL_Event removed{};
        removed.type = SDL_EVENT_JOYSTICK_REMOVED;
        removed.jdevice.which = id;
        HandleEvent(removed);
    }
}

void SDLBackend::ReopenReturned() {
    for (auto gone = vanished_.begin(); gone != vanished_.end();) {
        // Gone for SDL too: its own removal came, and a return is its own
        // added event with a new id.
        if (!SDL_GetJoystickNameForID(gone->id)) {
            gone = vanished_.erase(gone);
            continue;
        }
        if (!gone->back) {
            ++gone;
            continue;
        }
        // Held open while the added event opens it too, so that an open the
        // pages decline still tells whether it could be opened at all.
        SDL_Joystick* probe = SDL_OpenJoystick(gone->id);
        if (!probe && lastTick_ - gone->backSince < kReopenPatienceMs) {
            ++gone;
            continue;
        }
        if (probe) {
            LogLine("Windows reports " + Named(marks_, gone->id) +
                    " back, and SDL still lists it by the same id: opened anew");
            SDL_Event added{};
            added.type = SDL_EVENT_JOYSTICK_ADDED;
            added.jdevice.which = gone->id;
            HandleEvent(added);
            SDL_CloseJoystick(probe);
        } else {
            LogLine("ERROR. " + Named(marks_, gone->id) + " is back but cannot be opened: " + SDL_GetError());
        }
        gone = vanished_.erase(gone);
    }
}

}  // namespace Input
