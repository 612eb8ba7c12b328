// The main object: construction, deferred start-up, the menu page, the
// hold-progress overlay and the reactions to the host's game modes.
#include "plugin/kvt_control.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/setting_id.h"
#include "core/text.h"
#include "geargate/shifter_page.h"
#include "input/sdl_backend.h"
#include "platform/host_memory.h"
#include "platform/platform.h"
#include "plugin/patch_hooks.h"
#include "rurazu/rurazu_pages.h"

KVTControl* g_instance = nullptr;

// What the patched sites' hooks call (patch_hooks.h): the main object, if
// there still is one, since the host keeps running its patched code after
// the object is gone.
#if defined(_WIN32) && defined(__i386__)
// The host's compiler keeps the stack 4-byte aligned; ours may assume more.
#define KVT_FROM_HOST_CODE __attribute__((force_align_arg_pointer))
#else
#define KVT_FROM_HOST_CODE
#endif

extern "C" KVT_FROM_HOST_CODE void kvt_mode_store_hooked() {
    RunForHost("ERROR. The mode-store hook failed.", [] {
        if (KVTControl* control = g_instance) control->OnGameModeChange();
    });
}

extern "C" KVT_FROM_HOST_CODE void kvt_render_hooked() {
    RunForHost("ERROR. The render hook failed.", [] {
        if (KVTControl* control = g_instance) control->DrawHoldProgress();
    });
}

// GearGate's reaction to game mode 241, without a mode change.
extern "C" KVT_FROM_HOST_CODE void kvt_hub_hooked() {
    RunForHost("ERROR. The hub hook failed.", [] {
        if (KVTControl* control = g_instance) control->OnHub();
    });
}

namespace {
// The menu page in the host's units: title, then lines from y 37.
constexpr float kMenuX = 65.0f;
constexpr float kTitleY = 20.0f;
constexpr float kFirstLineY = 37.0f;
constexpr float kDescriptionGap = 3.0f;
constexpr float kCreditsGap = 4.0f;
// The host-binding warning flips between its two colours this often.
constexpr uint32_t kWarningBlinkMs = 1500;
// Room for a status line: the last input, or a few missing controllers.
constexpr size_t kStatusLineSize = 256;
// What fits in one line of the small text between x 65 and the right edge of
// the host's 640 units, with room for wide letters.
constexpr size_t kStatusLineChars = 84;
constexpr const char* kPluginCredits =
    "KVT Controls: RurAzu controller keys and GearGate shifter by the KVT Controls team";
constexpr const char* kGearGateCredits =
    "GearGate: H-pattern and sequential shifting written into the car by KVT Controls";
// In two lines, at its full stop: in one it runs past the screen's right edge.
constexpr const char* kHostBindingWarning[] = {"WARNING. Original KVT H-PATTERN Gear1-6-R buttons set.",
                                               "Unbind those before enabling GearGate here"};

CoreOnce g_once;

bool Flag(uint32_t word) {
    return (word & 0xFF) != 0;
}

void AddChild(KVTControl* root, CPluginBase* page) {
    for (CPluginBase* child : root->children)
        if (child == page) return;
    root->children.push_back(page);
}
}  // namespace

CoreOnce& Once() {
    return g_once;
}

void ResetCoreOnce() {
    g_once.startUpDone = false;
    g_once.lastGameMode = host_modes::kUnknown;
}

KVTControl::KVTControl(IHostGame* game_) : CPluginBase(game_, std::string(), nullptr, nullptr) {
    Config::CreateSettingsOnce();

    Input::SDLBackend& backend = Input::GetBackend();
    if (!backend.ThreadExists()) {
        if (g_verboseLog) LogLine("Backend Initialize");
        backend.CreateThread();
    }

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
    std::atomic<bool>* rurAzuFlag = &g_settings->rurAzuEnabled;
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

    // The settings' two texts are these rows' values: written through the
    // rows, under the lines' text lock, like every line's text.
    if (MenuItem* type = FindItem(GEARGATE_SHIFTTYPE)) type->ShowOption(g_settings->shifterType);
    if (MenuItem* clutch = FindItem(GEARGATE_CLUTCH_REQUIRED)) clutch->ShowOption(g_settings->clutchRequired);

    if (g_verboseLog) LogLine("KVTControl " KVT_VERSION " created");
}

KVTControl::~KVTControl() {
    if (g_verboseLog) LogLine("Closing KVTControl");
    Input::GetBackend().StopJob();
    holdProgress.Clear();
    // A later export call must build a new object, not hand out this one.
    if (g_instance == this) g_instance = nullptr;
}

const char* KVT_THISCALL KVTControl::GetPluginName() {
    if (!pagesStarted_) {
        pagesStarted_ = true;
        try {
            StartUp(!Once().startUpDone.exchange(true));
        } catch (...) {
            LogException("ERROR. KVTControl start-up failed.");
        }
    }
    return "KVT Controls";
}

