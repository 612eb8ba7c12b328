// Building the host's memory: objects on a private pool, their pointers in the
// arena at the host's offsets, and the original bytes at the patch sites.
#include "host_layout.h"

#include <cstdlib>
#include <cstring>

#include "handoff.h"
#include "session.h"

namespace simhost {

namespace {

constexpr uint32_t kPoolSize = 0x40000;
constexpr uint32_t kChainToHolder = 0x28;
constexpr uint32_t kHolderToDevice = 0xF4;
constexpr uint32_t kControlRecordsStart = 48;
constexpr uint32_t kControlRecordSize = 20;
constexpr uint32_t kControlCount = 32;

// The render device is the host's 3D device: a COM object whose entries
// are __stdcall with `this` as the first stack argument. Only entry 9, the
// creation-parameters query, is meant to be called.
struct FakeDevice {
    const void* const* vtable;
    HWND window;
    volatile LONG queries;
};

struct CreationParameters {
    uint32_t adapter;
    uint32_t deviceType;
    uint32_t focusWindow;
    uint32_t behaviourFlags;
};

constexpr uint32_t kDeviceTypeHal = 1;
constexpr uint32_t kHardwareVertexProcessing = 0x40;

HRESULT __stdcall GetCreationParameters(FakeDevice* self, CreationParameters* out) {
    InterlockedIncrement(&self->queries);
    out->adapter = 0;
    out->deviceType = kDeviceTypeHal;
    out->focusWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(self->window));
    out->behaviourFlags = kHardwareVertexProcessing;
    return S_OK;
}

// Any other entry's argument count is unknown here, so returning would leave
// the stack wrong; the session stops with the entry's number instead.
template <int kIndex>
HRESULT __stdcall UnexpectedDeviceEntry(FakeDevice*) {
    StopAtUnexpectedEntry("render device entry " + std::to_string(kIndex) + " called; only 9 exists");
}

const void* const kDeviceVtable[] = {
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<0>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<1>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<2>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<3>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<4>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<5>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<6>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<7>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<8>),
    reinterpret_cast<const void*>(&GetCreationParameters),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<10>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<11>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<12>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<13>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<14>),
    reinterpret_cast<const void*>(&UnexpectedDeviceEntry<15>),
};

// mov [esi+0x728], edi ; ret  (the host's store of the game mode, then back
// to the simulated caller)
const uint8_t kModeStoreBytes[] = {0x89, 0xBE, 0x28, 0x07, 0x00, 0x00, 0xC3};
// xor eax, eax ; nop ; nop ; nop ; ret  (a 5-byte jump covers the first five)
const uint8_t kRenderBytes[] = {0x33, 0xC0, 0x90, 0x90, 0x90, 0xC3};
// lea eax, [eax+0] ; ret  (6 bytes of the host's that the hub patch replaces
// by a call and a nop, then back to the simulated caller)
const uint8_t kHubBytes[] = {0x8D, 0x80, 0x00, 0x00, 0x00, 0x00, 0xC3};

}  // namespace

bool HostLayout::WriteCode(uint32_t address, const void* bytes, size_t size, std::string& error) {
    DWORD old;
    void* target = reinterpret_cast<void*>(address);
    if (!VirtualProtect(target, size, PAGE_EXECUTE_READWRITE, &old)) {
        error = "VirtualProtect failed at a code site, error " + std::to_string(GetLastError());
        return false;
    }
    std::memcpy(target, bytes, size);
    FlushInstructionCache(GetCurrentProcess(), target, size);
    return true;
}

bool HostLayout::SiteByName(const std::string& name, uint32_t& address) const {
    if (name == "mode-store")
        address = ModeStoreSite();
    else if (name == "render")
        address = RenderSite();
    else if (name == "hub")
        address = HubSite();
    else
        return false;
    return true;
}

std::string HostLayout::OriginalBytes(const std::string& siteName) {
    auto text = [](const uint8_t* bytes, size_t size) {
        return std::string(reinterpret_cast<const char*>(bytes), size);
    };
    if (siteName == "mode-store") return text(kModeStoreBytes, sizeof kModeStoreBytes);
    if (siteName == "render") return text(kRenderBytes, sizeof kRenderBytes);
    if (siteName == "hub") return text(kHubBytes, sizeof kHubBytes);
    return std::string();
}

uint32_t HostLayout::Read32(uint32_t address) {
    uint32_t value;
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
    return value;
}

void HostLayout::Write32(uint32_t address, uint32_t value) {
    std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

uint32_t HostLayout::Allocate(uint32_t size) {
    size = (size + 15) & ~15u;
    if (pool_ == nullptr || poolUsed_ + size > kPoolSize) return 0;
    uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pool_ + poolUsed_));
    poolUsed_ += size;
    return address;
}

