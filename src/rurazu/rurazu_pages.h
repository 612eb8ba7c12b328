// The three RurAzu menu pages. They share their behaviour and differ in the
// lines each builds; each is also an input listener of the job.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/plugin_base.h"
#include "input/binding_capture.h"
#include "input/sdl_listener.h"
#include "rurazu/action_tables.h"
#include "rurazu/press_state.h"

class KVTRurazuBase : public CPluginBase, public Input::SDLListener {
public:
    using CPluginBase::CPluginBase;
    ~KVTRurazuBase() override;
    const char* KVT_THISCALL GetPluginName() override;

    // Binding, unbinding (Delete held), the delay, the RurAzu switch.
    bool HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                         bool select) override;
    // The capture's countdown on its line, and its time-out.
    float DrawMenuItem(int32_t selected, MenuItem* item, int32_t position, int32_t localSelected, float x,
                       float y, float lineHeight) override;

    // The engine's key work comes with the RurAzu engine; a page already
    // completes its captures.
    void OnTick() override {}
    void OnInputEvent(const SDL_Event& event) override;
    bool IsDeviceBound(const std::string& deviceName) override;
    bool IsJoystickBound(SDL_JoystickID id) override;
    void OnDevicesDisconnected() override {}

    bool listenerRegistered = false;
    Input::BindingCapture capture;
    // One press record per action position, firstAction to lastAction (-1
    // when the page has no such action).
    std::vector<PressState> pressStates;
    int32_t firstAction = -1;
    int32_t lastAction = -1;

protected:
    // The job the page is registered with (the process's one otherwise).
    Input::SDLBackend& Job();
    void StartCapture(MenuItem* item);
    // A line per action: a key action is a binding choice with its key code,
    // any other a choice of its own text, both of the binding group.
    void AddActions(std::span<const RurAzuAction> actions);
    // The positions of the first and last action, and a zeroed press record
    // for each position between them.
    void FindActionRange(int32_t firstId, int32_t lastId);
};

class KVTRurazu : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
    // The feature switch and the navigation and editing keys; built once.
    CPluginBase* BuildMenu() override;
};

class KVTRurazu2 : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
    // Host actions, function and numeric-pad keys, the three custom keys.
    CPluginBase* BuildMenu() override;
};

class KVTRurazuVR : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
    // The VR plug-in's view and seat actions.
    CPluginBase* BuildMenu() override;
};
