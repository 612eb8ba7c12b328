// The host-command sender. It may run on the host's thread and on the input
// job's at once; it keeps nothing of its own between calls.
#include "core/host_messages.h"

#include "core/host_locations.h"
#include "core/log.h"
#include "platform/host_memory.h"
#include "platform/window_messages.h"

bool SendHostCommand(int32_t command, int32_t value) {
    try {
        const uint32_t window = Host().hostWindow;
        if (window == 0) {
            LogLine("ERROR. KVT is not yet running or initialized");
            return false;
        }
        RefreshHostLocations();
        const uint32_t state = Host().gameState;
        if (state == 0 || platform::HostRead<uint32_t>(state + host_offsets::kRunningField) == 0) {
            LogLine("ERROR. KVT is shutting down");
            return false;
        }
        // The value lives here, on this stack, until the receiver has returned.
        const int32_t data = value;
        uint32_t wParam = host_command_wire::kStageWParam;
        platform::CopyDataRecord record{static_cast<uint32_t>(command), 0, nullptr};
        if (command == host_commands::kGearGateMode) {
            wParam = host_command_wire::kGearGateWParam;
            record = {host_command_wire::kGearGateCode, sizeof data, &data};
        } else if (command == host_commands::kIgnition) {
            record = {static_cast<uint32_t>(command), sizeof data, &data};
        }
        platform::SendCopyData(window, wParam, record);
        return true;
    } catch (...) {
        LogException("ERROR. Sending a host command failed.");
        return false;
    }
}
