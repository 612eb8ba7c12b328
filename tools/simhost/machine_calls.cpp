// The call thunks, in assembly because the convention, the argument count and
// the registers at the call are exactly what is being tested.
#include "machine_calls.h"

#include <cstring>

namespace simhost {

extern "C" {
// Filled by the thunks right after the call returns; read only by the thread
// that made the call, which is always the host's.
MachineState kvt_sim_after asm("kvt_sim_after");
uint32_t kvt_sim_esp_before asm("kvt_sim_esp_before");

void kvt_sim_call_thiscall(const void* function, void* self, const uint32_t* args,
                           uint32_t count) asm("kvt_sim_call_thiscall");
void kvt_sim_call_mode_site(uint32_t site, uint32_t gameState, uint32_t mode) asm("kvt_sim_call_mode_site");
void kvt_sim_call_render_site(uint32_t site) asm("kvt_sim_call_render_site");
}

// Shared epilogue: store every register and ESP - ESP before into kvt_sim_after
// (field offsets 0, 4, ... in MachineState order) and the thunk's own EBP with the thunk's own EBP, then
// restore ESP from EBP's frame so a wrong pop cannot unbalance this function.
#define KVT_SIM_SAVE_AFTER                \
    "    movl %eax, kvt_sim_after+0\n"    \
    "    movl %ebx, kvt_sim_after+4\n"    \
    "    movl %ecx, kvt_sim_after+8\n"    \
    "    movl %edx, kvt_sim_after+12\n"   \
    "    movl %esi, kvt_sim_after+16\n"   \
    "    movl %edi, kvt_sim_after+20\n"   \
    "    movl %ebp, kvt_sim_after+24\n"   \
    "    movl %esp, %eax\n"               \
    "    subl kvt_sim_esp_before, %eax\n" \
    "    movl %eax, kvt_sim_after+28\n"   \
    "    movl kvt_sim_frame, %ebp\n"      \
    "    movl %ebp, kvt_sim_after+32\n"   \
    "    leal -12(%ebp), %esp\n"          \
    "    popl %edi\n"                     \
    "    popl %esi\n"                     \
    "    popl %ebx\n"                     \
    "    popl %ebp\n"                     \
    "    ret\n"

#define KVT_SIM_PROLOGUE    \
    "    pushl %ebp\n"      \
    "    movl %esp, %ebp\n" \
    "    pushl %ebx\n"      \
    "    pushl %esi\n"      \
    "    pushl %edi\n"      \
    "    movl %ebp, kvt_sim_frame\n"

extern "C" {
// The frame pointer of the thunk in progress, kept in memory rather than in a
// register because the callee is the thing under suspicion.
uint32_t kvt_sim_frame asm("kvt_sim_frame");
}

asm(".text\n"
    ".globl kvt_sim_call_thiscall\n"
    "kvt_sim_call_thiscall:\n" KVT_SIM_PROLOGUE
    "    movl 20(%ebp), %ecx\n"
    "    movl 16(%ebp), %esi\n"
    "    movl %esp, kvt_sim_esp_before\n"
    "1:  testl %ecx, %ecx\n"
    "    jz 2f\n"
    "    decl %ecx\n"
    "    pushl (%esi,%ecx,4)\n"
    "    jmp 1b\n"
    "2:  movl $0x6B767401, %ebx\n"
    "    movl $0x6B767404, %esi\n"
    "    movl $0x6B767405, %edi\n"
    "    movl 12(%ebp), %ecx\n"
    "    call *8(%ebp)\n" KVT_SIM_SAVE_AFTER

    ".globl kvt_sim_call_mode_site\n"
    "kvt_sim_call_mode_site:\n" KVT_SIM_PROLOGUE
    "    movl 12(%ebp), %esi\n"
    "    movl 16(%ebp), %edi\n"
    "    movl $0x6B767401, %ebx\n"
    "    movl %esp, kvt_sim_esp_before\n"
    "    call *8(%ebp)\n" KVT_SIM_SAVE_AFTER

    ".globl kvt_sim_call_render_site\n"
    "kvt_sim_call_render_site:\n" KVT_SIM_PROLOGUE
    "    movl 8(%ebp), %eax\n"
    "    movl $0x6B767401, %ebx\n"
    "    movl $0x6B767402, %ecx\n"
    "    movl $0x6B767403, %edx\n"
    "    movl $0x6B767404, %esi\n"
    "    movl $0x6B767405, %edi\n"
    "    movl %esp, kvt_sim_esp_before\n"
    "    call *%eax\n" KVT_SIM_SAVE_AFTER);

const void* VtableEntry(const void* object, unsigned index) {
    const void* const* vtable;
    std::memcpy(&vtable, object, sizeof vtable);
    return vtable[index];
}

MachineState CallThiscall(const void* function, void* self, const uint32_t* args, uint32_t count) {
    kvt_sim_call_thiscall(function, self, args, count);
    return kvt_sim_after;
}

MachineState CallModeStoreSite(uint32_t site, uint32_t gameState, uint32_t mode) {
    kvt_sim_call_mode_site(site, gameState, mode);
    return kvt_sim_after;
}

MachineState CallRenderSite(uint32_t site) {
    kvt_sim_call_render_site(site);
    return kvt_sim_after;
}

}  // namespace simhost
