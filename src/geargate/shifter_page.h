// The GearGate page: its eighteen rows and their binding capture, the
// shifter engine that turns the bound rows into gears, and the sounds they
// play. It is the engine's input listener on the job.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "geargate/gear_gate_engine.h"
#include "input/binding_page.h"
#include "sound/sound_player.h"

class KVTShifter : public Input::BindingPage, private GearGateReports {
public:
    KVTShifter(IHostGame* game, std::string name, std::atomic<bool>* enableFlag, CPluginBase* parent);
    ~KVTShifter() override;
    const char* KVT_THISCALL GetPluginName() override;
    bool HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                         bool select) override;

    // The switch from the menu or the main object: sounds and devices follow,
    // and switched off the host's gearbox is given back.
    void SetGearGateEnabled(bool on);

    // The host's thread, after every store of a new game mode: driving or
    // not, the shift deadzone reread, a car set up, the host's gearbox words
    // given back in the menus.
    void OnGameMode(int32_t mode);
    // The host's thread, from the hub's hook: as game mode 241 without a
    // mode change.
    void OnHub();

    // The page's own status lines under the menu, from y on: the clutch
    // pedal against its threshold with the car's gear, and what the last car
    // set-up found and where from. Allocates nothing.
    void DrawStatusLines(float x, float y);

    // The job's calls, handed to the engine.
    void OnTick() override;
    bool OnCaptureEvent(const SDL_Event& event) override;
    void OnInputEvent(const SDL_Event& event) override;
    // Releases every held row (a held Toggle Type toggles once).
    void OnDevicesDisconnected() override;

    int32_t firstBindingIndex = -1;
    int32_t lastBindingIndex = -1;
    // Declared before the engine, which plays them until its end.
    SoundBank sounds;
    // The engine's state as tests and benchmarks set it up and read it; the
    // plug-in reaches the engine only through the page's methods.
    GearGateEngine& Engine() { return engine_; }

private:
    GearGateEngine engine_{*this, sounds};

    bool CaptureWaiting() const override;
    void ShifterTypeToggled(int32_t type) override;
};
