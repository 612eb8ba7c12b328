// The GearGate page, which also carries the shifter engine, and an input
// listener of the job.
#pragma once

#include <atomic>

#include "core/plugin_base.h"
#include "input/sdl_listener.h"

class KVTShifter : public CPluginBase, public Input::SDLListener {
public:
    using CPluginBase::CPluginBase;
    ~KVTShifter() override;
    const char* KVT_THISCALL GetPluginName() override;

    // Reactions to the host's game modes (241, 13, 3).
    void LoadShiftDeadzone();
    void SetupForCar();
    void RestoreHostGearbox();
    void SetGearGateEnabled(bool on);

    // The shifter engine's input comes with the GearGate work.
    void OnTick() override {}
    void OnInputEvent(const SDL_Event&) override {}
    bool IsDeviceBound(const std::string& deviceName) override;
    bool IsJoystickBound(SDL_JoystickID id) override;
    void OnDevicesDisconnected() override {}

    // True exactly while the host's game mode is 1.
    std::atomic<bool> driving{false};
    bool firstNameCall = true;
};
