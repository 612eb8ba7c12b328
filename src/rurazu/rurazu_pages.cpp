// The RurAzu pages' shared entries.
#include "rurazu/rurazu_pages.h"

#include "config/setting.h"
#include "config/setting_id.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"

KVTRurazuBase::~KVTRurazuBase() {
    // The main object stopped the job before its pages go.
    Input::GetBackend().RemoveListener(this);
}

const char* KVT_THISCALL KVTRurazuBase::GetPluginName() {
    if (!listenerRegistered) {
        Input::GetBackend().AddListener(this);
        listenerRegistered = true;
    }
    return "KVT RurAzu";
}

bool KVTRurazuBase::IsDeviceBound(const std::string& deviceName) {
    return Input::PageBindsDevice(*this, deviceName);
}

bool KVTRurazuBase::IsJoystickBound(SDL_JoystickID id) {
    return Input::PageBindsJoystick(*this, id);
}

void KVTRurazuBase::AddActions(std::span<const RurAzuAction> actions) {
    for (const RurAzuAction& action : actions) {
        const std::string description = std::string(kActionHint) + action.suffix;
        if (action.keyCode == kSpecialAction) {
            items.push_back(MenuItem::OwnChoice(action.id, action.label, KEYBIND, description));
        } else {
            items.push_back(MenuItem::Binding(action.id, action.label, description, action.keyCode));
        }
    }
}

void KVTRurazuBase::FindActionRange(int32_t firstId, int32_t lastId) {
    auto position = [this](int32_t id) {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i]->id == id) return static_cast<int32_t>(i);
        return -1;
    };
    firstAction = position(firstId);
    lastAction = position(lastId);
    const int32_t count = firstAction < 0 || lastAction < firstAction ? 0 : lastAction - firstAction + 1;
    pressStates.assign(static_cast<size_t>(count), PressState{});
}

CPluginBase* KVTRurazu::BuildMenu() {
    if (items.empty()) {
        std::atomic<bool>* on = enableFlag ? enableFlag : (g_settings ? &g_settings->rurAzuEnabled : nullptr);
        if (on)
            items.push_back(MenuItem::Toggle(PLUGIN_ENABLED, kSwitchLabel, UNKNOWN, kSwitchDescription, on));
        AddActions(Page1Actions());
    }
    FindActionRange(RURAZU_UP, RURAZU_DEL);
    return this;
}

CPluginBase* KVTRurazu2::BuildMenu() {
    AddActions(Page2Actions());
    FindActionRange(RURAZU_IGNITION, RURAZU_CUSTOM3);
    return this;
}

CPluginBase* KVTRurazuVR::BuildMenu() {
    AddActions(VrActions());
    FindActionRange(RURAZU_VR_RESETVIEW, RURAZU_VR_MOVE_SEAT_DOWN);
    return this;
}
