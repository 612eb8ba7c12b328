// The hooks at the patched sites (the C++ they call sits beside the main
// object, in kvt_control.cpp). Registers each hook
// keeps for the host:
//   mode store  reached by E9 over 89 BE 28 07 00 00; saves ESI, EDI
//   render      reached by E9 over 33 C0 ...;         saves ECX, EDX; EAX = 0
//   hub         reached by E8 (a call);               returns to the 90 after it
// EBX and EBP are kept by the called C++ itself (the C calling convention).
#include "plugin/patch_hooks.h"

#include "core/code_patch.h"
#include "core/host_locations.h"

static_assert(sizeof(std::atomic<uint32_t>) == 4 && std::atomic<uint32_t>::is_always_lock_free,
              "the hooks read a continuation as one plain 32-bit word");

extern "C" {
std::atomic<uint32_t> kvt_mode_store_continuation{0};
std::atomic<uint32_t> kvt_render_continuation{0};
}

namespace {
PatchState g_patches;
}  // namespace

PatchState& Patches() {
    return g_patches;
}

void ResetPatches() {
    g_patches.modeStoreInstalled = false;
    g_patches.hubInstalled = false;
    g_patches.renderInstalled = false;
    kvt_mode_store_continuation = 0;
    kvt_render_continuation = 0;
}

void InstallModeStorePatch() {
    InstallJumpPatch(g_patches.modeStoreInstalled, patch_bytes::kModeStore, kvt_mode_store_continuation,
                     ModeStoreHookAddress(), true);
}

void InstallRenderPatch() {
    InstallJumpPatch(g_patches.renderInstalled, patch_bytes::kRender, kvt_render_continuation,
                     RenderHookAddress(), false);
}

void InstallHubPatch() {
    InstallCallPatch(g_patches.hubInstalled, patch_bytes::kHub, HubHookAddress(), kHubModule);
}

#if defined(_WIN32) && (defined(__i386__) || defined(__x86_64__))

static_assert(host_offsets::kGameModeField == 0x728, "the mode-store hook repeats the host's store");

extern "C" {
void kvt_mode_store_hook() asm("kvt_mode_store_hook");
void kvt_render_hook() asm("kvt_render_hook");
void kvt_hub_hook() asm("kvt_hub_hook");
}

#if defined(__i386__)

// ESI = the game state, EDI = the new game mode, as the host has them at the site.
extern "C" __attribute__((naked)) void kvt_mode_store_hook() {
    asm("movl %edi, 0x728(%esi)\n\t"  // 89 BE 28 07 00 00: the host's store, done here
        "pushl %esi\n\t"
        "pushl %edi\n\t"
        "call kvt_mode_store_hooked\n\t"
        "popl %edi\n\t"
        "popl %esi\n\t"
        "jmp *kvt_mode_store_continuation");
}

extern "C" __attribute__((naked)) void kvt_render_hook() {
    asm("pushl %ecx\n\t"
        "pushl %edx\n\t"
        "call kvt_render_hooked\n\t"
        "popl %edx\n\t"
        "popl %ecx\n\t"
        "xorl %eax, %eax\n\t"  // XOR EAX, EAX: the host's 33 C0, done here
        "jmp *kvt_render_continuation");
}

extern "C" __attribute__((naked)) void kvt_hub_hook() {
    asm("call kvt_hub_hooked\n\t"
        "ret");
}

#else

