// The system's device notifications, played by the tests: what they note
// reaches the watch made last, as Windows tells only windows registered by then.
#include <mutex>

#include "platform/device_watch.h"
#include "platform/sim/sim_platform.h"

namespace platform {
namespace {

std::mutex g_changesLock;
std::vector<DeviceChange> g_changes;

class SimDeviceWatch final : public DeviceWatch {
public:
    void Take(std::vector<DeviceChange>& changes) override {
        std::lock_guard<std::mutex> lock(g_changesLock);
        changes.swap(g_changes);
        g_changes.clear();
    }
};

}  // namespace

std::unique_ptr<DeviceWatch> WatchDevices(std::string& error) {
    std::lock_guard<std::mutex> lock(g_changesLock);
    g_changes.clear();
    error.clear();
    return std::make_unique<SimDeviceWatch>();
}

namespace sim {

void NoteDeviceChange(bool arrived, const std::string& path) {
    std::lock_guard<std::mutex> lock(g_changesLock);
    g_changes.push_back({arrived, path});
}

}  // namespace sim
}  // namespace platform
