// Messages to windows of the host's process. The only one the plug-in sends
// synchronously is WM_COPYDATA, whose record must live on the sender's side
// until the receiving window procedure has returned.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr uint32_t kCopyDataMessage = 0x4A;  // WM_COPYDATA

// The three fields of the copy-data record the receiver reads.
struct CopyDataRecord {
    uint32_t code;
    uint32_t byteCount;
    const void* data;  // null when byteCount is 0
};

// Sends WM_COPYDATA with that wParam to the window and waits until its window
// procedure has handled it; returns the window procedure's answer.
intptr_t SendCopyData(uint32_t window, uint32_t wParam, const CopyDataRecord& record);

// Waits up to that long for a message another thread sends to a window of
// the calling thread, and lets its window procedure handle every one that
// came: a thread that waits for another must keep doing this while the other
// may be inside SendCopyData to its window.
void ServeSentMessages(uint32_t waitMs);

}  // namespace platform
