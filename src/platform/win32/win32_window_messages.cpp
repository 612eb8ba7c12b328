// Window messages through the system: SendMessageA, which returns only after
// the receiving window procedure has run, so a record on our stack is safe.
#include <windows.h>

#include "platform/window_messages.h"

namespace platform {

intptr_t SendCopyData(uint32_t window, uint32_t wParam, const CopyDataRecord& record) {
    COPYDATASTRUCT copy{};
    copy.dwData = record.code;
    copy.cbData = record.byteCount;
    copy.lpData = const_cast<void*>(record.data);
    HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
    return SendMessageA(target, WM_COPYDATA, static_cast<WPARAM>(wParam), reinterpret_cast<LPARAM>(&copy));
}

void ServeSentMessages(uint32_t waitMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_SENDMESSAGE);
    // Peeking hands every message sent to this thread to its window
    // procedure; PM_NOREMOVE leaves the posted ones to the host's own loop.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace platform
