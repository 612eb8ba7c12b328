// Simulated windows: a recorder in place of the host's window procedure.
#include "platform/sim/sim_messages.h"

#include <chrono>
#include <thread>
#include <utility>

#include "core/mutex.h"
#include "platform/key_output.h"
#include "platform/platform.h"
#include "platform/window_messages.h"

namespace platform {
namespace {
kvt::Mutex g_messageLock;
std::vector<sim::SentCopyData> g_sent KVT_GUARDED_BY(g_messageLock);
std::vector<sim::SentKey> g_keys KVT_GUARDED_BY(g_messageLock);
std::vector<uint32_t> g_closes KVT_GUARDED_BY(g_messageLock);

template <typename T>
std::vector<T> Take(std::vector<T>& record) KVT_REQUIRES(g_messageLock) {
    std::vector<T> taken;
    taken.swap(record);
    return taken;
}
}  // namespace

void SendKey(uint16_t virtualKey, bool up) {
    const uint32_t now = TickCount();
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
    kvt::MutexLock lock(g_messageLock);
    g_sent.push_back(std::move(sent));
    // A window procedure that handled WM_COPYDATA answers TRUE.
    return 1;
}

void ServeSentMessages(uint32_t) {
    // A simulated window answers at once: nothing ever waits to be served.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
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

}  // namespace sim
}  // namespace platform
