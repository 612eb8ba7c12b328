// Which devices the job keeps open: the controllers and the keyboard that some
// enabled page's bindings name, or everything while a binding is captured;
// and the opening and closing of one controller as it comes and goes.
#include <SDL3/SDL_stdinc.h>

#include <algorithm>
#include <string>

#include "core/log.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"

namespace Input {

void SDLBackend::ConnectBoundDevices(bool forceConnect, bool evenIfNotRunning) {
    if (!IsRunning() && !evenIfNotRunning) return;
    kvt::MutexLock devices(g_deviceLock);
    if (g_verboseLog)
        LogLine(std::string("Connecting binded joysticks. ForceConnect=") + (forceConnect ? "1" : "0"));
    int count = 0;
    SDL_JoystickID* ids = SDL_GetJoysticks(&count);
    if (!ids || count == 0)
        LogLine(
            "Warning. Failed to find any joystick devices. Please connect controls before booting up KVT if "
            "this plugin fails to recognize a control");
    if (g_verboseLog) LogLine("Detected " + std::to_string(count) + " joysticks");
    if (ids) {
        for (int i = 0; i < count && !listeners_.empty(); ++i) {
            SDL_Event added{};
            added.type = SDL_EVENT_JOYSTICK_ADDED;
            added.jdevice.which = ids[i];
            if (forceConnect) {
                HandleConnectionEvent(added);
                continue;
            }
            for (SDLListener* listener : listeners_) {
                if (listener->IsJoystickBound(ids[i])) {
                    HandleConnectionEvent(added);
                    break;
                }
            }
        }
        SDL_free(ids);
    }

    if (g_verboseLog) LogLine("Connecting binded keyboard keys");
    bool wantKeyboard = forceConnect;
    for (size_t i = 0; !wantKeyboard && i < listeners_.size(); ++i)
        wantKeyboard = listeners_[i]->IsDeviceBound(kKeyboardDevice);
    if (InputDI* keyboard = keyboard_) {
        if (wantKeyboard) {
            keyboard->ConnectKeyboard();
        } else {
            keyboard->DisconnectKeyboard();
        }
    }
}

void SDLBackend::DisconnectAllDevices() {
    if (!IsRunning()) return;
    {
        kvt::MutexLock devices(g_deviceLock);
        {
            kvt::MutexLock list(g_joystickListLock);
            for (SDL_Joystick* handle : openJoysticks_)
                if (handle) SDL_CloseJoystick(handle);
            openJoysticks_.clear();
        }
        if (InputDI* keyboard = keyboard_) keyboard->DisconnectKeyboard();
    }
    // The pages hear of it only once the lock is free: their releases send
    // host commands, which wait for the host's thread, and the host's thread
    // may itself be waiting for this lock (a menu action). Holding it here
    // froze the game.
    for (SDLListener* listener : listeners_) listener->OnDevicesDisconnected();
}

std::vector<SDL_JoystickID> SDLBackend::OpenJoystickIds() const {
    kvt::MutexLock lock(g_joystickListLock);
    std::vector<SDL_JoystickID> ids;
    for (SDL_Joystick* handle : openJoysticks_) ids.push_back(handle ? SDL_GetJoystickID(handle) : 0);
    return ids;
}

void SDLBackend::HandleConnectionEvent(const SDL_Event& event) {
    kvt::MutexLock lock(g_joystickListLock);
    const SDL_JoystickID id = event.jdevice.which;
    if (g_verboseLog)
        LogLine("JoyID" + std::to_string(id) + " connection eventType " + std::to_string(event.type));
    SDL_Joystick* found = nullptr;
    for (SDL_Joystick* handle : openJoysticks_) {
        if (handle && SDL_GetJoystickID(handle) == id) {
            found = handle;
            break;
        }
    }
    if (event.type == SDL_EVENT_JOYSTICK_ADDED && !found) {
        SDL_Joystick* opened = SDL_OpenJoystick(id);
        openJoysticks_.push_back(opened);
        if (g_verboseLog)
            LogLine("Connected joyID" + std::to_string(id) + " " + (opened ? marks_.NameOf(id) : ""));
    } else if (event.type == SDL_EVENT_JOYSTICK_REMOVED && found) {
        if (g_verboseLog) LogLine("Disconnected joyID" + std::to_string(id));
        openJoysticks_.erase(std::remove(openJoysticks_.begin(), openJoysticks_.end(), found),
                             openJoysticks_.end());
        SDL_CloseJoystick(found);
    }
}

}  // namespace Input
