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

void PostCloseMessage(uint32_t window) {
    PostMessageA(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)), WM_CLOSE, 0, 0);
}

}  // namespace platform
