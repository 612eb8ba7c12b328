// The host's memory as the plug-in expects to find it: the objects behind the
// fixed offsets from the image base, the render device that names the host
// window, and the three code sites holding the host's original instructions.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace simhost {

// Offsets from the host image's base.
inline constexpr uint32_t kGameStateSlot = 0x3EAC48;
inline constexpr uint32_t kGameState2Slot = 0x493634;
inline constexpr uint32_t kHostObject1Slot = 0x125FC68;
inline constexpr uint32_t kHostObject2Slot = 0x125FC48;
inline constexpr uint32_t kRenderChainSlot = 0x3EA990;
inline constexpr uint32_t kCarObjectSlot = 0x4EF660;
// Not a pointer: the car selection lies in the image itself.
inline constexpr uint32_t kCarSelection = 0x1260800;
inline constexpr uint32_t kModeStoreSite = 0x7F392;
inline constexpr uint32_t kRenderSite = 0xE896;
inline constexpr uint32_t kHubSite = 0x226AAC;

// Fields of the host objects.
inline constexpr uint32_t kRunningFlag = 0x5C;
inline constexpr uint32_t kGameMode = 0x728;
inline constexpr uint32_t kControlTable = 0xCF8;
inline constexpr uint32_t kState2Word = 0x10;
inline constexpr uint32_t kCarGear = 0x1100;

class HostLayout {
public:
    // Fills the arena's host locations and writes the code sites. Returns
    // false with a reason when memory cannot be had or a site not made
    // executable.
    bool Build(uint32_t imageBase, uint32_t arenaStart, uint32_t arenaSize, HWND window, std::string& error);

    uint32_t Base() const { return base_; }
    uint32_t GameState() const { return gameState_; }
    uint32_t ModeStoreSite() const { return base_ + kModeStoreSite; }
    uint32_t RenderSite() const { return base_ + kRenderSite; }
    uint32_t HubSite() const { return base_ + kHubSite; }
    // "mode-store", "render" or "hub" into its address; false for another name.
    bool SiteByName(const std::string& name, uint32_t& address) const;
    // What the host build holds at that site (the first bytes the patches
    // replace, then a RET back to the simulated caller).
    static std::string OriginalBytes(const std::string& siteName);

    // Writes code bytes, leaving them executable. False with a reason.
    static bool WriteCode(uint32_t address, const void* bytes, size_t size, std::string& error);

    // The device query count tells whether and how often the plug-in asked
    // the render device for the host window.
    void SetDevicePresent(bool present);
    uint32_t DeviceQueries() const;

    // Marks a host control as having a button bound, creating the control
    // table on first use.
    void SetControlBound(uint32_t control, bool bound);

    // Resolves "base+0x3EAC48", "gameState+0x728", "gameState2+0x10",
    // "hostObject1+8", "hostObject2+8", "carObject+0x1100",
    // "carSelection+0x69C" into an address. False if the name is unknown or
    // the object is null.
    bool ResolveAddress(const std::string& expression, uint32_t& address) const;

    static uint32_t Read32(uint32_t address);
    static void Write32(uint32_t address, uint32_t value);

private:
    uint32_t Allocate(uint32_t size);

    uint32_t base_ = 0;
    uint8_t* pool_ = nullptr;
    uint32_t poolUsed_ = 0;
    uint32_t gameState_ = 0, gameState2_ = 0, hostObject1_ = 0, hostObject2_ = 0, carObject_ = 0;
    uint32_t renderHolder_ = 0, device_ = 0, controlTable_ = 0, controlRecords_ = 0;
};

}  // namespace simhost
