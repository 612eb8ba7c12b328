// The GearGate page. The engine's reactions to game modes fill in with the
// shifter work; the page already keeps the flags the main object sets and
// listens to the input job.
#include "geargate/shifter_page.h"

#include "config/setting.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"

KVTShifter::~KVTShifter() {
    Input::GetBackend().RemoveListener(this);
}

const char* KVT_THISCALL KVTShifter::GetPluginName() {
    if (firstNameCall) {
        firstNameCall = false;
        Input::GetBackend().AddListener(this);
    }
    return "KVT H-Shifter";
}

void KVTShifter::LoadShiftDeadzone() {}
void KVTShifter::SetupForCar() {}
void KVTShifter::RestoreHostGearbox() {}

void KVTShifter::SetGearGateEnabled(bool on) {
    if (g_settings) g_settings->gearGateEnabled = on;
}

bool KVTShifter::IsDeviceBound(const std::string& deviceName) {
    return Input::PageBindsDevice(*this, deviceName);
}

bool KVTShifter::IsJoystickBound(SDL_JoystickID id) {
    return Input::PageBindsJoystick(*this, id);
}
