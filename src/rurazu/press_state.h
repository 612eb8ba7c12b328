// What the RurAzu engine remembers of one action between events and ticks.
#pragma once

#include <cstdint>

struct PressState {
    bool pressed = false;       // the binding is held and the action armed
    uint32_t lastSendTime = 0;  // job tick of the press, then of the last key-down sent
    uint32_t repeatDelay = 0;   // time to the next auto-repeat
    int32_t sendCount = 0;      // key-downs sent since the press
    bool pendingFire = false;   // fire when the binding is released
};
