// The GearGate page. The engine's reactions to game modes fill in with the
// shifter work; the page already keeps the flags the main object sets.
#include "geargate/shifter_page.h"

#include "config/setting.h"

const char* KVT_THISCALL KVTShifter::GetPluginName() {
    firstNameCall = false;
    return "KVT H-Shifter";
}

void KVTShifter::LoadShiftDeadzone() {}
void KVTShifter::SetupForCar() {}
void KVTShifter::RestoreHostGearbox() {}

void KVTShifter::SetGearGateEnabled(bool on) {
    if (g_settings) g_settings->gearGateEnabled = on;
}
