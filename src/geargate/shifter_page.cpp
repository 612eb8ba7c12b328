// The GearGate page: its rows, the menu's binding, unbinding and choices,
// the capture's count-down, and what it hands to its engine.
#include "geargate/shifter_page.h"

#include <cstdio>
#include <string>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/setting_id.h"
#include "geargate/car_profiles.h"
#include "geargate/gear_gate_host.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/host_memory.h"
#include "platform/platform.h"
#include "sound/sound_player.h"

namespace {
// The player's words for a shifter type, a clutch requirement and a gear
// word ("R", "N", "1" to "6"), on the page and in the log.
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

// What a car set-up found and where from, for a player who asks why a car
// shifts as it does (the car's name costs a read of the car lists).
void LogCarSetUp(int32_t slot, int32_t type, CarSource typeSource, int32_t clutch, CarSource clutchSource) {
    const int32_t carId = CarIdForSlot(slot);
    LogLine("Car set-up: slot " + std::to_string(slot) + ", car " + std::to_string(carId) + " \"" +
            CarNameFromJson(carId) + "\": " + ShifterTypeText(type) + " (" + CarSourceText(typeSource) +
            "), " + ClutchText(clutch) + " (" + CarSourceText(clutchSource) + ")");
}

constexpr const char* kBindHint = "[ENTER] Bind  [DEL] Unbind";
constexpr const char* kGearSuffix = " (H-pattern Gear)";

struct BindingRow {
    int32_t id;
    const char* label;
    const char* suffix;
};
constexpr BindingRow kBindingRows[] = {
    {GEARGATE_GEAR_1, "H-Pattern Gear 1", kGearSuffix},
    {GEARGATE_GEAR_2, "H-Pattern Gear 2", kGearSuffix},
    {GEARGATE_GEAR_3, "H-Pattern Gear 3", kGearSuffix},
    {GEARGATE_GEAR_4, "H-Pattern Gear 4", kGearSuffix},
    {GEARGATE_GEAR_5, "H-Pattern Gear 5", kGearSuffix},
    {GEARGATE_GEAR_6, "H-Pattern Gear 6", kGearSuffix},
    {GEARGATE_GEAR_R, "H-Pattern Gear R", kGearSuffix},
    {GEARGATE_SEQUENTIAL_NEUTRAL, "Sequential N", ""},
    {GEARGATE_SEQUENTIAL_UP, "Sequential Up", ""},
    {GEARGATE_SEQUENTIAL_DOWN, "Sequential Down", ""},
    {GEARGATE_TOGGLE_MODE, "Toggle Type", " (Changes shifter type)"},
};

int32_t PositionOf(const std::vector<MenuItem*>& items, int32_t id) {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i]->id == id) return static_cast<int32_t>(i);
    return -1;
}
}  // namespace

KVTShifter::KVTShifter(IHostGame* game_, std::string name_, std::atomic<bool>* enableFlag_,
                       CPluginBase* parent_)
    : BindingPage(game_, std::move(name_), enableFlag_, parent_) {
    Config::Setting& s = *g_settings;
    items.push_back(MenuItem::Toggle(PLUGIN_ENABLED, "GearGate", UNKNOWN,
                                     "[< >] Enable/Disable custom shifter support", &s.gearGateEnabled));
    items.push_back(MenuItem::Decimal(GEARGATE_GEARSOUNDSVOL, "Gear Volume", UNKNOWN,
                                      "[< >] Sound effect volume when a gear or clutch is missed (0=Muted)",
                                      &s.soundVolume, 2.0, 0.05));
    items.push_back(MenuItem::Decimal(GEARGATE_TYPESOUNDSVOL, "Type Change Volume", UNKNOWN,
                                      "[< >] Sound volume of the shifter type notification (0=Muted)",
                                      &s.soundVolumeShiftType, 2.0, 0.05));
    MenuItem* type = MenuItem::TextChoice(
        GEARGATE_SHIFTTYPE, "Type", UNKNOWN,
        "[< >] Shifter type (Seq or H) auto detected per car or manually set", &s.shifterTypeText);
    for (const char* option : {"Sequential", "H-Pattern", "Auto detected"}) type->AddOption(option);
    type->SelectOption(2);
    items.push_back(type);
    items.push_back(MenuItem::Toggle(
        GEARGATE_AUTONEUTRAL, "Auto Neutral", UNKNOWN,
        "[< >] Automatic neutral (N) when a H-pattern gear (1-6, R) is not active", &s.autoNeutral));
    MenuItem* clutch = MenuItem::TextChoice(
        GEARGATE_CLUTCH_REQUIRED, "Clutch Required", UNKNOWN,
        "[< >] Is a clutch required in H-pattern mode? Auto detected per car (carinfo.ini) or manually set",
        &s.clutchRequiredText);
    for (const char* option : {"Not required", "Required", "Auto detected"}) clutch->AddOption(option);
    clutch->SelectOption(1);
    items.push_back(clutch);
    items.push_back(MenuItem::Decimal(GEARGATE_CLUTCH_THRESHOLD, "Clutch Threshold", UNKNOWN,
                                      "[< >] The bite point of the clutch pressing", &s.clutchThreshold, 1.0,
                                      0.05));
    for (const BindingRow& row : kBindingRows)
        items.push_back(MenuItem::Binding(row.id, row.label, std::string(kBindHint) + row.suffix, 0));
    firstBindingIndex = PositionOf(items, GEARGATE_GEAR_1);
    lastBindingIndex = PositionOf(items, GEARGATE_TOGGLE_MODE);
    std::array<const MenuItem*, shifter_rows::kCount> rows{};
    for (int i = 0; i < shifter_rows::kCount && firstBindingIndex >= 0; ++i)
        if (firstBindingIndex + i <= lastBindingIndex)
            rows[static_cast<size_t>(i)] = items[static_cast<size_t>(firstBindingIndex + i)];
    engine_.SetRows(rows);
}