// The 64-bit test build. The host's bytes mean the same there (89 BE 28 07 00
// 00 stores EDI at RSI+0x728, 33 C0 clears EAX), but a hook inside the host's
// instruction stream may not know which registers the host still needs, so
// it keeps every one the called C++ may change (RAX, RCX, RDX, R8-R11,
// XMM0-XMM5, the flags), aligns the stack to 16 and gives the callee its 32
// bytes of shadow space. RBP is the frame register of the unwind information
// (.seh_*), so a fault in the called code still unwinds to the host's
// handlers. The continuation is a 32-bit word: it is put on the stack as a
// return address and reached by RET, which changes no register.
//
// Stack below RBP: flags, RAX, RCX, RDX, R8, R9, R10, R11 (64 bytes), then,
// 16-aligned, XMM0-XMM5 (96 bytes) above the shadow space (32 bytes).
#define KVT_HOOK_CALL_KEEPING_REGISTERS(callee) \
    "pushq %rbp\n\t"                            \
    ".seh_pushreg %rbp\n\t"                     \
    "movq %rsp, %rbp\n\t"                       \
    ".seh_setframe %rbp, 0\n\t"                 \
    ".seh_endprologue\n\t"                      \
    "pushfq\n\t"                                \
    "pushq %rax\n\t"                            \
    "pushq %rcx\n\t"                            \
    "pushq %rdx\n\t"                            \
    "pushq %r8\n\t"                             \
    "pushq %r9\n\t"                             \
    "pushq %r10\n\t"                            \
    "pushq %r11\n\t"                            \
    "andq $-16, %rsp\n\t"                       \
    "subq $128, %rsp\n\t"                       \
    "movdqa %xmm0, 32(%rsp)\n\t"                \
    "movdqa %xmm1, 48(%rsp)\n\t"                \
    "movdqa %xmm2, 64(%rsp)\n\t"                \
    "movdqa %xmm3, 80(%rsp)\n\t"                \
    "movdqa %xmm4, 96(%rsp)\n\t"                \
    "movdqa %xmm5, 112(%rsp)\n\t"               \
    "call " callee                              \
    "\n\t"                                      \
    "movdqa 32(%rsp), %xmm0\n\t"                \
    "movdqa 48(%rsp), %xmm1\n\t"                \
    "movdqa 64(%rsp), %xmm2\n\t"                \
    "movdqa 80(%rsp), %xmm3\n\t"                \
    "movdqa 96(%rsp), %xmm4\n\t"                \
    "movdqa 112(%rsp), %xmm5\n\t"               \
    "leaq -64(%rbp), %rsp\n\t"                  \
    "popq %r11\n\t"                             \
    "popq %r10\n\t"                             \
    "popq %r9\n\t"                              \
    "popq %r8\n\t"                              \
    "popq %rdx\n\t"                             \
    "popq %rcx\n\t"                             \
    "popq %rax\n\t"                             \
    "popfq\n\t"                                 \
    "popq %rbp\n\t"

// Goes on at the address in a 32-bit continuation word, every register as it is.
#define KVT_HOOK_CONTINUE_AT(word) \
    "leaq -8(%rsp), %rsp\n\t"      \
    "pushq %rax\n\t"               \
    "movl " word                   \
    "(%rip), %eax\n\t"             \
    "movq %rax, 8(%rsp)\n\t"       \
    "popq %rax\n\t"                \
    "ret\n\t"

asm(".text\n\t"
    ".globl kvt_mode_store_hook\n\t"
    ".def kvt_mode_store_hook; .scl 2; .type 32; .endef\n\t"
    ".seh_proc kvt_mode_store_hook\n"
    "kvt_mode_store_hook:\n\t"
    "movl %edi, 0x728(%rsi)\n\t"  // 89 BE 28 07 00 00: the host's store, done here
    KVT_HOOK_CALL_KEEPING_REGISTERS("kvt_mode_store_hooked")
    KVT_HOOK_CONTINUE_AT("kvt_mode_store_continuation")
    ".seh_endproc\n\t"

    ".globl kvt_render_hook\n\t"
    ".def kvt_render_hook; .scl 2; .type 32; .endef\n\t"
    ".seh_proc kvt_render_hook\n"
    "kvt_render_hook:\n\t"
    KVT_HOOK_CALL_KEEPING_REGISTERS("kvt_render_hooked")
    "xorl %eax, %eax\n\t"  // 33 C0: the host's XOR EAX, EAX, done here
    KVT_HOOK_CONTINUE_AT("kvt_render_continuation")
    ".seh_endproc\n\t"

    // Reached by the host's call: what any C function keeps is kept.
    ".globl kvt_hub_hook\n\t"
    ".def kvt_hub_hook; .scl 2; .type 32; .endef\n\t"
    ".seh_proc kvt_hub_hook\n"
    "kvt_hub_hook:\n\t"
    "subq $40, %rsp\n\t"
    ".seh_stackalloc 40\n\t"
    ".seh_endprologue\n\t"
    "call kvt_hub_hooked\n\t"
    "addq $40, %rsp\n\t"
    "ret\n\t"
    ".seh_endproc\n\t");

#endif

namespace {
uint32_t AddressOf(void (*hook)()) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hook));
}
}  // namespace

uint32_t ModeStoreHookAddress() {
    return AddressOf(&kvt_mode_store_hook);
}
uint32_t RenderHookAddress() {
    return AddressOf(&kvt_render_hook);
}
uint32_t HubHookAddress() {
    return AddressOf(&kvt_hub_hook);
}

#else

// No host runs native code here: the tests check the bytes that lead to these.
uint32_t ModeStoreHookAddress() {
    return 0x7FFE1000;
}
uint32_t RenderHookAddress() {
    return 0x7FFE2000;
}
uint32_t HubHookAddress() {
    return 0x00001000;
}

#endif
