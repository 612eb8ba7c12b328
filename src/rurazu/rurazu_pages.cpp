// The RurAzu pages' shared entries: menu input, capture, the action lines
// and the hand-over of the job's calls to the engine.
#include "rurazu/rurazu_pages.h"

#include <algorithm>

#include "config/setting.h"
#include "core/setting_id.h"
#include "input/binding_text.h"
#include "input/sdl_backend.h"
#include "platform/platform.h"

KVTRurazuBase::~KVTRurazuBase() {
    // The main object stopped the job before its pages go, so this thread
    // is the only one left: a key still held when the game closes comes up.
    engine_.DropAll(Job());
    LeaveJob();
}

const char* KVT_THISCALL KVTRurazuBase::GetPluginName() {
    JoinJob();
    return "KVT RurAzu";
}

namespace {
// Whether the host's typed character is the letter, in either case.
bool Typed(char textKey, char upperCaseLetter) {
    return textKey == upperCaseLetter || textKey == upperCaseLetter + ('a' - 'A');
}

// After a capture, the delay of a line changes only this much later.
constexpr uint32_t kDelayChangeGapMs = 500;

// Actions that must not fire by accident start out needing a long hold, set
// before the binding appears so nobody sees it bound without it.
void LongHoldWhenFirstBound(MenuItem& item) {
    const bool dangerous = item.id == RURAZU_RESTART_STAGE || item.id == RURAZU_CALLFORHELP ||
                           item.id == RURAZU_RETIRE_STAGE || item.id == RURAZU_EXIT_KVT;
    if (dangerous && item.TextEquals("")) item.delayMark = rurazu_timing::kMaxDelayMark;
}
}  // namespace

bool KVTRurazuBase::HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left,
                                    bool right, bool select) {
    // While a capture runs, the page's menu input changes nothing.
    if (capture.Waiting()) return true;
    CPluginBase::HandleMenuInput(selected, textKey, up, down, left, right, select);
    MenuItem* item = OwnItemAt(*selected);
    if (!item) return false;

    if (!left && !right) {
        if (item->group == KEYBIND && Typed(textKey, kRuleKey)) {
            StepRule(*item);
            return true;
        }
        if (IsCustomKey(*item) && Typed(textKey, kKeyCodeKey)) {
            if (item->enabled && PageEnabled()) capture.StartKeyCode(item, platform::ClockMs(), Job());
            return true;
        }
        if (item->group == KEYBIND && textKey == 0 && !*up && !*down && !select) {
            // Clearing is no change the player has to save.
            if (UnbindWhileDeleteHeld(*item)) OnDevicesDisconnected();
            return true;
        }
        if (select) StartCapture(item);
        return true;
    }

    if (item->id == PLUGIN_ENABLED) {
        ConnectAsSwitched(PageEnabled());
        if (!PageEnabled()) OnDevicesDisconnected();
    } else if (item->enabled && PageEnabled() && item->group == KEYBIND && !item->TextValue().empty() &&
               platform::ClockMs() - capture.StartedAt() > kDelayChangeGapMs) {
        if (left && item->delayMark > 0) --item->delayMark;
        if (!left && item->delayMark < rurazu_timing::kMaxDelayMark) ++item->delayMark;
    }
    if (select) StartCapture(item);
    return true;
}

void KVTRurazuBase::StepRule(MenuItem& item) {
    // Like the delay, a rule belongs to a binding: an unbound row shows none.
    if (!item.enabled || !PageEnabled() || item.TextValue().empty()) return;
    item.contextMark = (item.contextMark + 1) % (rurazu_timing::kMaxRuleMark + 1);
    TheMenuBook().unsavedChanges = true;
}

const char* KVTRurazuBase::TypedKeysHint(const MenuItem& item) const {
    if (item.group != KEYBIND) return nullptr;
    // A rule belongs to a binding: R steps only a bound row's.
    const bool bound = item.WithText([](std::string_view text) { return !text.empty(); });
    if (IsCustomKey(item)) return bound ? kRuleAndCodeKeyHint : kCodeKeyHint;
    return bound ? kRuleKeyHint : nullptr;
}

bool KVTRurazuBase::IsCustomKey(const MenuItem& item) {
    return item.id == RURAZU_CUSTOM1 || item.id == RURAZU_CUSTOM2 || item.id == RURAZU_CUSTOM3;
}

float KVTRurazuBase::DrawMenuItem(int32_t selected, MenuItem* item, int32_t position, int32_t localSelected,
                                  float x, float y, float lineHeight) {
    // A key capture's new code shows in the row's name, as the settings name
    // it at start-up; names change on this thread only. Asked as a custom row
    // is drawn, not for every line of the frame.
    MenuItem* renamed = IsCustomKey(*item) ? capture.TakeRenamed() : nullptr;
    if (renamed) {
        const std::string name = renamed->Name();
        const std::string label = name.substr(0, name.find(" ("));
        renamed->Rename(label + " (" + Config::KeyCodeText(renamed->extra) + ")");
    }
    return BindingPage::DrawMenuItem(selected, item, position, localSelected, x, y, lineHeight);
}

void KVTRurazuBase::OnTick() {
    engine_.OnTick(Job());
    capture.OnTick(Job());
}

bool KVTRurazuBase::OnCaptureEvent(const SDL_Event& event) {
    return PageEnabled() && capture.OnInputEvent(event, Job(), &LongHoldWhenFirstBound);
}

void KVTRurazuBase::OnInputEvent(const SDL_Event& event) {
    if (PageEnabled()) engine_.OnInputEvent(event, Job());
}

void KVTRurazuBase::OnDevicesDisconnected() {
    engine_.ReleaseAll(Job());
}

void KVTRurazuBase::OnJobEnding() {
    engine_.OnJobEnding(Job());
}

void KVTRurazuBase::ShowHold(const MenuItem& item, uint32_t elapsed) {
    if (HoldProgressOverlay* overlay = HoldOverlay()) overlay->SetHoldProgress(&item, elapsed);
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
    engine_.SetActions(
        std::span(items).subspan(static_cast<size_t>(std::max(firstAction, 0)), static_cast<size_t>(count)),
        Job());
    LinkPeerEngines();
}

void KVTRurazuBase::LinkPeerEngines() {
    std::vector<KVTRurazuBase*> pages;
    const CPluginBase* root = Root();
    for (size_t p = 0; p < 3 && p < root->children.size(); ++p)
        if (auto* page = dynamic_cast<KVTRurazuBase*>(root->children[p])) pages.push_back(page);
    std::vector<const RurAzuEngine*> engines;
    for (const KVTRurazuBase* page : pages) engines.push_back(&page->engine_);
    for (KVTRurazuBase* page : pages) page->engine_.SetPeers(engines, page->Job());
    if (std::find(pages.begin(), pages.end(), this) == pages.end()) engine_.SetPeers(engines, Job());
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