// The sounds' own end releases them and the library, after the engine's.
KVTShifter::~KVTShifter() {
    LeaveJob();
}

const char* KVT_THISCALL KVTShifter::GetPluginName() {
    // The sounds are there before the first event can need them.
    if (!listenerRegistered && PageEnabled()) sounds.LoadSounds();
    JoinJob();
    return "KVT H-Shifter";
}

bool KVTShifter::HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                                 bool select) {
    if (capture.Waiting()) return true;
    CPluginBase::HandleMenuInput(selected, textKey, up, down, left, right, select);
    MenuItem* item = OwnItemAt(*selected);
    if (!item) return false;

    if (item->group == KEYBIND && textKey == 0 && !*up && !*down && !left && !right && !select) {
        if (UnbindWhileDeleteHeld(*item)) {
            engine_.ClearPressed();
            TheMenuBook().unsavedChanges = true;
        }
        return true;
    }
    if (left || right) {
        // Choices act at the next car set-up, toggle or shift reload, not now.
        const int32_t chosen = item->OptionIndex(item->TextValue());
        if (item->id == PLUGIN_ENABLED && enableFlag) SetGearGateEnabled(*enableFlag);
        if (item->id == GEARGATE_SHIFTTYPE && chosen >= 0 && g_settings) g_settings->shifterType = chosen;
        if (item->id == GEARGATE_CLUTCH_REQUIRED && chosen >= 0 && g_settings)
            g_settings->clutchRequired = chosen;
    }
    if (select) StartCapture(item);
    return true;
}

void KVTShifter::OnGameMode(int32_t mode) {
    engine_.driving = mode == host_modes::kDriving;
    if (mode == host_modes::kShiftReload) {
        engine_.LoadShiftDeadzone();
    } else if (mode == host_modes::kCarSetup) {
        // A state word of 1 means the host is not setting up a car after all.
        const uint32_t state2 = Host().gameState2;
        if (state2 != 0 && platform::HostRead<uint32_t>(state2 + host_offsets::kState2Field) != 1 &&
            engine_.SetupForCar(Job()) && g_verboseLog) {
            const GearState set = engine_.State();
            LogCarSetUp(set.carSlot, set.currentType, set.typeSource, set.clutchNeeded, set.clutchSource);
        }
    } else if (mode == host_modes::kMenus) {
        engine_.RestoreHostGearbox();
    }
}

void KVTShifter::OnHub() {
    engine_.driving = false;
    engine_.LoadShiftDeadzone();
}

void KVTShifter::DrawStatusLines(float x, float y) {
    const GearState state = engine_.State();
    // The host's own pointer as it is now, not as the last mode change left
    // it: no car, no reading through it.
    const uint32_t car = CurrentCarObject();
    char clutch[16] = "-";
    const char* gear = "-";
    if (car != 0) {
        std::snprintf(clutch, sizeof clutch, "%.2f",
                      static_cast<double>(platform::HostRead<float>(car + host_offsets::kCarClutchField)));
        gear = GearText(platform::HostRead<int32_t>(car + host_offsets::kCarGearField));
    }
    char line[160];
    std::snprintf(line, sizeof line, "Clutch %s, bites past %.2f   Gear %s", clutch,
                  static_cast<double>(g_settings ? g_settings->clutchThreshold.load() : 0.0f), gear);
    game->WriteText(x, y, line);
    if (state.carSlot < 0) {
        std::snprintf(line, sizeof line, "This car: none set up yet");
    } else {
        // A toggle to Auto detected shifts as an H-pattern until the next
        // car's set-up detects its type.
        const bool toggledToAuto = state.currentType == gear_gate_host::kAutoDetected;
        std::snprintf(
            line, sizeof line, "This car: %s (%s), %s (%s)",
            toggledToAuto ? ShifterTypeText(shifter_types::kHPattern) : ShifterTypeText(state.currentType),
            toggledToAuto ? "auto detected" : CarSourceText(state.typeSource), ClutchText(state.clutchNeeded),
            CarSourceText(state.clutchSource));
    }
    game->WriteText(x, y + kMenuLineHeight, line);
}

bool KVTShifter::CaptureWaiting() const {
    return capture.AnyWaiting();
}

void KVTShifter::ShifterTypeToggled(int32_t type) {
    if (MenuItem* row = FindItem(GEARGATE_SHIFTTYPE)) row->SelectOption(static_cast<size_t>(type));
}

// While driving, the page's buttons shift: a capture waits until the stage ends.
bool KVTShifter::OnCaptureEvent(const SDL_Event& event) {
    if (!g_settings || !g_settings->gearGateEnabled || engine_.driving) return false;
    return capture.OnInputEvent(event, Job());
}

void KVTShifter::OnInputEvent(const SDL_Event& event) {
    if (g_settings && g_settings->gearGateEnabled) engine_.OnInputEvent(event, Job());
}

void KVTShifter::OnTick() {
    engine_.OnTick(Job());
    capture.OnTick(Job());
}

void KVTShifter::OnDevicesDisconnected() {
    engine_.ReleaseAllRows(Job());
}

void KVTShifter::SetGearGateEnabled(bool on) {
    if (!g_settings) return;
    g_settings->gearGateEnabled = on;
    if (on) sounds.LoadSounds();
    ConnectAsSwitched(on);
    if (!on) engine_.SwitchedOff(Job());
}
