// Keys through SendInput, the close request through PostMessageA.
#include <windows.h>

#include "platform/key_output.h"

namespace platform {

void SendKey(uint16_t virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

uint16_t VirtualKeyOfKeyIndex(uint32_t keyIndex) {
    // An extended key's index carries 0x80; the system names it by E0 before
    // its scan code.
    const UINT scan = (keyIndex & 0x80) != 0 ? (0xE000u | (keyIndex & 0x7Fu)) : (keyIndex & 0x7Fu);
    return static_cast<uint16_t>(MapVirtualKeyA(scan, MAPVK_VSC_TO_VK_EX));
}

void PostCloseMessage(uint32_t window) {
    PostMessageA(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)), WM_CLOSE, 0, 0);
}

}  // namespace platform
