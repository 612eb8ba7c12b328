// Calls made the way the host's own machine code makes them: IPlugin entries
// through the vtable with thiscall and an exact argument count, the mode-store
// site with the game state in ESI and the mode in EDI, the render site as a
// plain call. Each reports the registers and stack pointer it came back with,
// because a wrong pop or a clobbered register would crash the real host later.
#pragma once

#include <cstdint>

namespace simhost {

struct MachineState {
    uint32_t eax, ebx, ecx, edx, esi, edi, ebp;
    // ESP after the call minus ESP before the arguments were pushed: 0 when
    // the callee popped exactly what it was given.
    int32_t espDelta;
    // EBP as the caller had it, to compare with ebp.
    uint32_t ebpBefore;
};

// Markers loaded into the registers before a site is called, so the caller
// can tell which ones came back changed.
inline constexpr uint32_t kMarkEbx = 0x6B767401, kMarkEcx = 0x6B767402, kMarkEdx = 0x6B767403,
                          kMarkEsi = 0x6B767404, kMarkEdi = 0x6B767405;

const void* VtableEntry(const void* object, unsigned index);

// EBX, ESI and EDI hold their markers at the call; ECX holds self.
MachineState CallThiscall(const void* function, void* self, const uint32_t* args, uint32_t count);

// ESI = gameState, EDI = mode, EBX = kMarkEbx; the rest as the compiler left them.
MachineState CallModeStoreSite(uint32_t site, uint32_t gameState, uint32_t mode);

// All of EBX, ECX, EDX, ESI and EDI hold their markers at the call.
MachineState CallRenderSite(uint32_t site);

}  // namespace simhost
