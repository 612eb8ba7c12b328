// Simulated windows: a recorder in place of the host's window procedure.
#include "platform/sim/sim_messages.h"

#include <utility>

#include "core/mutex.h"
#include "platform/window_messages.h"

namespace platform {
namespace {
kvt::Mutex g_messageLock;
std::vector<sim::SentCopyData> g_sent KVT_GUARDED_BY(g_messageLock);
}  // namespace

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

namespace sim {

std::vector<SentCopyData> TakeSentMessages() {
    kvt::MutexLock lock(g_messageLock);
    std::vector<SentCopyData> sent;
    sent.swap(g_sent);
    return sent;
}

}  // namespace sim
}  // namespace platform
