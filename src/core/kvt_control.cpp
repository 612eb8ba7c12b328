// The main object: construction, deferred start-up, the menu page, the
// hold-progress overlay and the reactions to the host's game modes.
#include "core/kvt_control.h"

#include <memory>

#include "config/setting.h"
#include "config/setting_id.h"
#include "core/code_patch.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "geargate/shifter_page.h"
#include "input/sdl_backend.h"
#include "platform/host_memory.h"
#include "platform/platform.h"
#include "rurazu/rurazu_pages.h"

KVTControl* g_instance = nullptr;
IHostGame* g_hostGame = nullptr;

namespace {
constexpr float kMenuX = 65.0f;
constexpr const char* kPluginCredits =
    "KVT Controls: RurAzu controller keys and GearGate shifter by the KVT Controls team";
constexpr const char* kGearGateCredits =
    "GearGate: H-pattern and sequential shifting written into the car by KVT Controls";
constexpr const char* kHostBindingWarning =
    "WARNING. Original KVT H-PATTERN Gear1-6-R buttons set. Unbind those before enabling GearGate here";

// Process lifetime; replaced only when a new main object is built (tests).
std::unique_ptr<Config::Setting> g_settingsOwner;

bool Flag(uint32_t word) {
    return (word & 0xFF) != 0;
}

void AddChild(KVTControl* root, CPluginBase* page) {
    for (CPluginBase* child : root->children)
        if (child == page) return;
    root->children.push_back(page);
}
}  // namespace

KVTControl::KVTControl(IHostGame* game_) : CPluginBase(game_, std::string(), nullptr, nullptr) {
    g_settingsOwner = std::make_unique<Config::Setting>();
    g_settings = g_settingsOwner.get();
    g_settings->LoadSettingsFile();

    Input::SDLBackend& backend = Input::GetBackend();
    if (!backend.ThreadExists()) {
        if (g_verboseLog) LogLine("Backend Initialize");
        backend.CreateThread();
    }

    g_hostGame = game;
    for (size_t i = 0; i < kHoldProgressSlots; ++i) holdProgressSlots.push_back(new HoldProgressSlot());

    items.push_back(MenuItem::OwnChoice(MENUPAGE_SWITCH, "Page", UNKNOWN, "[< >] Switches a menu page"));
    items.push_back(
        MenuItem::OwnChoice(SAVE_SETTINGS, "Save Settings", SAVE_SETTINGS, "[ENTER] Saves settings"));
    items.push_back(MenuItem::OwnChoice(SEPARATOR, "", UNKNOWN, ""));
    for (MenuItem* item : items) {
        if (item->id != MENUPAGE_SWITCH) continue;
        for (const char* option : kPageOptions) item->AddOption(option);
        item->SetValue(kPageOptions[0]);
        break;
    }

    auto optionName = [this](size_t index) -> std::string {
        const MenuItem* selector = items[0];
        return selector->options && index < selector->options->size() ? (*selector->options)[index] : "";
    };
    bool* rurAzuFlag = &g_settings->rurAzuEnabled;
    CPluginBase* page = new KVTRurazu(game, optionName(0), rurAzuFlag, this);
    AddChild(this, page);
    page->BuildMenu();
    page = new KVTRurazu2(game, optionName(1), rurAzuFlag, this);
    AddChild(this, page);
    page->BuildMenu();
    // The GearGate page builds its lines in its constructor and joins the list last.
    shifterPage = new KVTShifter(game, optionName(2), &g_settings->gearGateEnabled, this);
    page = new KVTRurazuVR(game, optionName(3), rurAzuFlag, this);
    AddChild(this, page);
    page->BuildMenu();
    AddChild(this, shifterPage->BuildMenu());

    g_settings->ReadAllSettings();

    auto optionText = [](const MenuItem* item, int32_t index) -> std::string {
        if (!item || !item->options || index < 0 || size_t(index) >= item->options->size()) return "";
        return (*item->options)[index];
    };
    if (const MenuItem* type = FindItem(GEARGATE_SHIFTTYPE))
        g_settings->shifterTypeText = optionText(type, g_settings->shifterType);
    if (const MenuItem* clutch = FindItem(GEARGATE_CLUTCH_REQUIRED))
        g_settings->clutchRequiredText = optionText(clutch, g_settings->clutchRequired);

    if (g_verboseLog) LogLine("KVTControl 5.2.26.0 created");
}

