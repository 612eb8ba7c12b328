// The GearGate engine's shifting, car set-up and the host's gearbox words.
#include "geargate/gear_gate_engine.h"

#include <SDL3/SDL_events.h>
#include <SDL3/SDL_joystick.h>

#include <algorithm>
#include <string>

#include "config/ini_file.h"
#include "config/setting.h"
#include "core/host_locations.h"
#include "core/host_messages.h"
#include "core/log.h"
#include "core/paths.h"
#include "geargate/car_profiles.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/host_memory.h"
#include "sound/sound_player.h"

namespace {
using platform::HostRead;
using platform::HostWrite;
using namespace host_offsets;

constexpr int32_t kDefaultDeadzoneMs = 30;
constexpr int32_t kAutoDetected = 2;

Config::Setting& S() {
    return *g_settings;
}

bool Enabled() {
    return g_settings && S().gearGateEnabled;
}

int32_t CarGear() {
    const uint32_t car = Host().carObject;
    return car ? HostRead<int32_t>(car + kCarGearField) : gears::kNeutral;
}

void WriteCarGear(int32_t gear) {
    const uint32_t car = Host().carObject;
    if (car) HostWrite<int32_t>(car + kCarGearField, gear);
}

float Telemetry(uint32_t field) {
    const uint32_t object = Host().hostObject1;
    return object ? HostRead<float>(object + field) : 0.0f;
}

int32_t GearboxWord(int index) {
    const uint32_t selection = Host().carSelection;
    return selection ? HostRead<int32_t>(selection + kGearboxWordFields[index]) : 0;
}

void WriteGearboxWord(int index, int32_t value) {
    const uint32_t selection = Host().carSelection;
    if (selection) HostWrite<int32_t>(selection + kGearboxWordFields[index], value);
}

// Sent outside the engine's lock: the host's thread answers it.
void SendGearboxMessage(int32_t type) {
    SendHostCommand(host_commands::kGearGateMode, type != shifter_types::kHPattern ? 1 : 0);
}

// What a car set-up found and where from, for a player who asks why a car
// shifts as it does (the car's name costs a read of the car lists).
void LogCarSetUp(int32_t slot, int32_t type, CarSource typeSource, int32_t clutch, CarSource clutchSource) {
    const int32_t carId = CarIdForSlot(slot);
    LogLine("Car set-up: slot " + std::to_string(slot) + ", car " + std::to_string(carId) + " \"" +
            CarNameFromJson(carId) + "\": " + ShifterTypeText(type) + " (" + CarSourceText(typeSource) +
            "), " + ClutchText(clutch) + " (" + CarSourceText(clutchSource) + ")");
}

// SDL re-centres a controller that goes away (its buttons up, its hats
// centred) after it has marked it detached: such a release is no player's.
bool FromUnpluggedController(const SDL_Event* release) {
    SDL_JoystickID id = 0;
    if (release && release->type == SDL_EVENT_JOYSTICK_BUTTON_UP) id = release->jbutton.which;
    if (release && release->type == SDL_EVENT_JOYSTICK_HAT_MOTION) id = release->jhat.which;
    return id != 0 && !SDL_JoystickConnected(SDL_GetJoystickFromID(id));
}
}  // namespace

const char* ShifterTypeText(int32_t type) {
    switch (type) {
        case shifter_types::kSequential:
            return "Sequential";
        case shifter_types::kHPattern:
            return "H-Pattern";
        default:
            return "type unknown";
    }
}

const char* ClutchText(int32_t clutchNeeded) {
    return clutchNeeded == 1 ? "clutch required" : "no clutch needed";
}

const char* GearText(int32_t gear) {
    static constexpr const char* kNames[] = {"R", "N", "1", "2", "3", "4", "5", "6"};
    return gear >= 0 && gear <= gears::kTop ? kNames[gear] : "?";
}

GearGateEngine::GearGateEngine(GearGateReports& reports, SoundBank& sounds)
    : reports_(reports), sounds_(sounds) {}

GearState GearGateEngine::State() const {
    kvt::MutexLock lock(lock_);
    return state_;
}

std::vector<int32_t> GearGateEngine::SavedHostWords() const {
    kvt::MutexLock lock(lock_);
    return savedHostWords_;
}

int32_t GearGateEngine::ResolvedTypeLocked(int32_t type) const {
    return type == kAutoDetected ? state_.configuredCarType : type;
}

