// The hold-progress overlay: up to five bars, one per action whose binding
// is being held for a delay. The input job's thread updates the slots while
// the host's render thread draws them, so the slots and their lock live
// together here and nothing reaches a slot but through this class.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/host_interface.h"
#include "core/menu_item.h"
#include "platform/mutex.h"

struct HoldProgressSlot {
    int32_t actionId = 0;  // greater than 0 while in use
    std::string caption;
    float fraction = 0.0f;  // held time / required time
};

class HoldProgressOverlay {
public:
    static constexpr size_t kSlots = 5;

    // Shows, moves or (at elapsed 0) frees the bar of one action. Nothing for
    // an action that needs no hold, or when all five slots are taken.
    void SetHoldProgress(int32_t actionId, std::string_view caption, uint32_t required, uint32_t elapsed)
        KVT_EXCLUDES(lock_);
    // The same for a held binding line: its name and hold time (null: nothing).
    void SetHoldProgress(const MenuItem* item, uint32_t elapsed) KVT_EXCLUDES(lock_);
    // Draws every bar in use, stacked from the top of the screen in the
    // host's menus (atTop) or lower down elsewhere.
    void DrawHoldProgress(IHostGame* game, bool atTop) KVT_EXCLUDES(lock_);
    // Frees every slot.
    void Clear() KVT_EXCLUDES(lock_);

    bool Visible() const KVT_EXCLUDES(lock_);
    std::vector<HoldProgressSlot> Slots() const KVT_EXCLUDES(lock_);

private:
    // The innermost of the nested locks: taken inside the lines' text lock.
    mutable kvt::Mutex lock_ KVT_ACQUIRED_AFTER(MenuItem::textLock_);
    bool visible_ KVT_GUARDED_BY(lock_) = false;
    std::array<HoldProgressSlot, kSlots> slots_ KVT_GUARDED_BY(lock_);
};