KVTControl::~KVTControl() {
    if (g_verboseLog) LogLine("Closing KVTControl");
    Input::GetBackend().StopJob();
    {
        std::lock_guard<std::mutex> lock(holdProgressLock_);
        holdProgressVisible = false;
        for (HoldProgressSlot* slot : holdProgressSlots) delete slot;
        holdProgressSlots.clear();
    }
    // A later export call must build a new object, not hand out this one.
    if (g_instance == this) g_instance = nullptr;
}

const char* KVT_THISCALL KVTControl::GetPluginName() {
    if (!startedUp_) {
        startedUp_ = true;
        try {
            StartUp();
        } catch (...) {
            LogException("ERROR. KVTControl start-up failed.");
        }
    }
    return "KVT Controls";
}

void KVTControl::StartUp() {
    if (g_verboseLog)
        LogLine("Initializing KVTControl and all " + std::to_string(children.size()) + " child plugins");
    RefreshHostLocations();
    for (CPluginBase* child : children) child->GetPluginName();

    PatchState& patches = Patches();
    if (!patches.modeStoreInstalled) InstallModeStorePatch();
    if (!patches.hubInstalled) InstallHubPatch();
    if (!patches.renderInstalled) InstallRenderPatch();

    if (!g_settings->delayedInitEnabled) {
        if (g_verboseLog) LogLine("Starting the backend input job");
        Input::GetBackend().RequestStart(Host().hostWindow);
    }
}

void KVTControl::OnGameModeChange() {
    try {
        RefreshHostLocations();
        RefreshCarObject();
        const int32_t mode = ReadGameMode();
        if (mode == lastGameMode_) return;
        if (mode == 3) {
            {
                std::lock_guard<std::mutex> lock(holdProgressLock_);
                holdProgressVisible = false;
                for (HoldProgressSlot* slot : holdProgressSlots) slot->actionId = 0;
            }
            Input::SDLBackend& backend = Input::GetBackend();
            if (g_settings->delayedInitEnabled && !backend.IsRunning()) {
                if (g_verboseLog) LogLine("Starting the backend input job (delayed initialization)");
                backend.RequestStart(Host().hostWindow);
            }
        }
        if (shifterPage) {
            shifterPage->driving = mode == 1;
            if (mode == 241) {
                shifterPage->LoadShiftDeadzone();
            } else if (mode == 13) {
                const uint32_t state2 = Host().gameState2;
                if (state2 != 0 && platform::HostRead<uint32_t>(state2 + host_offsets::kState2Field) != 1)
                    shifterPage->SetupForCar();
            } else if (mode == 3) {
                shifterPage->RestoreHostGearbox();
            }
        }
        lastGameMode_ = mode;
    } catch (...) {
        LogException("ERROR. OnGameModeChange failed.");
    }
}

void KVT_THISCALL KVTControl::DrawPluginPage() {
    try {
        CPluginBase* page = CurrentPage();
        game->DrawArea(0, 0, 0, 0);
        game->SetPresetColour(4);
        game->SetTextStyle(1);
        game->WriteText(kMenuX, 20, kPluginTitle);
        float y = DrawMenuItems(selectedIndex, kMenuX, 37);
        if (page) y = page->DrawMenuItems(selectedIndex, kMenuX, y);
        game->SetPresetColour(4);
        game->SetTextStyle(0);
        y += 3;
        const MenuItem* selected = ItemAt(selectedIndex);
        if (selected && !selected->description.empty()) {
            game->WriteText(kMenuX, y, selected->description.c_str());
            y += 17;
        }
        bool warned = false;
        if (page && page == shifterPage && HostHPatternBound()) {
            if (shifterPage->PageEnabled()) shifterPage->SetGearGateEnabled(false);
            DrawHostBindingWarning(y);
            warned = true;
        }
        const bool gearGateShown = page && page == shifterPage;
        game->WriteText(kMenuX, y + (warned ? 17 : 4), gearGateShown ? kGearGateCredits : kPluginCredits);
    } catch (...) {
        LogException("ERROR. DrawPluginPage failed.");
    }
}

