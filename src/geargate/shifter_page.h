// The GearGate page, which also carries the shifter engine.
#pragma once

#include <atomic>

#include "core/plugin_base.h"

class KVTShifter : public CPluginBase {
public:
    using CPluginBase::CPluginBase;
    const char* KVT_THISCALL GetPluginName() override;

    // Reactions to the host's game modes (241, 13, 3).
    void LoadShiftDeadzone();
    void SetupForCar();
    void RestoreHostGearbox();
    void SetGearGateEnabled(bool on);

    // True exactly while the host's game mode is 1.
    std::atomic<bool> driving{false};
    bool firstNameCall = true;
};
