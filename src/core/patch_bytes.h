// Every byte the code patches read or write, in one place: the three sites and
// what the host holds there, the instructions written over them, and the
// arithmetic of their 32-bit displacements. Nothing here touches memory.
//
//   E9 xxxxxxxx      JMP  +5+xxxxxxxx   (a jump, 5 bytes)
//   E8 xxxxxxxx      CALL +5+xxxxxxxx   (a call, 5 bytes; pushes site + 5)
//   90               NOP                (fills a 6-byte host instruction)
//
// A displacement is relative to the end of the 5-byte jump or call and wraps
// modulo 2^32, as the processor adds it: displacement = target - site - 5.
#pragma once

#include <cstdint>

namespace patch_bytes {

inline constexpr uint8_t kJmpRel32 = 0xE9;
inline constexpr uint8_t kCallRel32 = 0xE8;
inline constexpr uint8_t kNop = 0x90;
// The length of E9/E8 xxxxxxxx; displacements count from the byte after it.
inline constexpr uint32_t kRel32Length = 5;

#pragma pack(push, 1)
// E9 xxxxxxxx: JMP +5+xxxxxxxx
struct JumpRel32 {
    uint8_t opcode = kJmpRel32;
    int32_t displacement = 0;
};

// E9 xxxxxxxx 90: JMP +5+xxxxxxxx, then a NOP so no half instruction is left
// of a 6-byte host instruction.
struct JumpRel32Nop {
    JumpRel32 jump;
    uint8_t nop = kNop;
};

// E8 xxxxxxxx 90: CALL +5+xxxxxxxx, then a NOP where the callee returns.
struct CallRel32Nop {
    uint8_t opcode = kCallRel32;
    int32_t displacement = 0;
    uint8_t nop = kNop;
};
#pragma pack(pop)

static_assert(sizeof(JumpRel32) == 5 && sizeof(JumpRel32Nop) == 6 && sizeof(CallRel32Nop) == 6);

constexpr int32_t Displacement(uint32_t site, uint32_t target) {
    return static_cast<int32_t>(target - site - kRel32Length);
}

// Where a jump or call written at site with that displacement lands.
constexpr uint32_t Destination(uint32_t site, int32_t displacement) {
    return site + kRel32Length + static_cast<uint32_t>(displacement);
}

inline JumpRel32 Jump(uint32_t site, uint32_t target) {
    JumpRel32 jump;
    jump.displacement = Displacement(site, target);
    return jump;
}

inline JumpRel32Nop JumpNop(uint32_t site, uint32_t target) {
    JumpRel32Nop jump;
    jump.jump = Jump(site, target);
    return jump;
}

inline CallRel32Nop CallNop(uint32_t site, uint32_t target) {
    CallRel32Nop call;
    call.displacement = Displacement(site, target);
    return call;
}

// One place the plug-in rewrites, as one build of the host executable has it.
struct Site {
    const char* name;     // as the log names it
    uint32_t offset;      // from the host executable's base
    uint8_t hostOpcode;   // the first byte of the host's own instruction there
    uint32_t hostLength;  // the bytes that instruction and the patch cover
};

// 89 BE 28 07 00 00: MOV [ESI+0x728], EDI (the host stores the game mode)
inline constexpr Site kModeStore{"mode-store", 0x7F392, 0x89, 6};
// 33 C0 ...: XOR EAX, EAX, the first of the 5 bytes the render jump covers
inline constexpr Site kRender{"render", 0xE896, 0x33, 5};
// 6 bytes of the host's that are not examined; replaced by E8 xxxxxxxx 90
inline constexpr Site kHub{"hub", 0x226AAC, 0, 6};

// Where a hook continues after doing the work of the bytes it replaced: after
// the host's own instruction, or into the code of another plug-in whose jump
// already stands at the site. Any other first byte means the site does not
// hold what this build of the host should; it is then not patched.
struct Continuation {
    bool patchable = false;
    uint32_t address = 0;
};

constexpr Continuation ContinuationAt(const Site& site, uint32_t siteAddress, uint8_t firstByte,
                                      int32_t displacementAtSitePlus1) {
    if (firstByte == site.hostOpcode) return {true, siteAddress + site.hostLength};
    if (firstByte == kJmpRel32) return {true, Destination(siteAddress, displacementAtSitePlus1)};
    return {};
}

}  // namespace patch_bytes
