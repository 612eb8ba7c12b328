// What the RurAzu engine remembers of one action between events and ticks,
// and the timings a player feels.
#pragma once

#include <cstdint>

#include "input/binding_text.h"

struct PressState {
    // The line's binding as the job last read it (the line's text is read
    // again only when it changed).
    Input::BindingRecord binding;
    bool pressed = false;       // the binding is held and the action armed
    uint32_t lastSendTime = 0;  // job tick of the press, then of the last key-down sent
    uint32_t repeatDelay = 0;   // time to the next auto-repeat
    int32_t sendCount = 0;      // key-downs sent since the press
    // The key those key-downs pressed: a custom row's key may change while
    // its binding is held, and what went down must be what comes up.
    uint16_t sentKey = 0;
    bool pendingFire = false;  // fire when the binding is released
    // Ignition or a seat move was started and its stop has not gone out yet.
    bool twoPhaseRunning = false;
    // The bound input is down (an axis: past its threshold) as its events
    // said; an axis reports every move, and only its crossing is a press.
    bool inputDown = false;
};

namespace rurazu_timing {
// Delays by a binding's delay mark: Instant, Short, Long.
inline constexpr uint32_t kHoldTimes[] = {0, 750, 1500};
inline constexpr uint32_t kMaxDelayMark = 2;
// Game-mode rules: 0 any time, 1 in a race, 2 in a menu.
inline constexpr uint32_t kMaxRuleMark = 2;
inline constexpr uint32_t kFirstRepeatMs = 500;
inline constexpr uint32_t kRepeatMs = 25;
// How far short of its length a pass may read; a repeat is due that much
// early (at most half a pass, so never a pass early).
inline constexpr uint32_t kClockJitterMs = 2;
// A delayed action fires this long after its hold time.
inline constexpr uint32_t kFireAfterHoldMs = 25;
// A Short action sharing its binding with a Long one may still fire on a
// release this long after its hold time.
inline constexpr uint32_t kConflictGraceMs = 350;
// Holds shorter than this show no bar.
inline constexpr uint32_t kBarFromMs = 150;
// Inside a tap, and between a pending key-down and its key-up.
inline constexpr uint32_t kTapMs = 25;
}  // namespace rurazu_timing
