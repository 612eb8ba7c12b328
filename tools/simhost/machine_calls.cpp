// The call thunks, in assembly because the convention, the argument count and
// the registers at the call are exactly what is being tested.
#include "machine_calls.h"

#include <cstddef>
#include <cstring>

namespace simhost {

extern "C" {
// Filled by the thunks right after the call returns; read only by the thread
// that made the call, which is always the host's.
MachineState kvt_sim_after asm("kvt_sim_after");
Register kvt_sim_esp_before asm("kvt_sim_esp_before");
// The frame pointer of the thunk in progress, kept in memory rather than in a
// register because the callee is the thing under suspicion.
Register kvt_sim_frame asm("kvt_sim_frame");

void kvt_sim_call_thiscall(const void* function, void* self, const uint32_t* args,
                           uint32_t count) asm("kvt_sim_call_thiscall");
void kvt_sim_call_mode_site(uint32_t site, uint32_t gameState, uint32_t mode) asm("kvt_sim_call_mode_site");
void kvt_sim_call_render_site(uint32_t site) asm("kvt_sim_call_render_site");
}

#if defined(__i386__)

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

#else

static_assert(offsetof(MachineState, espDelta) == 56 && offsetof(MachineState, ebpBefore) == 64 &&
                  offsetof(MachineState, r8) == 72 && offsetof(MachineState, r15) == 128,
              "the thunks store by these offsets");

// The 64-bit test build: one convention, this in RCX, the arguments in RDX,
// R8, R9 and then on the stack above the callee's 32 bytes of shadow space,
// RSP 16-aligned at the call; RBX, RBP, RSI, RDI and R12-R15 must come back
// as they went in. The thunks keep unwind information (.seh_*), so a fault in
// the callee still reaches the session's crash report.
#define KVT_SIM_MARK(reg, n) "    movabsq $0x6B7674006B7674" #n ", %" #reg "\n"

#define KVT_SIM_PROLOGUE(name)     \
    ".globl " name                 \
    "\n"                           \
    ".def " name                   \
    "; .scl 2; .type 32; .endef\n" \
    ".seh_proc " name "\n" name    \
    ":\n"                          \
    "    pushq %rbp\n"             \
    "    .seh_pushreg %rbp\n"      \
    "    pushq %rbx\n"             \
    "    .seh_pushreg %rbx\n"      \
    "    pushq %rsi\n"             \
    "    .seh_pushreg %rsi\n"      \
    "    pushq %rdi\n"             \
    "    .seh_pushreg %rdi\n"      \
    "    pushq %r12\n"             \
    "    .seh_pushreg %r12\n"      \
    "    pushq %r13\n"             \
    "    .seh_pushreg %r13\n"      \
    "    pushq %r14\n"             \
    "    .seh_pushreg %r14\n"      \
    "    pushq %r15\n"             \
    "    .seh_pushreg %r15\n"      \
    "    movq %rsp, %rbp\n"        \
    "    .seh_setframe %rbp, 0\n"  \
    "    .seh_endprologue\n"       \
    "    movq %rbp, kvt_sim_frame(%rip)\n"

#define KVT_SIM_MARK_KEPT \
    KVT_SIM_MARK(rbx, 01) \
    KVT_SIM_MARK(r12, 0C) KVT_SIM_MARK(r13, 0D) KVT_SIM_MARK(r14, 0E) KVT_SIM_MARK(r15, 0F)

#define KVT_SIM_SAVE_AFTER                      \
    "    movq %rax, kvt_sim_after+0(%rip)\n"    \
    "    movq %rbx, kvt_sim_after+8(%rip)\n"    \
    "    movq %rcx, kvt_sim_after+16(%rip)\n"   \
    "    movq %rdx, kvt_sim_after+24(%rip)\n"   \
    "    movq %rsi, kvt_sim_after+32(%rip)\n"   \
    "    movq %rdi, kvt_sim_after+40(%rip)\n"   \
    "    movq %rbp, kvt_sim_after+48(%rip)\n"   \
    "    movq %r8, kvt_sim_after+72(%rip)\n"    \
    "    movq %r9, kvt_sim_after+80(%rip)\n"    \
    "    movq %r10, kvt_sim_after+88(%rip)\n"   \
    "    movq %r11, kvt_sim_after+96(%rip)\n"   \
    "    movq %r12, kvt_sim_after+104(%rip)\n"  \
    "    movq %r13, kvt_sim_after+112(%rip)\n"  \
    "    movq %r14, kvt_sim_after+120(%rip)\n"  \
    "    movq %r15, kvt_sim_after+128(%rip)\n"  \
    "    movq %rsp, %rax\n"                     \
    "    subq kvt_sim_esp_before(%rip), %rax\n" \
    "    movq %rax, kvt_sim_after+56(%rip)\n"   \
    "    movq kvt_sim_frame(%rip), %rbp\n"      \
    "    movq %rbp, kvt_sim_after+64(%rip)\n"   \
    "    movq %rbp, %rsp\n"                     \
    "    popq %r15\n"                           \
    "    popq %r14\n"                           \
    "    popq %r13\n"                           \
    "    popq %r12\n"                           \
    "    popq %rdi\n"                           \
    "    popq %rsi\n"                           \
    "    popq %rbx\n"                           \
    "    popq %rbp\n"                           \
    "    ret\n"                                 \
    "    .seh_endproc\n"

// RCX = function, RDX = self, R8 = the 32-bit arguments, R9 = their count.
// The area below the call holds the shadow space and arguments 4 and on:
// argument i (from 0) at 32 + 8 * (i - 3) above RSP.
asm(".text\n" KVT_SIM_PROLOGUE("kvt_sim_call_thiscall")
    "    movq %rcx, %rax\n"
    "    movq %rdx, %r10\n"
    "    movq %r8, %r11\n"
    "    movl %r9d, %ecx\n"
    "    leaq 40(,%rcx,8), %rdx\n"
    "    subq %rdx, %rsp\n"
    "    andq $-16, %rsp\n"
    "1:  cmpl $3, %ecx\n"
    "    jbe 2f\n"
    "    decl %ecx\n"
    "    movl (%r11,%rcx,4), %edx\n"
    "    movq %rdx, 8(%rsp,%rcx,8)\n"
    "    jmp 1b\n"
    "2:  movl %r9d, %ecx\n"
    "    xorl %edx, %edx\n"
    "    xorl %r8d, %r8d\n"
    "    xorl %r9d, %r9d\n"
    "    testl %ecx, %ecx\n"
    "    jz 3f\n"
    "    movl (%r11), %edx\n"
    "    cmpl $1, %ecx\n"
    "    je 3f\n"
    "    movl 4(%r11), %r8d\n"
    "    cmpl $2, %ecx\n"
    "    je 3f\n"
    "    movl 8(%r11), %r9d\n"
    "3:  movq %r10, %rcx\n" KVT_SIM_MARK_KEPT KVT_SIM_MARK(rsi, 04) KVT_SIM_MARK(rdi, 05)
    "    movq %rsp, kvt_sim_esp_before(%rip)\n"
    "    call *%rax\n" KVT_SIM_SAVE_AFTER

    // RCX = site, EDX = game state, R8D = mode; a host caller's shadow space.
    KVT_SIM_PROLOGUE("kvt_sim_call_mode_site")
    "    movl %ecx, %eax\n"
    "    movl %edx, %esi\n"
    "    movl %r8d, %edi\n"
    "    subq $40, %rsp\n" KVT_SIM_MARK_KEPT
    "    movq %rsp, kvt_sim_esp_before(%rip)\n"
    "    call *%rax\n" KVT_SIM_SAVE_AFTER

    // RCX = site.
    KVT_SIM_PROLOGUE("kvt_sim_call_render_site")
    "    movl %ecx, %eax\n"
    "    subq $40, %rsp\n" KVT_SIM_MARK_KEPT KVT_SIM_MARK(rcx, 02) KVT_SIM_MARK(rdx, 03)
    KVT_SIM_MARK(rsi, 04) KVT_SIM_MARK(rdi, 05) KVT_SIM_MARK(r8, 08) KVT_SIM_MARK(r9, 09)
    KVT_SIM_MARK(r10, 0A) KVT_SIM_MARK(r11, 0B)
    "    movq %rsp, kvt_sim_esp_before(%rip)\n"
    "    call *%rax\n" KVT_SIM_SAVE_AFTER);

std::string ChangedHighRegisters(const MachineState& state, bool withVolatile) {
    const Register values[8] = {state.r8,  state.r9,  state.r10, state.r11,
                                state.r12, state.r13, state.r14, state.r15};
    std::string changed;
    for (unsigned n = withVolatile ? 8 : 12; n <= 15; ++n)
        if (values[n - 8] != MarkR(n)) changed += (changed.empty() ? "R" : "/R") + std::to_string(n);
    return changed;
}

#endif

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
