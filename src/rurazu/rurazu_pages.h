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

    // The engine (rurazu_engine.cpp), on the job's thread: presses and
    // releases from events, then delayed firing, repeat and bars per pass.
    void OnTick() override;
    void OnInputEvent(const SDL_Event& event) override;
    bool IsDeviceBound(const std::string& deviceName) override;
    bool IsJoystickBound(SDL_JoystickID id) override;
    // Releases everything the page holds. From the menu (host's thread) while
    // the job runs, the release is left to the job's next event or pass, so
    // the press records have one thread.
    void OnDevicesDisconnected() override;
    // Key-ups for keys down, stops for ignition and seat moves still running,
    // bars cleared.
    void OnJobEnding() override;

    // Whether the action's game-mode rule lets it act in the host's mode now.
    static bool IsGameModeAllowed(const MenuItem& item);

    bool listenerRegistered = false;
    Input::BindingCapture capture;
    // One press record per action position, firstAction to lastAction (-1
    // when the page has no such action).
    std::vector<PressState> pressStates;
    int32_t firstAction = -1;
    int32_t lastAction = -1;

protected:
    // Set by the menu, served by the job: release everything held.
    std::atomic<bool> releaseRequested_{false};
    // The foreground as the last pass saw it: losing it lets go of every key.
    bool wasForeground_ = false;

    // The engine's steps (rurazu_engine.cpp), the job's thread only.
    void PressAction(PressState& record, MenuItem& item, bool fromKeyboard);
    bool SendActionDown(PressState& record, MenuItem& item);
    void ReleaseAction(PressState& record, MenuItem& item);
    // What the release of a record that is not pressed does: ignition off,
    // seat stop.
    void ReleaseIdle(PressState& record, const MenuItem& item);
    void ReleaseEverything();
    // Lets go of what the page holds now without the reads that would say so:
    // every held key, and the two-phase actions started by a binding the
    // predicate names.
    void LetGoUnseen(bool (*stopRunning)(const MenuItem& item));
    // Lets go of every held record without firing anything.
    void DropPressed(PressState& record, MenuItem& item);
    void ServeReleaseRequest();
    bool Conflicts(const MenuItem& item) const;
    bool InjectionAllowed();
    bool KeyDown(uint16_t virtualKey);
    void KeyTap(uint16_t virtualKey);
    void ShowHold(const MenuItem& item, uint32_t elapsed);
    MenuItem& ActionItem(size_t record) { return *items[static_cast<size_t>(firstAction) + record]; }

    // A capture for the line, when it can be bound now.
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
