// The main object: root of the in-game menu, owner of the four pages and of the
// hold-progress overlay, and the plug-in's answer to the host's game modes.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/plugin_base.h"

class KVTShifter;

struct HoldProgressSlot {
    int32_t actionId = 0;  // greater than 0 while in use
    std::string caption;
    float fraction = 0.0f;
};

inline constexpr const char* kPluginTitle = "KVT Controls 5.2.26.0 (Velmora Compatible)";
inline constexpr const char* kPageOptions[] = {"[1/4] RurAzu", "[2/4] RurAzu", "[3/4] GearGate",
                                               "[4/4] openKVTVR"};
inline constexpr size_t kHoldProgressSlots = 5;

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

    // From the RurAzu engine's thread while a held binding needs a bar.
    void SetHoldProgress(const MenuItem* item, uint32_t elapsed);
    // From the render hook, once per rendered frame.
    void DrawHoldProgress();
    // From the mode-store hook, after every store of the game mode.
    void OnGameModeChange();

    int32_t selectedIndex = 0;
    KVTShifter* shifterPage = nullptr;
    bool holdProgressVisible = false;
    std::vector<HoldProgressSlot*> holdProgressSlots;

private:
    void StartUp();
    void DrawHostBindingWarning(float y);

    bool startedUp_ = false;
    int32_t lastGameMode_ = -1;
    // The render thread draws the slots while the input job updates them.
    std::mutex holdProgressLock_;
    int warningColour_ = 0;
    uint32_t warningFlipTime_ = 0;
};

// The one instance (null until the export has run) and the host game object.
extern KVTControl* g_instance;
extern IHostGame* g_hostGame;
