// The stand-in for another plug-in's patches, in assembly because it runs in
// the host's instruction stream: it keeps every register but the flags.
#include "foreign_patch.h"

#include <windows.h>

#include "host_layout.h"

extern "C" {
// Run counts and where each stub continues; written by the session before
// the jump is, read by the stubs on the host's thread.
volatile LONG kvt_sim_foreign_mode_runs asm("kvt_sim_foreign_mode_runs") = 0;
volatile LONG kvt_sim_foreign_render_runs asm("kvt_sim_foreign_render_runs") = 0;
uintptr_t kvt_sim_foreign_mode_return asm("kvt_sim_foreign_mode_return") = 0;
uintptr_t kvt_sim_foreign_render_return asm("kvt_sim_foreign_render_return") = 0;
void kvt_sim_foreign_mode_stub() asm("kvt_sim_foreign_mode_stub");
void kvt_sim_foreign_render_stub() asm("kvt_sim_foreign_render_stub");
}

// mode store: count, MOV [ESI+0x728], EDI (the host's 89 BE 28 07 00 00), on at site + 6
// render:     count, XOR EAX, EAX (the host's 33 C0), on at site + 5
// (the same bytes, and the same meaning, in the 64-bit test build)
#if defined(__i386__)
asm(".text\n"
    ".globl kvt_sim_foreign_mode_stub\n"
    "kvt_sim_foreign_mode_stub:\n"
    "    lock incl kvt_sim_foreign_mode_runs\n"
    "    movl %edi, 0x728(%esi)\n"
    "    jmp *kvt_sim_foreign_mode_return\n"
    ".globl kvt_sim_foreign_render_stub\n"
    "kvt_sim_foreign_render_stub:\n"
    "    lock incl kvt_sim_foreign_render_runs\n"
    "    xorl %eax, %eax\n"
    "    jmp *kvt_sim_foreign_render_return\n");
#else
asm(".text\n"
    ".globl kvt_sim_foreign_mode_stub\n"
    "kvt_sim_foreign_mode_stub:\n"
    "    lock incl kvt_sim_foreign_mode_runs(%rip)\n"
    "    movl %edi, 0x728(%rsi)\n"
    "    jmp *kvt_sim_foreign_mode_return(%rip)\n"
    ".globl kvt_sim_foreign_render_stub\n"
    "kvt_sim_foreign_render_stub:\n"
    "    lock incl kvt_sim_foreign_render_runs(%rip)\n"
    "    xorl %eax, %eax\n"
    "    jmp *kvt_sim_foreign_render_return(%rip)\n");
#endif

namespace simhost {

namespace {
uint32_t AddressOf(void (*code)()) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(code));
}
}  // namespace

uint32_t ForeignStub(ForeignSite which) {
    return AddressOf(which == ForeignSite::kModeStore ? &kvt_sim_foreign_mode_stub
                                                      : &kvt_sim_foreign_render_stub);
}

bool PatchLikeAnotherPlugin(ForeignSite which, uint32_t site, std::string& error) {
    const bool mode = which == ForeignSite::kModeStore;
    (mode ? kvt_sim_foreign_mode_return : kvt_sim_foreign_render_return) = site + (mode ? 6 : 5);
    const uint32_t displacement = ForeignStub(which) - site - 5;
    const uint8_t jump[6] = {0xE9,
                             static_cast<uint8_t>(displacement),
                             static_cast<uint8_t>(displacement >> 8),
                             static_cast<uint8_t>(displacement >> 16),
                             static_cast<uint8_t>(displacement >> 24),
                             0x90};
    return HostLayout::WriteCode(site, jump, mode ? 6 : 5, error);
}

uint32_t ForeignRuns(ForeignSite which) {
    return static_cast<uint32_t>(which == ForeignSite::kModeStore ? kvt_sim_foreign_mode_runs
                                                                  : kvt_sim_foreign_render_runs);
}

}  // namespace simhost
