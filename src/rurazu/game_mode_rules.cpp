// The game-mode rules of the RurAzu bindings: in which of the host's modes an
// action may act, some read from the host's memory. Asked by the engine at a
// press and at every pass an action is held.
#include "core/host_locations.h"
#include "core/setting_id.h"
#include "platform/host_memory.h"
#include "rurazu/rurazu_engine.h"

namespace {
// The rules a binding's context mark names.
constexpr uint32_t kAnyTime = 0;
constexpr uint32_t kRaceRule = 1;
constexpr uint32_t kMenuRule = 2;

using namespace host_modes;
using namespace host_offsets;

constexpr char kYardStage[] = "Rally Yard";
constexpr size_t kYardStageLength = sizeof kYardStage - 1;

// The stage name is a text of 16-bit characters.
bool StageIsYard(uint32_t stageName) {
    if (stageName == 0) return false;
    for (size_t i = 0; i < kYardStageLength; ++i)
        if (platform::HostRead<uint16_t>(stageName + 2 * static_cast<uint32_t>(i)) !=
            static_cast<unsigned char>(kYardStage[i]))
            return false;
    return true;
}

bool InMenuMode1() {
    const HostLocations& host = Host();
    const uint32_t object1 = host.hostObject1;
    const uint32_t object2 = host.hostObject2;
    // A host object not yet there tells nothing: no menu.
    if (object1 == 0 || object2 == 0) return false;
    return platform::HostRead<uint32_t>(object1 + kYardObject1Field) == 0 &&
           platform::HostRead<uint32_t>(object2 + kYardObject2Field) == 1 && StageIsYard(host.stageName);
}
}  // namespace

bool RurAzuEngine::IsGameModeAllowed(const MenuItem& item) {
    const int32_t mode = ReadGameMode();
    switch (item.contextMark) {
        case kAnyTime:
            return true;
        case kRaceRule:
            if (mode == kDriving || mode == kRaceOverlay) return true;
            if (item.id == RURAZU_RESTART_STAGE) return mode == kStageMenu;
            if (item.id == RURAZU_RETIRE_STAGE) return mode == kStageMenu || mode == kRetireMenu;
            return false;
        case kMenuRule:
            if (mode == kStageMenu || mode == kMenus || mode == kRetireMenu || mode == kOtherMenu)
                return true;
            if (mode == kDriving) return InMenuMode1();
            if (mode == kRaceOverlay || mode == kBlockMenu) {
                const uint32_t block = Host().hostBlock;
                return block != 0 && platform::HostRead<uint32_t>(block + kBlockMenuField) == 1;
            }
            return false;
        default:
            return true;
    }
}
