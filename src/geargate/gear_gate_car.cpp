// The GearGate engine on the host's thread: a car set up at its stage's load
// and the shift deadzone read (the gearbox words: shifter_type.cpp).
#include <algorithm>
#include <string>

#include "config/ini_file.h"
#include "core/log.h"
#include "core/paths.h"
#include "geargate/gear_gate_engine.h"
#include "geargate/gear_gate_host.h"
#include "input/sdl_backend.h"
#include "sound/sound_player.h"

using namespace gear_gate_host;

bool GearGateEngine::SetupForCar(Input::SDLBackend& job) {
    if (!g_settings || !job.IsRunning()) return false;
    const uint32_t selection = Host().carSelection;
    if (selection == 0 || Host().gameState == 0) return false;
    const int32_t slot = HostRead<int32_t>(selection + kSelectionSlotField);
    {
        kvt::MutexLock lock(lock_);
        state_.pressed.fill(0);
        state_.fadePending = false;
        state_.grinding = false;
    }
    if (!S().gearGateEnabled) return false;
    // The car files are read before the lock is taken, so the job's passes
    // never wait on them. The host's gear word numbers no forward gear past
    // sixth, whatever the physics file says.
    const int32_t topGear = std::min(GearCount(slot), gears::kTop);
    const UpshiftValues upshifts = UpshiftTable(slot);
    // A later toggle to Auto detected uses the configured car's type, found
    // here once (and not again when that car is the one being set up).
    const int32_t configuredSlot = ConfiguredSlot();
    CarSource typeSource = CarSource::kNone;
    const int32_t configuredType = DetectTypeForSlot(configuredSlot, &typeSource);
    const bool autoType = S().shifterType == kAutoDetected;
    const int32_t detected = !autoType                ? 0
                             : slot == configuredSlot ? configuredType
                                                      : DetectTypeForSlot(slot, &typeSource);
    if (!autoType) typeSource = CarSource::kChosen;
    int32_t type = 0;
    {
        kvt::MutexLock lock(lock_);
        state_.topGear = topGear;
        for (size_t i = 0; i < upshifts.size(); ++i) state_.upshiftTable[i] = upshifts[i];
        state_.requestedGear = gears::kNeutral;
        state_.appliedGear = gears::kNeutral;
        StopOrFade(true);
        state_.configuredCarType = configuredType;
        if (!autoType) {
            state_.currentType = S().shifterType.load();
        } else if (detected != state_.currentType) {
            AnnounceShifterTypeLocked(detected);
            // An unknown car keeps the last car's type.
            if (detected != shifter_types::kUnknown) state_.currentType = detected;
        }
        type = state_.currentType;
    }
    const bool clutchFromCar = type == shifter_types::kHPattern && S().clutchRequired == kAutoDetected;
    CarSource clutchSource = clutchFromCar ? CarSource::kNone : CarSource::kChosen;
    const int32_t clutch =
        clutchFromCar ? ClutchRequiredForSlot(slot, &clutchSource) : S().clutchRequired.load();
    {
        kvt::MutexLock lock(lock_);
        state_.clutchNeeded = clutch;
        state_.carSlot = slot;
        state_.typeSource = typeSource;
        state_.clutchSource = clutchSource;
    }
    SendGearboxMessage(type);
    return true;
}

void GearGateEngine::LoadShiftDeadzone() {
    const bool enabled = Enabled();
    const int32_t configuredType = enabled ? DetectTypeForSlot(ConfiguredSlot()) : 0;
    const std::string file = HostPath("\\Plugins\\TLZCarMenu.ini");
    int32_t deadzone = 0;
    try {
        deadzone = Config::ReadProfileInt("Default", "DeadzoneByTimeMSecGearShift", 0, file);
    } catch (...) {
        // Not a number: the default below.
        deadzone = 0;
    }
    kvt::MutexLock lock(lock_);
    if (enabled) state_.configuredCarType = configuredType;
    ApplyHostGearboxLocked(shifter_types::kUnknown);
    // A negative deadzone, taken as unsigned, would refuse every shift.
    state_.shiftDeadzoneMs = deadzone <= 0 ? kDefaultDeadzoneMs : deadzone;
}