void KVTControl::DrawHostBindingWarning(float y) {
    const uint32_t now = platform::TickCount();
    if (now - warningFlipTime_ > 1500) {
        warningColour_ ^= 1;
        warningFlipTime_ = now;
    }
    if (warningColour_ == 0) {
        game->SetColour(204 / 255.0f, 0, 0, 1);
    } else {
        game->SetColour(1, 224 / 255.0f, 0, 1);
    }
    game->WriteText(kMenuX, y, kHostBindingWarning);
    game->SetPresetColour(4);
}

void KVT_THISCALL KVTControl::HandlePluginInput(uint32_t key, uint32_t up, uint32_t down, uint32_t left,
                                                uint32_t right, uint32_t select) {
    try {
        const char textKey = static_cast<char>(key & 0xFF);
        bool upFlag = Flag(up);
        bool downFlag = Flag(down);
        CPluginBase* page = CurrentPage();
        if (page && page->HandleMenuInput(&selectedIndex, textKey, &upFlag, &downFlag, Flag(left),
                                          Flag(right), Flag(select)))
            return;
        HandleMenuInput(&selectedIndex, textKey, &upFlag, &downFlag, Flag(left), Flag(right), Flag(select));
    } catch (...) {
        LogException("ERROR. HandlePluginInput failed.");
    }
}

bool KVTControl::HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                                 bool select) {
    CPluginBase::HandleMenuInput(selected, textKey, up, down, left, right, select);
    if (*selected < 0 || *selected >= static_cast<int32_t>(items.size()) || !select) return false;
    if (items[*selected]->group != SAVE_SETTINGS) return false;
    g_settings->SaveAllSettings();
    return true;
}

void KVTControl::SetHoldProgress(const MenuItem* item, uint32_t elapsed) {
    if (!item || item->holdTime == 0) return;
    const float fraction = elapsed == 0 ? 0.0f : float(elapsed) / float(item->holdTime);
    std::lock_guard<std::mutex> lock(holdProgressLock_);
    HoldProgressSlot* slot = nullptr;
    HoldProgressSlot* firstFree = nullptr;
    for (HoldProgressSlot* candidate : holdProgressSlots) {
        if (candidate->actionId == item->id) {
            slot = candidate;
            break;
        }
        if (!firstFree && candidate->actionId == 0) firstFree = candidate;
    }
    if (!slot) {
        if (!firstFree) return;
        slot = firstFree;
        slot->fraction = fraction;
        slot->caption = item->name;
        slot->actionId = item->id;
    }
    if (fraction > 0) {
        slot->fraction = fraction;
        holdProgressVisible = true;
    } else {
        slot->actionId = 0;
        bool anyInUse = false;
        for (HoldProgressSlot* candidate : holdProgressSlots) anyInUse = anyInUse || candidate->actionId > 0;
        holdProgressVisible = anyInUse;
    }
}

void KVTControl::DrawHoldProgress() {
    try {
        std::lock_guard<std::mutex> lock(holdProgressLock_);
        if (!holdProgressVisible) return;
        const float firstTop = ReadGameMode() == 3 ? 20.0f : 250.0f;
        int drawn = 0;
        for (const HoldProgressSlot* slot : holdProgressSlots) {
            if (slot->actionId <= 0) continue;
            const float top = firstTop + 20.0f * drawn++;
            game->SetColour(0, 0, 0, 1);
            game->DrawFilledBox(320, top, 100, 19);
            if (slot->fraction >= 1) {
                game->SetColour(0, 1, 0, 1);
            } else {
                game->SetColour(1, 0, 0, 1);
            }
            const float clamped = slot->fraction < 0 ? 0 : (slot->fraction > 1 ? 1 : slot->fraction);
            game->DrawFilledBox(320, top, 100 * clamped, 19);
            game->BeginMode(64);
            game->SetTextStyle(1);
            game->SetPresetColour(3);
            game->WriteText(320, top, slot->caption.c_str());
            game->EndMode(64);
        }
    } catch (...) {
        LogException("ERROR. DrawHoldProgress failed.");
    }
}