bool GearGateEngine::StopOrFade(bool force) {
    return sounds_.StopOrFade(force);
}

bool GearGateEngine::ReleaseRowLocked(int index, const SDL_Event* release, bool* toggle) {
    int32_t& held = state_.pressed[static_cast<size_t>(index)];
    if (held != 1) return false;
    held = 0;
    if (index == shifter_rows::kToggleType && !reports_.CaptureWaiting() && !FromUnpluggedController(release))
        *toggle = true;
    return true;
}

bool GearGateEngine::OnInputEvent(const SDL_Event& event, Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    bool matched = false;
    bool toggle = false;
    Input::BindingTexts& texts = job.Texts();
    {
        kvt::MutexLock lock(lock_);
        if (event.type == SDL_EVENT_JOYSTICK_REMOVED) state_.pressed.fill(0);
        for (int i = 0; i < shifter_rows::kCount; ++i) {
            const MenuItem* row = rows_[static_cast<size_t>(i)];
            if (!row) continue;
            switch (texts.Match(*row, event)) {
                case Input::BindingMatch::Press:
                    state_.pressed[static_cast<size_t>(i)] = 1;
                    matched = true;
                    break;
                case Input::BindingMatch::Release:
                    matched = ReleaseRowLocked(i, &event, &toggle) || matched;
                    break;
                case Input::BindingMatch::None:
                    break;
            }
        }
    }
    if (toggle) ToggleShifterType(job);

    if (!driving) return false;
    if (!matched || !job.isForeground()) return true;
    kvt::MutexLock lock(lock_);
    if (state_.currentType != 0) {
        ApplyHPatternGearLocked();
    } else if (state_.pressed[shifter_rows::kSequentialUp]) {
        SequentialUpLocked(job.lastTick());
    } else if (state_.pressed[shifter_rows::kSequentialDown]) {
        SequentialDownLocked(job.lastTick());
    } else if (state_.pressed[shifter_rows::kSequentialNeutral]) {
        SequentialNeutralLocked();
    }
    return true;
}

void GearGateEngine::ReleaseAllRows(Input::SDLBackend& job) {
    bool toggle = false;
    {
        kvt::MutexLock lock(lock_);
        for (int i = 0; i < shifter_rows::kCount; ++i) ReleaseRowLocked(i, nullptr, &toggle);
    }
    if (toggle) ToggleShifterType(job);
}

void GearGateEngine::ClearPressed() {
    kvt::MutexLock lock(lock_);
    state_.pressed.fill(0);
}

void GearGateEngine::OnTick(Input::SDLBackend& job) {
    KVT_ASSERT_JOB_THREAD(job);
    const bool enabled = Enabled();
    // Gear rows let go in a pause menu or behind another window cleared their
    // flags but wrote nothing: once the game sees gears again, auto neutral
    // catches up here, on the thread that writes every other gear.
    const bool inPlay = enabled && driving && job.isForeground();
    kvt::MutexLock lock(lock_);
    if (inPlay && !wasInPlay_ && state_.currentType != 0 && S().autoNeutral &&
        state_.appliedGear != gears::kNeutral && NoGearRowHeldLocked())
        ApplyHPatternGearLocked();
    wasInPlay_ = inPlay;
    if (state_.grinding && !(enabled && driving)) {
        // A missed gear must not engage in a pause, after the stage or with
        // GearGate off; its grind fades like any other.
        state_.grinding = false;
        state_.fadePending = true;
    }
    if (state_.grinding) {
        ApplyHPatternGearLocked();
    } else if (state_.fadePending) {
        state_.fadePending = !StopOrFade(false);
    }
}

bool GearGateEngine::NoGearRowHeldLocked() const {
    for (int i = 0; i <= shifter_rows::kGearR; ++i)
        if (state_.pressed[static_cast<size_t>(i)] == 1) return false;
    return true;
}

bool GearGateEngine::OutsideDeadzoneLocked(uint32_t now, uint32_t& lastThisWay, uint32_t& lastOtherWay) {
    if (state_.shiftDeadzoneMs == 0) return true;
    if (now - lastThisWay <= static_cast<uint32_t>(state_.shiftDeadzoneMs)) return false;
    // A shift one way lets the next shift the other way through at once.
    lastThisWay = now;
    lastOtherWay = 0;
    return true;
}

