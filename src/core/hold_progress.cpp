// The hold-progress overlay's slots and its drawing over the game.
#include "core/hold_progress.h"

namespace {
// Host screen units: a 100-wide bar at x 320, one 20-unit row per action.
constexpr float kBarX = 320.0f;
constexpr float kTopInMenus = 20.0f;
constexpr float kTopElsewhere = 250.0f;
constexpr float kRowStep = 20.0f;
constexpr float kBarWidth = 100.0f;
constexpr float kBarHeight = 19.0f;
}  // namespace

void HoldProgressOverlay::SetHoldProgress(const MenuItem* item, uint32_t elapsed) {
    if (item)
        item->WithName(
            [&](std::string_view name) { SetHoldProgress(item->id, name, item->holdTime, elapsed); });
}

void HoldProgressOverlay::SetHoldProgress(int32_t actionId, std::string_view caption, uint32_t required,
                                          uint32_t elapsed) {
    if (required == 0) return;
    const float fraction = elapsed == 0 ? 0.0f : float(elapsed) / float(required);
    kvt::MutexLock lock(lock_);
    HoldProgressSlot* slot = nullptr;
    HoldProgressSlot* firstFree = nullptr;
    for (HoldProgressSlot& candidate : slots_) {
        if (candidate.actionId == actionId) {
            slot = &candidate;
            break;
        }
        if (!firstFree && candidate.actionId == 0) firstFree = &candidate;
    }
    if (!slot) {
        if (!firstFree) return;
        slot = firstFree;
        slot->fraction = fraction;
        slot->caption = caption;
        slot->actionId = actionId;
    }
    if (fraction > 0) {
        slot->fraction = fraction;
        visible_ = true;
        return;
    }
    slot->actionId = 0;
    visible_ = false;
    for (const HoldProgressSlot& other : slots_) visible_ = visible_ || other.actionId > 0;
}

void HoldProgressOverlay::DrawHoldProgress(IHostGame* game, bool atTop) {
    kvt::MutexLock lock(lock_);
    if (!visible_) return;
    const float firstTop = atTop ? kTopInMenus : kTopElsewhere;
    int drawn = 0;
    for (const HoldProgressSlot& slot : slots_) {
        if (slot.actionId <= 0) continue;
        const float top = firstTop + kRowStep * float(drawn++);
        game->SetColour(0, 0, 0, 1);
        game->DrawFilledBox(kBarX, top, kBarWidth, kBarHeight);
        if (slot.fraction >= 1) {
            game->SetColour(0, 1, 0, 1);
        } else {
            game->SetColour(1, 0, 0, 1);
        }
        const float filled = slot.fraction < 0 ? 0 : (slot.fraction > 1 ? 1 : slot.fraction);
        game->DrawFilledBox(kBarX, top, kBarWidth * filled, kBarHeight);
        game->BeginMode(host_draw::kModeOverlay);
        game->SetTextStyle(host_draw::kStyleMenu);
        game->SetPresetColour(host_draw::kPresetMenuLine);
        game->WriteText(kBarX, top, slot.caption.c_str());
        game->EndMode(host_draw::kModeOverlay);
    }
}

void HoldProgressOverlay::Clear() {
    kvt::MutexLock lock(lock_);
    visible_ = false;
    for (HoldProgressSlot& slot : slots_) slot.actionId = 0;
}

bool HoldProgressOverlay::Visible() const {
    kvt::MutexLock lock(lock_);
    return visible_;
}

std::vector<HoldProgressSlot> HoldProgressOverlay::Slots() const {
    kvt::MutexLock lock(lock_);
    return std::vector<HoldProgressSlot>(slots_.begin(), slots_.end());
}