bool HostLayout::Build(uint32_t imageBase, uint32_t arenaStart, uint32_t arenaSize, HWND window,
                       std::string& error) {
    base_ = imageBase;
    if (arenaStart > base_ + KVT_SIMHOST_ARENA_FIRST_OFFSET ||
        arenaStart + arenaSize < base_ + KVT_SIMHOST_ARENA_END_OFFSET) {
        error = "the arena does not cover the host's offsets";
        return false;
    }
    // Zero-filled, like the host's freshly created objects.
    pool_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, kPoolSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (pool_ == nullptr) {
        error = "VirtualAlloc failed for the host objects";
        return false;
    }
    // The objects' addresses are host words: on the 64-bit test build the
    // pool must lie where 32 bits reach.
    if (reinterpret_cast<uintptr_t>(pool_) + kPoolSize - 1 > 0xFFFFFFFFu) {
        error = "the host objects' pool lies above 4 GB, where a 32-bit host word cannot reach it";
        return false;
    }
    gameState_ = Allocate(0x1000);
    gameState2_ = Allocate(0x100);
    hostObject1_ = Allocate(0x2000);
    hostObject2_ = Allocate(0x2000);
    carObject_ = Allocate(0x2000);
    uint32_t chainHead = Allocate(0x100);
    renderHolder_ = Allocate(0x200);
    device_ = Allocate(sizeof(FakeDevice));
    auto* device = reinterpret_cast<FakeDevice*>(device_);
    device->vtable = kDeviceVtable;
    device->window = window;

    Write32(gameState_ + kRunningFlag, 1);
    Write32(gameState_ + kControlTable, 0);
    Write32(base_ + kGameStateSlot, gameState_);
    Write32(base_ + kGameState2Slot, gameState2_);
    Write32(base_ + kHostObject1Slot, hostObject1_);
    Write32(base_ + kHostObject2Slot, hostObject2_);
    Write32(base_ + kCarObjectSlot, carObject_);
    // The player's car stands in neutral.
    Write32(carObject_ + kCarGear, 1);
    Write32(base_ + kRenderChainSlot, chainHead);
    Write32(chainHead + kChainToHolder, renderHolder_);
    SetDevicePresent(true);

    return WriteCode(ModeStoreSite(), kModeStoreBytes, sizeof kModeStoreBytes, error) &&
           WriteCode(RenderSite(), kRenderBytes, sizeof kRenderBytes, error) &&
           WriteCode(HubSite(), kHubBytes, sizeof kHubBytes, error);
}

void HostLayout::SetDevicePresent(bool present) {
    Write32(renderHolder_ + kHolderToDevice, present ? device_ : 0);
}

uint32_t HostLayout::DeviceQueries() const {
    return static_cast<uint32_t>(reinterpret_cast<FakeDevice*>(device_)->queries);
}

void HostLayout::SetControlBound(uint32_t control, bool bound) {
    if (control >= kControlCount) return;
    if (controlTable_ == 0) {
        controlTable_ = Allocate(0x10);
        controlRecords_ = Allocate(kControlRecordsStart + kControlRecordSize * kControlCount);
        Write32(controlTable_ + 4, controlRecords_);
        Write32(gameState_ + kControlTable, controlTable_);
    }
    Write32(controlRecords_ + kControlRecordsStart + kControlRecordSize * control, bound ? 1 : 0);
}

bool HostLayout::ResolveAddress(const std::string& expression, uint32_t& address) const {
    size_t plus = expression.find('+');
    std::string name = expression.substr(0, plus);
    uint32_t offset = 0;
    if (plus != std::string::npos) {
        char* end = nullptr;
        std::string digits = expression.substr(plus + 1);
        offset = static_cast<uint32_t>(std::strtoul(digits.c_str(), &end, 0));
        if (digits.empty() || *end != '\0') return false;
    }
    uint32_t origin = 0;
    if (name == "base")
        origin = base_;
    else if (name == "gameState")
        origin = Read32(base_ + kGameStateSlot);
    else if (name == "gameState2")
        origin = Read32(base_ + kGameState2Slot);
    else if (name == "hostObject1")
        origin = Read32(base_ + kHostObject1Slot);
    else if (name == "hostObject2")
        origin = Read32(base_ + kHostObject2Slot);
    else if (name == "carObject")
        origin = Read32(base_ + kCarObjectSlot);
    else if (name == "carSelection")
        origin = base_ + kCarSelection;
    else
        return false;
    if (origin == 0) return false;
    address = origin + offset;
    return true;
}

}  // namespace simhost
