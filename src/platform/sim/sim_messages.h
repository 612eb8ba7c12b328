// The simulated platform's windows, for the native tests: every WM_COPYDATA
// the plug-in sends is recorded with a copy of its data, taken while the
// record is still alive, as a window procedure would read it; every key and
// close request is recorded too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::sim {

struct SentCopyData {
    uint32_t window;
    uint32_t wParam;
    uint32_t code;
    uint32_t byteCount;
    bool hasData;               // the record's data pointer was not null
    std::vector<uint8_t> data;  // byteCount bytes read through that pointer
};

// The messages sent since the last call, oldest first; taking them empties the record.
std::vector<SentCopyData> TakeSentMessages();

// One synthesised key, with the simulated clock's time when it was sent.
struct SentKey {
    uint32_t tick;
    uint16_t virtualKey;
    bool up;
};
std::vector<SentKey> TakeSentKeys();
// The windows a WM_CLOSE was posted to.
std::vector<uint32_t> TakePostedCloses();

// Makes the calling thread the host window's thread, as on Windows: a
// WM_COPYDATA sent from any other thread then waits until this thread serves
// sent messages (ServeSentMessages), or gives up after kSendGiveUpMs and is
// counted, so a test of two threads waiting on each other fails instead of
// hanging. Off again (every send answered at once) with false.
inline constexpr uint32_t kSendGiveUpMs = 2000;
void OwnHostWindow(bool owned);
// Whether a send from another thread waits for the window's thread now, and
// how many sends gave up since the last OwnHostWindow.
bool SendWaiting();
size_t SendsGivenUp();

}  // namespace platform::sim
