// The GearGate engine: bound gear rows become the gear word of the host's
// car (H-pattern with its clutch and grind, or sequential with its guards),
// the shifter type is set per car and by the toggle, and the host's gearbox
// option words are set and given back.
#include <algorithm>
#include <cmath>

#include "config/ini_file.h"
#include "config/setting.h"
#include "config/setting_id.h"
#include "core/host_locations.h"
#include "core/host_messages.h"
#include "core/paths.h"
#include "geargate/car_profiles.h"
#include "geargate/shifter_page.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/host_memory.h"
#include "platform/platform.h"
#include "sound/sound_player.h"

std::atomic<uint32_t> g_lastUpShiftTime{0};
std::atomic<uint32_t> g_lastDownShiftTime{0};

namespace {
using platform::HostRead;
using platform::HostWrite;

// The player's car and the host's car telemetry.
constexpr uint32_t kCarGear = 0x1100;
constexpr uint32_t kCarClutch = 0x86C;
constexpr uint32_t kSelectionSlot = 0x8;
// Gearbox option words A to D of the car selection.
constexpr uint32_t kGearboxWords[] = {0x69C, 0x6A0, 0x6A4, 0x6A8};
constexpr uint32_t kSpeedToNeutral = 0x0C;  // must be 0.0 for first to neutral while word B is set
constexpr uint32_t kRevs = 0x10;            // against the gear's upshift value while word D is set
constexpr uint32_t kGrindHold = 0x2B8;      // 0.0 drops a refused gear

constexpr int32_t kDefaultDeadzoneMs = 30;
constexpr int32_t kAutoDetected = 2;

Config::Setting& S() {
    return *g_settings;
}

int32_t CarGear() {
    const uint32_t car = Host().carObject;
    return car ? HostRead<int32_t>(car + kCarGear) : gears::kNeutral;
}

void WriteCarGear(int32_t gear) {
    const uint32_t car = Host().carObject;
    if (car) HostWrite<int32_t>(car + kCarGear, gear);
}

float Telemetry(uint32_t field) {
    const uint32_t object = Host().hostObject1;
    return object ? HostRead<float>(object + field) : 0.0f;
}

int32_t GearboxWord(int index) {
    const uint32_t selection = Host().carSelection;
    return selection ? HostRead<int32_t>(selection + kGearboxWords[index]) : 0;
}

void WriteGearboxWord(int index, int32_t value) {
    const uint32_t selection = Host().carSelection;
    if (selection) HostWrite<int32_t>(selection + kGearboxWords[index], value);
}

bool StopOrFade(bool force) {
    return g_soundBank ? g_soundBank->StopOrFade(force) : true;
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

int32_t KVTShifter::ResolvedType(int32_t type) const {
    return type == kAutoDetected ? configuredCarType.load() : type;
}

bool KVTShifter::ReleaseRow(int index, const SDL_Event* release) {
    // The job's button-up and a device close on the host's thread can release
    // the same row at once: only the one that clears it may toggle.
    if (pressedFlags[static_cast<size_t>(index)].exchange(0) != 1) return false;
    if (index == shifter_rows::kToggleType && !capture.Waiting() && !FromUnpluggedController(release))
        ToggleShifterType();
    return true;
}

void KVTShifter::OnInputEvent(const SDL_Event& event) {
    if (!g_settings || !S().gearGateEnabled) return;
    bool matched = false;
    switch (event.type) {
        case SDL_EVENT_KEY_DOWN:
        case SDL_EVENT_JOYSTICK_BUTTON_DOWN:
        case SDL_EVENT_KEY_UP:
        case SDL_EVENT_JOYSTICK_BUTTON_UP:
        case SDL_EVENT_JOYSTICK_HAT_MOTION: {
            const bool hat = event.type == SDL_EVENT_JOYSTICK_HAT_MOTION;
            const bool down = event.type == SDL_EVENT_KEY_DOWN ||
                              event.type == SDL_EVENT_JOYSTICK_BUTTON_DOWN ||
                              (hat && event.jhat.value != SDL_HAT_CENTERED);
            if (hat) {
                // A hat holds one position: centring releases every direction
                // of it on that controller, sliding on releases the one it left.
                const char* text = down ? Input::MakeBindingText(event) : "";
                const char* prefix = Input::HatPrefixText(event);
                const char* device = Input::ControllerNameText(event.jhat.which);
                for (int i = 0; i < shifter_rows::kCount; ++i) {
                    MenuItem* row = Row(i);
                    if (!row) continue;
                    if (down && row->TextEquals(text)) {
                        pressedFlags[static_cast<size_t>(i)] = 1;
                        matched = true;
                    } else if (row->TextOnDevice(prefix, device)) {
                        matched = ReleaseRow(i, &event) || matched;
                    }
                }
                break;
            }
            const char* text = Input::MakeBindingText(event);
            for (int i = 0; i < shifter_rows::kCount; ++i) {
                if (!Row(i) || !Row(i)->TextEquals(text)) continue;
                if (down) {
                    pressedFlags[static_cast<size_t>(i)] = 1;
                    matched = true;
                } else {
                    matched = ReleaseRow(i, &event) || matched;
                }
            }
            break;
        }
        case SDL_EVENT_JOYSTICK_REMOVED:
            ClearPressed();
            break;
        default:
            break;
    }

    if (!driving) {
        capture.OnInputEvent(event, Job());
        return;
    }
    if (!matched || !Job().isForeground()) return;
    if (currentType != 0) {
        ApplyHPatternGear();
    } else if (pressedFlags[shifter_rows::kSequentialUp]) {
        SequentialUp();
    } else if (pressedFlags[shifter_rows::kSequentialDown]) {
        SequentialDown();
    } else if (pressedFlags[shifter_rows::kSequentialNeutral]) {
        SequentialNeutral();
    }
}

void KVTShifter::OnDevicesDisconnected() {
    for (int i = 0; i < shifter_rows::kCount; ++i) ReleaseRow(i, nullptr);
}

void KVTShifter::OnTick() {
    const bool enabled = g_settings && S().gearGateEnabled;
    // Gear rows let go in a pause menu or behind another window cleared their
    // flags but wrote nothing: once the game sees gears again, auto neutral
    // catches up here, on the thread that writes every other gear.
    const bool inPlay = enabled && driving && Job().isForeground();
    if (inPlay && !wasInPlay_ && currentType != 0 && S().autoNeutral && appliedGear != gears::kNeutral &&
        NoGearRowHeld())
        ApplyHPatternGear();
    wasInPlay_ = inPlay;
    if (grinding && !(enabled && driving)) {
        // A missed gear must not engage in a pause, after the stage or with
        // GearGate off; its grind fades like any other.
        grinding = false;
        fadePending = true;
    }
    if (grinding) {
        ApplyHPatternGear();
    } else if (fadePending) {
        fadePending = !StopOrFade(false);
    }
}

bool KVTShifter::NoGearRowHeld() const {
    for (int i = 0; i <= shifter_rows::kGearR; ++i)
        if (pressedFlags[static_cast<size_t>(i)] == 1) return false;
    return true;
}

void KVTShifter::SequentialUp() {
    pressedFlags[shifter_rows::kSequentialUp] = 0;
    if (shiftDeadzoneMs != 0) {
        const uint32_t now = Job().lastTick();
        if (now - g_lastUpShiftTime <= static_cast<uint32_t>(shiftDeadzoneMs.load())) return;
        g_lastUpShiftTime = now;
        g_lastDownShiftTime = 0;
    }
    const int32_t gear = CarGear();
    requestedGear = gear;
    if (gear >= topGear) return;
    WriteCarGear(gear + 1);
    requestedGear = gear + 1;
}

void KVTShifter::SequentialDown() {
    pressedFlags[shifter_rows::kSequentialDown] = 0;
    if (shiftDeadzoneMs != 0) {
        const uint32_t now = Job().lastTick();
        if (now - g_lastDownShiftTime <= static_cast<uint32_t>(shiftDeadzoneMs.load())) return;
        g_lastDownShiftTime = now;
        g_lastUpShiftTime = 0;
    }
    // Shifting down at revs past the gear's upshift point would over-rev the
    // engine: the gear of the last shift decides, not a fresh read.
    const int32_t previous = requestedGear;
    if (GearboxWord(3) != 0 && previous >= gears::kFirst && previous <= gears::kTop) {
        const float upshift = upshiftTable[static_cast<size_t>(previous)];
        if (upshift != 0.0f && Telemetry(kRevs) >= upshift) return;
    }
    const int32_t gear = CarGear();
    requestedGear = gear;
    if (gear == gears::kFirst) {
        if (GearboxWord(1) != 0 && Telemetry(kSpeedToNeutral) != 0.0f) return;
        WriteCarGear(gears::kNeutral);
    } else if (gear != gears::kReverse) {
        WriteCarGear(gear - 1);
    }
}

void KVTShifter::SequentialNeutral() {
    requestedGear = gears::kNeutral;
    WriteCarGear(gears::kNeutral);
    pressedFlags[shifter_rows::kSequentialNeutral] = 0;
}

void KVTShifter::ApplyHPatternGear() {
    const uint32_t car = Host().carObject;
    const bool clutchOk =
        clutchNeeded != 1 || (car && HostRead<float>(car + kCarClutch) > S().clutchThreshold);
    static constexpr int32_t kRowGears[] = {2, 3, 4, 5, 6, 7, gears::kReverse};
    bool chosen = false;
    for (int i = 0; i <= shifter_rows::kGearR && !chosen; ++i) {
        if (pressedFlags[static_cast<size_t>(i)] != 1) continue;
        requestedGear = kRowGears[i];
        chosen = true;
    }
    if (!chosen && S().autoNeutral) {
        if (appliedGear != gears::kNeutral) WriteCarGear(gears::kNeutral);
        requestedGear = gears::kNeutral;
        appliedGear = gears::kNeutral;
        grinding = false;
        fadePending = !StopOrFade(false);
        return;
    }
    const int32_t wanted = requestedGear;
    if (wanted == appliedGear || wanted > topGear) return;
    if (clutchOk) {
        WriteCarGear(wanted);
        appliedGear = wanted;
        grinding = false;
        fadePending = !StopOrFade(false);
        return;
    }
    grinding = g_soundBank && g_soundBank->PlayGrindSound();
    // Without a grind to hold it, or when the host says so, the miss is
    // dropped: the player selects the gear again with the clutch down.
    if (Telemetry(kGrindHold) == 0.0f || !grinding) appliedGear = wanted;
}

void KVTShifter::ToggleShifterType() {
    if (!Job().isForeground() || !g_settings) return;
    int32_t type = driving ? currentType.load() : S().shifterType.load();
    type = type + 1 >= 3 ? 0 : type + 1;
    currentType = type;
    S().shifterType = type;
    if (MenuItem* row = FindItem(GEARGATE_SHIFTTYPE)) row->SelectOption(static_cast<size_t>(type));
    const int32_t resolved = ResolvedType(type);
    ApplyHostGearbox(resolved);
    AnnounceShifterType(type);
    if (Job().IsRunning()) SendGearboxMessage(resolved);
}

void KVTShifter::AnnounceShifterType(int32_t type) {
    StopOrFade(true);
    fadePending = false;
    grinding = false;
    if (type >= 0 && type <= 2 && g_soundBank) g_soundBank->PlayNotification(type);
}

void KVTShifter::SendGearboxMessage(int32_t type) {
    SendHostCommand(host_commands::kGearGateMode, type != shifter_types::kHPattern ? 1 : 0);
}

void KVTShifter::SetupForCar() {
    if (!g_settings || !Job().IsRunning()) return;
    const uint32_t selection = Host().carSelection;
    if (selection == 0 || Host().gameState == 0) return;
    const int32_t slot = HostRead<int32_t>(selection + kSelectionSlot);
    ClearPressed();
    fadePending = false;
    grinding = false;
    if (!S().gearGateEnabled) return;
    // The host's gear word numbers no forward gear past sixth, whatever the
    // physics file says.
    topGear = std::min(GearCount(slot), gears::kTop);
    const UpshiftValues upshifts = UpshiftTable(slot);
    for (size_t i = 0; i < upshifts.size(); ++i) upshiftTable[i] = upshifts[i];
    requestedGear = gears::kNeutral;
    appliedGear = gears::kNeutral;
    StopOrFade(true);
    // A later toggle to Auto detected uses the configured car's type, found
    // here once (and not again when that car is the one being set up).
    const int32_t configuredSlot = ConfiguredSlot();
    configuredCarType = DetectTypeForSlot(configuredSlot);
    if (S().shifterType == kAutoDetected) {
        const int32_t detected = slot == configuredSlot ? configuredCarType.load() : DetectTypeForSlot(slot);
        if (detected != currentType) {
            AnnounceShifterType(detected);
            // An unknown car keeps the last car's type.
            if (detected != shifter_types::kUnknown) currentType = detected;
        }
    } else {
        currentType = S().shifterType.load();
    }
    clutchNeeded = currentType == shifter_types::kHPattern && S().clutchRequired == kAutoDetected
                       ? ClutchRequiredForSlot(slot)
                       : S().clutchRequired.load();
    SendGearboxMessage(currentType);
}

void KVTShifter::ApplyHostGearbox(int32_t type) {
    kvt::MutexLock lock(gearboxLock_);
    RestoreLocked();
    if (!g_settings || !S().gearGateEnabled) return;
    if (type == shifter_types::kUnknown) type = ResolvedType(S().shifterType);
    for (int i = 0; i < 4; ++i) savedHostWords_.push_back(GearboxWord(i));
    WriteGearboxWord(0, 1);
    if (type == shifter_types::kHPattern)
        for (int i = 1; i < 4; ++i) WriteGearboxWord(i, 0);
}

void KVTShifter::RestoreHostGearbox() {
    kvt::MutexLock lock(gearboxLock_);
    RestoreLocked();
}

void KVTShifter::RestoreLocked() {
    if (savedHostWords_.size() == 4)
        for (int i = 0; i < 4; ++i) WriteGearboxWord(i, savedHostWords_[static_cast<size_t>(i)]);
    savedHostWords_.clear();
}

std::vector<int32_t> KVTShifter::SavedHostWords() const {
    kvt::MutexLock lock(gearboxLock_);
    return savedHostWords_;
}

void KVTShifter::LoadShiftDeadzone() {
    if (g_settings && S().gearGateEnabled) configuredCarType = DetectTypeForSlot(ConfiguredSlot());
    ApplyHostGearbox(shifter_types::kUnknown);
    const std::string file = HostPath("\\Plugins\\TLZCarMenu.ini");
    int32_t deadzone = 0;
    try {
        deadzone = Config::ReadProfileInt("Default", "DeadzoneByTimeMSecGearShift", 0, file);
    } catch (...) {
        // Not a number: the default below.
        deadzone = 0;
    }
    // A negative deadzone, taken as unsigned, would refuse every shift.
    shiftDeadzoneMs = deadzone <= 0 ? kDefaultDeadzoneMs : deadzone;
}

void KVTShifter::SetGearGateEnabled(bool on) {
    if (!g_settings) return;
    S().gearGateEnabled = on;
    Input::SDLBackend& job = Job();
    if (on) {
        if (g_soundBank) g_soundBank->LoadSounds();
        job.ConnectBoundDevices(false, false);
        return;
    }
    job.DisconnectAllDevices();
    job.ConnectBoundDevices(false, false);
    ClearPressed();
    if (job.IsRunning()) SendGearboxMessage(shifter_types::kSequential);
    RestoreHostGearbox();
}
