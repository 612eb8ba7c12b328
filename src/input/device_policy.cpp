// Which devices the job keeps open: the controllers and the keyboard that some
// enabled page's bindings name, or everything while a binding is captured.
#include <SDL3/SDL_stdinc.h>

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

}  // namespace Input
