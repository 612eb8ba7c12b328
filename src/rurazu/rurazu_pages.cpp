// The RurAzu pages' shared entries.
#include "rurazu/rurazu_pages.h"

#include "input/binding_text.h"
#include "input/sdl_backend.h"

KVTRurazuBase::~KVTRurazuBase() {
    // The main object stopped the job before its pages go.
    Input::GetBackend().RemoveListener(this);
}

const char* KVT_THISCALL KVTRurazuBase::GetPluginName() {
    if (!listenerRegistered) {
        Input::GetBackend().AddListener(this);
        listenerRegistered = true;
    }
    return "KVT RurAzu";
}

bool KVTRurazuBase::IsDeviceBound(const std::string& deviceName) {
    return Input::PageBindsDevice(*this, deviceName);
}

bool KVTRurazuBase::IsJoystickBound(SDL_JoystickID id) {
    return Input::PageBindsJoystick(*this, id);
}
