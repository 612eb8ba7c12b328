// The hooks at the patched sites and the C++ they call. Registers each hook
// keeps for the host:
//   mode store  reached by E9 over 89 BE 28 07 00 00; saves ESI, EDI
//   render      reached by E9 over 33 C0 ...;         saves ECX, EDX; EAX = 0
//   hub         reached by E8 (a call);               returns to the 90 after it
// EBX and EBP are kept by the called C++ itself (the C calling convention).
#include "plugin/patch_hooks.h"

#include "core/code_patch.h"
#include "core/host_locations.h"
#include "geargate/shifter_page.h"
#include "plugin/kvt_control.h"

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

#if defined(_WIN32) && defined(__i386__)
// The host's compiler keeps the stack 4-byte aligned; ours may assume more.
#define KVT_FROM_HOST_CODE __attribute__((force_align_arg_pointer))
#else
#define KVT_FROM_HOST_CODE
#endif

extern "C" KVT_FROM_HOST_CODE void kvt_mode_store_hooked() {
    RunForHost("ERROR. The mode-store hook failed.", [] {
        if (KVTControl* control = g_instance) control->OnGameModeChange();
    });
}

extern "C" KVT_FROM_HOST_CODE void kvt_render_hooked() {
    RunForHost("ERROR. The render hook failed.", [] {
        if (KVTControl* control = g_instance) control->DrawHoldProgress();
    });
}

// The same reaction as game mode 241, without a mode change.
extern "C" KVT_FROM_HOST_CODE void kvt_hub_hooked() {
    RunForHost("ERROR. The hub hook failed.", [] {
        KVTControl* control = g_instance;
        if (control == nullptr || control->shifterPage == nullptr) return;
        control->shifterPage->engine.driving = false;
        control->shifterPage->engine.LoadShiftDeadzone();
    });
}

#if defined(_WIN32) && defined(__i386__)

static_assert(host_offsets::kGameModeField == 0x728, "the mode-store hook repeats the host's store");

extern "C" {
void kvt_mode_store_hook() asm("kvt_mode_store_hook");
void kvt_render_hook() asm("kvt_render_hook");
void kvt_hub_hook() asm("kvt_hub_hook");
}

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