void GearGateEngine::SequentialUpLocked(uint32_t now) {
    state_.pressed[shifter_rows::kSequentialUp] = 0;
    if (!OutsideDeadzoneLocked(now, state_.lastUpShiftTime, state_.lastDownShiftTime)) return;
    const int32_t gear = CarGear();
    state_.requestedGear = gear;
    if (gear >= state_.topGear) return;
    WriteCarGear(gear + 1);
    state_.requestedGear = gear + 1;
}

void GearGateEngine::SequentialDownLocked(uint32_t now) {
    state_.pressed[shifter_rows::kSequentialDown] = 0;
    if (!OutsideDeadzoneLocked(now, state_.lastDownShiftTime, state_.lastUpShiftTime)) return;
    // Shifting down at revs past the gear's upshift point would over-rev the
    // engine: the gear of the last shift decides, not a fresh read.
    const int32_t previous = state_.requestedGear;
    if (GearboxWord(3) != 0 && previous >= gears::kFirst && previous <= gears::kTop) {
        const float upshift = state_.upshiftTable[static_cast<size_t>(previous)];
        if (upshift != 0.0f && Telemetry(kRevsField) >= upshift) return;
    }
    const int32_t gear = CarGear();
    state_.requestedGear = gear;
    if (gear == gears::kFirst) {
        if (GearboxWord(1) != 0 && Telemetry(kSpeedToNeutralField) != 0.0f) return;
        WriteCarGear(gears::kNeutral);
    } else if (gear != gears::kReverse) {
        WriteCarGear(gear - 1);
    }
}

void GearGateEngine::SequentialNeutralLocked() {
    state_.requestedGear = gears::kNeutral;
    WriteCarGear(gears::kNeutral);
    state_.pressed[shifter_rows::kSequentialNeutral] = 0;
}

void GearGateEngine::ApplyHPatternGearLocked() {
    const uint32_t car = Host().carObject;
    const bool clutchOk =
        state_.clutchNeeded != 1 || (car && HostRead<float>(car + kCarClutchField) > S().clutchThreshold);
    static constexpr int32_t kRowGears[] = {2, 3, 4, 5, 6, 7, gears::kReverse};
    bool chosen = false;
    for (int i = 0; i <= shifter_rows::kGearR && !chosen; ++i) {
        if (state_.pressed[static_cast<size_t>(i)] != 1) continue;
        state_.requestedGear = kRowGears[i];
        chosen = true;
    }
    if (!chosen && S().autoNeutral) {
        if (state_.appliedGear != gears::kNeutral) WriteCarGear(gears::kNeutral);
        state_.requestedGear = gears::kNeutral;
        state_.appliedGear = gears::kNeutral;
        state_.grinding = false;
        state_.fadePending = !StopOrFade(false);
        return;
    }
    const int32_t wanted = state_.requestedGear;
    if (wanted == state_.appliedGear || wanted > state_.topGear) return;
    if (clutchOk) {
        WriteCarGear(wanted);
        state_.appliedGear = wanted;
        state_.grinding = false;
        state_.fadePending = !StopOrFade(false);
        return;
    }
    state_.grinding = sounds_.PlayGrindSound();
    // Without a grind to hold it, or when the host says so, the miss is
    // dropped: the player selects the gear again with the clutch down.
    if (Telemetry(kGrindHoldField) == 0.0f || !state_.grinding) state_.appliedGear = wanted;
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

void GearGateEngine::SetupForCar(Input::SDLBackend& job) {
    if (!g_settings || !job.IsRunning()) return;
    const uint32_t selection = Host().carSelection;
    if (selection == 0 || Host().gameState == 0) return;
    const int32_t slot = HostRead<int32_t>(selection + kSelectionSlotField);
    {
        kvt::MutexLock lock(lock_);
        state_.pressed.fill(0);
        state_.fadePending = false;
        state_.grinding = false;
    }
    if (!S().gearGateEnabled) return;
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
    if (g_verboseLog) LogCarSetUp(slot, type, typeSource, clutch, clutchSource);
    SendGearboxMessage(type);
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

void GearGateEngine::SwitchedOff(Input::SDLBackend& job) {
    ClearPressed();
    if (job.IsRunning()) SendGearboxMessage(shifter_types::kSequential);
    RestoreHostGearbox();
}
