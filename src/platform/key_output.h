// Synthesised keyboard input and the close request to the host window: what
// RurAzu's actions send. The host sees the keys as if typed.
#pragma once

#include <cstdint>

namespace platform {

// One keyboard record per call: the virtual-key code alone (no scan code),
// down or up. The result is not looked at.
void SendKey(uint16_t virtualKey, bool up);

// The virtual-key code of the key at a keyboard key index (the keyboard
// reader's index, the key's scan code, 0x80 and up for the extended keys);
// 0 when the key has none.
uint16_t VirtualKeyOfKeyIndex(uint32_t keyIndex);

// Posts WM_CLOSE to the window without waiting for it.
void PostCloseMessage(uint32_t window);

}  // namespace platform
