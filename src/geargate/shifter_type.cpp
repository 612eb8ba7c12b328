// GearGate's shifter type and the host's gearbox words, in one place:
// resolving a type, announcing it, toggling it, and setting the host's four
// gearbox option words for it and giving them back. The job's side (events,
// shifts, gear_gate_engine.cpp) and the host's (car set-up, gear_gate_car.cpp)
// both call here, and neither calls the other.
#include "geargate/gear_gate_engine.h"
#include "geargate/gear_gate_host.h"
#include "input/sdl_backend.h"
#include "sound/sound_player.h"

using namespace gear_gate_host;

int32_t GearGateEngine::ResolvedTypeLocked(int32_t type) const {
    return type == kAutoDetected ? state_.configuredCarType : type;
}

bool GearGateEngine::StopOrFade(bool force) {
    return sounds_.StopOrFade(force);
}

void GearGateEngine::ToggleShifterType(Input::SDLBackend& job) {
    if (!job.isForeground() || !g_settings) return;
    int32_t type = 0;
    int32_t resolved = 0;
    {
        kvt::MutexLock lock(lock_);
        type = driving ? state_.currentType : S().shifterType.load();
        type = type + 1 >= 3 ? 0 : type + 1;
        state_.currentType = type;
        S().shifterType = type;
        resolved = ResolvedTypeLocked(type);
        ApplyHostGearboxLocked(resolved);
        AnnounceShifterTypeLocked(type);
    }
    reports_.ShifterTypeToggled(type);
    if (job.IsRunning()) SendGearboxMessage(resolved);
}

void GearGateEngine::AnnounceShifterTypeLocked(int32_t type) {
    StopOrFade(true);
    state_.fadePending = false;
    state_.grinding = false;
    if (type >= 0 && type <= 2) sounds_.PlayNotification(type);
}

void GearGateEngine::SwitchedOff(Input::SDLBackend& job) {
    ClearPressed();
    if (job.IsRunning()) SendGearboxMessage(shifter_types::kSequential);
    RestoreHostGearbox();
}

void GearGateEngine::ApplyHostGearbox(int32_t type) {
    kvt::MutexLock lock(lock_);
    ApplyHostGearboxLocked(type);
}

void GearGateEngine::ApplyHostGearboxLocked(int32_t type) {
    RestoreLocked();
    if (!Enabled()) return;
    if (type == shifter_types::kUnknown) type = ResolvedTypeLocked(S().shifterType);
    for (int i = 0; i < 4; ++i) savedHostWords_.push_back(GearboxWord(i));
    WriteGearboxWord(0, 1);
    if (type == shifter_types::kHPattern)
        for (int i = 1; i < 4; ++i) WriteGearboxWord(i, 0);
}

void GearGateEngine::RestoreHostGearbox() {
    kvt::MutexLock lock(lock_);
    RestoreLocked();
}

void GearGateEngine::RestoreLocked() {
    if (savedHostWords_.size() == 4)
        for (int i = 0; i < 4; ++i) WriteGearboxWord(i, savedHostWords_[static_cast<size_t>(i)]);
    savedHostWords_.clear();
}
