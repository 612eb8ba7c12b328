// The main object: root of the in-game menu, owner of the four pages and of the
// hold-progress overlay, and the plug-in's answer to the host's game modes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/hold_progress.h"
#include "core/plugin_base.h"
#include "core/version.h"

class KVTShifter;

inline constexpr const char* kPluginTitle = "KVT Controls " KVT_VERSION " (Velmora Compatible)";
inline constexpr const char* kPageOptions[] = {"[1/4] RurAzu", "[2/4] RurAzu", "[3/4] GearGate",
                                               "[4/4] openKVTVR"};

class KVTControl : public CPluginBase {
public:
    explicit KVTControl(IHostGame* game);
    ~KVTControl() override;

    const char* KVT_THISCALL GetPluginName() override;
    void KVT_THISCALL DrawPluginPage() override;
    void KVT_THISCALL HandlePluginInput(uint32_t key, uint32_t up, uint32_t down, uint32_t left,
                                        uint32_t right, uint32_t select) override;
    bool HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                         bool select) override;

    HoldProgressOverlay* HoldOverlay() override { return &holdProgress; }
    // From the render hook, once per rendered frame.
    void DrawHoldProgress();
    // From the mode-store hook, after every store of the game mode.
    void OnGameModeChange();
    // From the hub's hook.
    void OnHub();

    int32_t selectedIndex = 0;
    KVTShifter* shifterPage = nullptr;
    HoldProgressOverlay holdProgress;

private:
    void StartUp(bool firstInProcess);
    void DrawHostBindingWarning(float y);

    // This object's pages have had their first name call.
    bool pagesStarted_ = false;
    // The missing bound controllers were logged for this start.
    bool missingLogged_ = false;
    int warningColour_ = 0;
    uint32_t warningFlipTime_ = 0;
};

// The one instance (null until the export has run).
extern KVTControl* g_instance;

// What happens once per process, however many main objects the host makes:
// a main object created after the host destroyed the first must neither start
// up again (patches, input job) nor forget the last game mode it saw.
struct CoreOnce {
    std::atomic<bool> startUpDone{false};
    std::atomic<int32_t> lastGameMode{-1};
};
CoreOnce& Once();
// Forgets it, as a new process would (tests).
void ResetCoreOnce();
