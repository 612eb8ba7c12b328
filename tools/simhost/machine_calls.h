// Calls made the way the host's own machine code makes them: IPlugin entries
// through the vtable with thiscall and an exact argument count (on the 64-bit
// test build, the one x64 convention with its shadow space), the mode-store
// site with the game state in ESI and the mode in EDI, the render site as a
// plain call. Each reports the registers and stack pointer it came back with,
// because a wrong pop or a clobbered register would crash the real host later.
#pragma once

#include <cstdint>
#include <string>

namespace simhost {

// A register as wide as the build's: on x86_64 eax names RAX whole, and so on.
#if defined(__x86_64__)
using Register = uint64_t;
using RegisterDelta = int64_t;
#else
using Register = uint32_t;
using RegisterDelta = int32_t;
#endif

// The thunks store into this by field offset: keep the order.
struct MachineState {
    Register eax, ebx, ecx, edx, esi, edi, ebp;
    // ESP after the call minus ESP before the arguments were pushed: 0 when
    // the callee popped exactly what it was given. On x86_64, where the caller
    // owns the argument area, RSP after the call minus RSP at the call.
    RegisterDelta espDelta;
    // EBP as the caller had it, to compare with ebp.
    Register ebpBefore;
#if defined(__x86_64__)
    Register r8, r9, r10, r11, r12, r13, r14, r15;
#endif
};

// Markers loaded into the registers before a site is called, so the caller
// can tell which ones came back changed. On x86_64 the upper half is marked
// too, so a register cut to 32 bits shows.
#if defined(__x86_64__)
inline constexpr Register kMarkEbx = 0x6B7674006B767401, kMarkEcx = 0x6B7674006B767402,
                          kMarkEdx = 0x6B7674006B767403, kMarkEsi = 0x6B7674006B767404,
                          kMarkEdi = 0x6B7674006B767405;
// R8 to R15: 0x6B7674006B767408 to 0x6B7674006B76740F.
constexpr Register MarkR(unsigned n) {
    return 0x6B7674006B767400 + n;
}
// Which of R8-R15 came back without their markers (R12-R15 must always be
// kept; R8-R11 only by a site's hook, which keeps every register), as names.
std::string ChangedHighRegisters(const MachineState& state, bool withVolatile);
#else
inline constexpr Register kMarkEbx = 0x6B767401, kMarkEcx = 0x6B767402, kMarkEdx = 0x6B767403,
                          kMarkEsi = 0x6B767404, kMarkEdi = 0x6B767405;
#endif

const void* VtableEntry(const void* object, unsigned index);

// EBX, ESI and EDI hold their markers at the call; ECX holds self. On x86_64
// R12-R15 are marked as well, and the arguments go in RDX, R8, R9, then the stack.
MachineState CallThiscall(const void* function, void* self, const uint32_t* args, uint32_t count);

// ESI = gameState, EDI = mode, EBX = kMarkEbx; the rest as the compiler left them.
MachineState CallModeStoreSite(uint32_t site, uint32_t gameState, uint32_t mode);

// All of EBX, ECX, EDX, ESI and EDI hold their markers at the call (on
// x86_64 R8-R15 too).
MachineState CallRenderSite(uint32_t site);

}  // namespace simhost
