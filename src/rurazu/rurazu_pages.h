// The three RurAzu menu pages. They share their behaviour and differ in the
// lines each builds; each is an input listener of the job that hands the
// job's calls to its engine (rurazu_engine.h) and shows the engine's bars.
#pragma once

#include <cstdint>
#include <span>

#include "input/binding_page.h"
#include "rurazu/action_tables.h"
#include "rurazu/rurazu_engine.h"

class KVTRurazuBase : public Input::BindingPage, private RurAzuReports {
public:
    using BindingPage::BindingPage;
    ~KVTRurazuBase() override;
    const char* KVT_THISCALL GetPluginName() override;

    // Binding, unbinding (Delete held), the delay, the RurAzu switch.
    bool HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                         bool select) override;
    // A custom row's new key in its name, then the capture's count-down.
    float DrawMenuItem(int32_t selected, MenuItem* item, int32_t position, int32_t localSelected, float x,
                       float y, float lineHeight) override;

    // The job's calls go to the engine; the capture, menu work, sees every
    // event after it.
    void OnTick() override;
    bool OnCaptureEvent(const SDL_Event& event) override;
    void OnInputEvent(const SDL_Event& event) override;
    void OnDevicesDisconnected() override;
    void OnJobEnding() override;
    // R on a bound line, K on the custom rows.
    const char* TypedKeysHint(const MenuItem& item) const override;

    // The engine's press records as tests read them; the plug-in reaches
    // the engine only through the page's methods.
    const RurAzuEngine& Engine() const { return engine_; }
    // The positions of the first and last action line (-1 when the page has
    // no such action); the engine has one press record per line between.
    int32_t firstAction = -1;
    int32_t lastAction = -1;

protected:
    RurAzuEngine engine_{*this};
    // The row's game-mode rule, one step on: any time, race, menu, any time.
    void StepRule(MenuItem& item);
    // The three rows whose key the player chooses.
    static bool IsCustomKey(const MenuItem& item);
    // A line per action: a key action is a binding choice with its key code,
    // any other a choice of its own text, both of the binding group.
    void AddActions(std::span<const RurAzuAction> actions);
    // The positions of the first and last action, whose lines the engine
    // gets, and the engines this page's conflicts are looked for in.
    void FindActionRange(int32_t firstId, int32_t lastId);

private:
    void ShowHold(const MenuItem& item, uint32_t elapsed) override;
    bool CaptureWaiting() const override { return capture.AnyWaiting(); }
    // Conflicts run across the RurAzu pages, the root's first three
    // children: each page joining the tree gives every RurAzu page there
    // (itself too) the same engines, so once the last has joined all know
    // each other.
    void LinkPeerEngines();
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