// A later main object's pages still need their first call (it registers
// their input listeners); the process-wide steps run for the first object only.
void KVTControl::StartUp(bool firstInProcess) {
    if (firstInProcess) {
        if (g_verboseLog)
            LogLine("Initializing KVTControl and all " + std::to_string(children.size()) + " child plugins");
        RefreshHostLocations();
    }
    for (CPluginBase* child : children) child->GetPluginName();
    if (!firstInProcess) return;

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
        const Input::InputStatus& status = Input::GetBackend().Status();
        if (!missingLogged_ && status.ControllersKnown()) {
            // Once a start, as soon as the job has read the controllers.
            missingLogged_ = true;
            Input::LogMissingControllers(status, *this);
        }
        const int32_t mode = ReadGameMode();
        if (mode == Once().lastGameMode) return;
        if (mode == host_modes::kMenus) {
            holdProgress.Clear();
            Input::SDLBackend& backend = Input::GetBackend();
            if (g_settings->delayedInitEnabled && !backend.IsRunning()) {
                if (g_verboseLog) LogLine("Starting the backend input job (delayed initialization)");
                backend.RequestStart(Host().hostWindow);
            }
        }
        if (shifterPage) shifterPage->OnGameMode(mode);
        Once().lastGameMode = mode;
    } catch (...) {
        LogException("ERROR. OnGameModeChange failed.");
    }
}

void KVTControl::OnHub() {
    if (shifterPage) shifterPage->OnHub();
}

void KVT_THISCALL KVTControl::DrawPluginPage() {
    try {
        CPluginBase* page = CurrentPage();
        game->DrawArea(0, 0, 0, 0);
        game->SetPresetColour(host_draw::kPresetTitle);
        game->SetTextStyle(host_draw::kStyleMenu);
        game->WriteText(kMenuX, kTitleY, kPluginTitle);
        // Switched off before its rows are drawn, so the frame that warns
        // never shows GearGate enabled beside the warning.
        const bool warned = page && page == shifterPage && HostHPatternBound();
        if (warned && shifterPage->PageEnabled()) shifterPage->SetGearGateEnabled(false);
        float y = DrawMenuItems(selectedIndex, kMenuX, kFirstLineY);
        if (page) y = page->DrawMenuItems(selectedIndex, kMenuX, y);
        game->SetPresetColour(host_draw::kPresetTitle);
        game->SetTextStyle(host_draw::kStyleDescription);
        y += kDescriptionGap;
        const MenuItem* selected = ItemAt(selectedIndex);
        if (selected && !selected->description.empty()) {
            game->WriteText(kMenuX, y, selected->description.c_str());
            y += kMenuLineHeight;
        }
        if (warned) {
            DrawHostBindingWarning(y);
            y += kMenuLineHeight;
        }
        const bool gearGateShown = page && page == shifterPage;
        const float creditsY = y + (warned ? kMenuLineHeight : kCreditsGap);
        game->WriteText(kMenuX, creditsY, gearGateShown ? kGearGateCredits : kPluginCredits);
        char status[kStatusLineSize];
        // The keys the selected line takes come first: they are what the
        // player is about to use, and a long line is cut at its end.
        const char* typedKeys = page && selected ? page->TypedKeysHint(*selected) : nullptr;
        const int keysLength = typedKeys ? std::snprintf(status, sizeof status, "%s   ", typedKeys) : 0;
        const size_t used = keysLength > 0 ? std::min(static_cast<size_t>(keysLength), sizeof status - 1) : 0;
        const Input::InputStatus& seen = Input::GetBackend().Status();
        Input::WriteStatusLine(seen, status + used, sizeof status - used);
        char missing[kStatusLineSize];
        Input::WriteMissingLine(seen, *this, missing, sizeof missing);
        // Beside the last input where both fit, else on a line of its own.
        const size_t length = std::strlen(status);
        const bool together = missing[0] != '\0' && length + 3 + std::strlen(missing) <= kStatusLineChars;
        if (together) std::snprintf(status + length, sizeof status - length, "   %s", missing);
        CutAtWord(status, kStatusLineChars);
        float lineY = creditsY + kMenuLineHeight;
        game->WriteText(kMenuX, lineY, status);
        if (missing[0] != '\0' && !together) {
            CutAtWord(missing, kStatusLineChars);
            lineY += kMenuLineHeight;
            game->WriteText(kMenuX, lineY, missing);
        }
        // With the warning, GearGate is off and the screen is full: its car
        // and clutch lines would run past the bottom edge.
        if (gearGateShown && !warned) shifterPage->DrawStatusLines(kMenuX, lineY + kMenuLineHeight);
    } catch (...) {
        LogException("ERROR. DrawPluginPage failed.");
    }
}

void KVTControl::DrawHostBindingWarning(float y) {
    const uint32_t now = platform::ClockMs();
    if (now - warningFlipTime_ > kWarningBlinkMs) {
        warningColour_ ^= 1;
        warningFlipTime_ = now;
    }
    if (warningColour_ == 0) {
        game->SetColour(204 / 255.0f, 0, 0, 1);
    } else {
        game->SetColour(1, 224 / 255.0f, 0, 1);
    }
    game->WriteText(kMenuX, y, kHostBindingWarning[0]);
    game->WriteText(kMenuX, y + kMenuLineHeight, kHostBindingWarning[1]);
    game->SetPresetColour(host_draw::kPresetTitle);
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
    Input::LogMissingControllers(Input::GetBackend().Status(), *this);
    return true;
}

void KVTControl::DrawHoldProgress() {
    try {
        holdProgress.DrawHoldProgress(game, ReadGameMode() == host_modes::kMenus);
    } catch (...) {
        LogException("ERROR. DrawHoldProgress failed.");
    }
}
