// Simulated windows: a recorder in place of the host's window procedure.
#include "platform/sim/sim_messages.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/key_output.h"
#include "platform/mutex.h"
#include "platform/platform.h"
#include "platform/window_messages.h"

namespace platform {
namespace {
kvt::Mutex g_messageLock;
std::vector<sim::SentCopyData> g_sent KVT_GUARDED_BY(g_messageLock);
std::vector<sim::SentKey> g_keys KVT_GUARDED_BY(g_messageLock);
std::vector<uint32_t> g_closes KVT_GUARDED_BY(g_messageLock);

// The host window's thread and the sends waiting for it. A plain standard
// lock: waiting on a condition needs one.
std::mutex g_windowLock;
std::condition_variable g_windowWake;
std::optional<std::thread::id> g_windowThread;
uint64_t g_sendsWaiting = 0;
uint64_t g_sendsServed = 0;  // every send up to this ticket was served
uint64_t g_nextTicket = 0;
size_t g_givenUp = 0;

// Windows runs a send from the window's own thread at once; any other sender
// waits for that thread to serve it.
void WaitForWindowThread() {
    std::unique_lock<std::mutex> lock(g_windowLock);
    if (!g_windowThread || *g_windowThread == std::this_thread::get_id()) return;
    const uint64_t ticket = ++g_nextTicket;
    ++g_sendsWaiting;
    g_windowWake.notify_all();
    const bool served = g_windowWake.wait_for(lock, std::chrono::milliseconds(sim::kSendGiveUpMs),
                                              [&] { return g_sendsServed >= ticket; });
    --g_sendsWaiting;
    if (!served) ++g_givenUp;
}

template <typename T>
std::vector<T> Take(std::vector<T>& record) KVT_REQUIRES(g_messageLock) {
    std::vector<T> taken;
    taken.swap(record);
    return taken;
}
}  // namespace

uint16_t VirtualKeyOfKeyIndex(uint32_t keyIndex) {
    // The top letter row of a US keyboard, enough for the tests: Q to P.
    static constexpr char kTopRow[] = "QWERTYUIOP";
    if (keyIndex >= 0x10 && keyIndex < 0x10 + sizeof kTopRow - 1)
        return static_cast<uint16_t>(kTopRow[keyIndex - 0x10]);
    return keyIndex == 0x39 ? 0x20 : 0;  // the space bar; no other key has a code here
}

void SendKey(uint16_t virtualKey, bool up) {
    const uint32_t now = ClockMs();  // the true time, not the system's stepped count
    kvt::MutexLock lock(g_messageLock);
    g_keys.push_back({now, virtualKey, up});
}

void PostCloseMessage(uint32_t window) {
    kvt::MutexLock lock(g_messageLock);
    g_closes.push_back(window);
}

intptr_t SendCopyData(uint32_t window, uint32_t wParam, const CopyDataRecord& record) {
    sim::SentCopyData sent{window, wParam, record.code, record.byteCount, record.data != nullptr, {}};
    if (record.data != nullptr && record.byteCount != 0) {
        const auto* bytes = static_cast<const uint8_t*>(record.data);
        sent.data.assign(bytes, bytes + record.byteCount);
    }
    {
        kvt::MutexLock lock(g_messageLock);
        g_sent.push_back(std::move(sent));
    }
    WaitForWindowThread();
    // A window procedure that handled WM_COPYDATA answers TRUE.
    return 1;
}

void ServeSentMessages(uint32_t waitMs) {
    std::unique_lock<std::mutex> lock(g_windowLock);
    if (!g_windowThread || *g_windowThread != std::this_thread::get_id()) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    g_windowWake.wait_for(lock, std::chrono::milliseconds(waitMs), [] { return g_sendsWaiting != 0; });
    g_sendsServed = g_nextTicket;
    g_windowWake.notify_all();
}

namespace sim {

std::vector<SentCopyData> TakeSentMessages() {
    kvt::MutexLock lock(g_messageLock);
    return Take(g_sent);
}

std::vector<SentKey> TakeSentKeys() {
    kvt::MutexLock lock(g_messageLock);
    return Take(g_keys);
}

std::vector<uint32_t> TakePostedCloses() {
    kvt::MutexLock lock(g_messageLock);
    return Take(g_closes);
}

void OwnHostWindow(bool owned) {
    std::lock_guard<std::mutex> lock(g_windowLock);
    if (owned) {
        g_windowThread = std::this_thread::get_id();
        g_givenUp = 0;
    } else {
        g_windowThread.reset();
        g_sendsServed = g_nextTicket;  // nobody waits on a window no thread owns
        g_windowWake.notify_all();
    }
}

bool SendWaiting() {
    std::lock_guard<std::mutex> lock(g_windowLock);
    return g_sendsWaiting != 0;
}

size_t SendsGivenUp() {
    std::lock_guard<std::mutex> lock(g_windowLock);
    return g_givenUp;
}

}  // namespace sim
}  // namespace platform
