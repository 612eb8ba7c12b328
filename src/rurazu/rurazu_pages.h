// The three RurAzu menu pages. They share their behaviour and differ in the
// lines each builds; each is also an input listener of the job.
#pragma once

#include "core/plugin_base.h"
#include "input/sdl_listener.h"

class KVTRurazuBase : public CPluginBase, public Input::SDLListener {
public:
    using CPluginBase::CPluginBase;
    ~KVTRurazuBase() override;
    const char* KVT_THISCALL GetPluginName() override;

    // The engine's reactions come with the RurAzu work; until then a page
    // listens without acting.
    void OnTick() override {}
    void OnInputEvent(const SDL_Event&) override {}
    bool IsDeviceBound(const std::string& deviceName) override;
    bool IsJoystickBound(SDL_JoystickID id) override;
    void OnDevicesDisconnected() override {}

    bool listenerRegistered = false;
};

class KVTRurazu : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
};

class KVTRurazu2 : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
};

class KVTRurazuVR : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
};
