// Resolution of the host's memory locations.
#include "core/host_locations.h"

#include "platform/host_memory.h"
#include "platform/platform.h"

using namespace host_offsets;
using platform::HostRead;
using platform::HostReadPointer;

namespace {
HostLocations g_host;
}

HostLocations& Host() {
    return g_host;
}

bool RefreshHostLocations() {
    uint32_t base = g_host.base.load();
    if (base == 0) {
        base = platform::FindHostBase();
        if (base == 0) return false;
        g_host.base = base;
    }
    g_host.gameState = HostReadPointer(base + kGameState);
    g_host.gameState2 = HostReadPointer(base + kGameState2);
    g_host.hostObject1 = HostReadPointer(base + kHostObject1);
    if (g_host.hostObject2 == 0) g_host.hostObject2 = HostReadPointer(base + kHostObject2);
    g_host.carSelection = base + kCarSelection;
    g_host.hostBlock = base + kHostBlock;
    g_host.stageName = base + kStageName;
    if (g_host.renderDevice == 0) {
        const uint32_t root = HostReadPointer(base + kRenderRoot);
        const uint32_t child = root ? HostReadPointer(root + kRenderChild) : 0;
        g_host.renderDevice = child ? HostReadPointer(child + kRenderDevice) : 0;
    }
    if (g_host.hostWindow == 0 && g_host.renderDevice != 0)
        g_host.hostWindow = platform::QueryDeviceWindow(g_host.renderDevice);
    return true;
}

uint32_t CurrentCarObject() {
    const uint32_t base = g_host.base.load();
    return base != 0 ? HostReadPointer(base + kCarObject) : 0;
}

void RefreshCarObject() {
    const uint32_t base = g_host.base.load();
    if (base != 0) g_host.carObject = HostReadPointer(base + kCarObject);
}

void ResetHostLocations() {
    for (auto* field : {&g_host.base, &g_host.gameState, &g_host.gameState2, &g_host.hostObject1,
                        &g_host.hostObject2, &g_host.carSelection, &g_host.hostBlock, &g_host.stageName,
                        &g_host.renderDevice, &g_host.hostWindow, &g_host.carObject})
        *field = 0;
}

int32_t ReadGameMode() {
    const uint32_t state = g_host.gameState;
    if (state == 0) return host_modes::kUnknown;
    return HostRead<int32_t>(state + kGameModeField);
}

bool HostRunning() {
    const uint32_t state = g_host.gameState;
    return state != 0 && HostRead<uint32_t>(state + kRunningField) != 0;
}

bool HostHPatternBound() {
    const uint32_t state = g_host.gameState;
    if (state == 0) return false;
    const uint32_t table = HostReadPointer(state + kControlTableField);
    if (table == 0) return false;
    const uint32_t records = HostReadPointer(table + kControlRecordsField);
    if (records == 0) return false;
    for (uint32_t control : kHostGearControls)
        if (HostRead<uint32_t>(records + kControlRecordsStart + kControlRecordSize * control) != 0)
            return true;
    return false;
}
