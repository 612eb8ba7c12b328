// The code the three patches lead to. The hooks themselves are naked i686
// functions that run inside the host's instruction stream (Windows build
// only); what they call is plain C++ that reaches the main object, if there
// still is one: the host keeps running its patched code after the plug-in's
// object is gone.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/log.h"

extern "C" {
// Where the mode-store and render hooks continue: after the host's own
// instruction, or into another plug-in's code. Written once, before the site
// is overwritten; read by the hook on whatever host thread runs the site.
extern std::atomic<uint32_t> kvt_mode_store_continuation asm("kvt_mode_store_continuation");
extern std::atomic<uint32_t> kvt_render_continuation asm("kvt_render_continuation");

// What the hooks call. Each does nothing without a main object and lets no
// exception out.
void kvt_mode_store_hooked() asm("kvt_mode_store_hooked");  // OnGameModeChange
void kvt_render_hooked() asm("kvt_render_hooked");          // DrawHoldProgress
void kvt_hub_hooked() asm("kvt_hub_hooked");                // GearGate: not driving, LoadShiftDeadzone
}

// The hooks' addresses in the host's address space, the targets of the
// patches. The native build has no hooks; it names fixed stand-in addresses.
uint32_t ModeStoreHookAddress();
uint32_t RenderHookAddress();
uint32_t HubHookAddress();

// Process-wide: the patches made for these hooks. A flag is set when its
// patch is attempted.
struct PatchState {
    std::atomic<bool> modeStoreInstalled{false};
    std::atomic<bool> hubInstalled{false};
    std::atomic<bool> renderInstalled{false};
};

PatchState& Patches();
// Forgets the flags and continuations, as a new process would (tests).
void ResetPatches();

// Each leads its site to its hook, once per process (core/code_patch.h);
// the hub patch is written only when the distribution's hub library is loaded.
void InstallModeStorePatch();
void InstallHubPatch();
void InstallRenderPatch();

// The module whose presence enables the hub patch.
inline constexpr const char* kHubModule = "VelmoraHub.dll";

// Runs work on behalf of the host's code, which no exception may reach: one
// is caught and logged after the prefix.
template <typename Work>
void RunForHost(const char* prefix, Work&& work) noexcept {
    try {
        work();
    } catch (...) {
        try {
            LogException(prefix);
        } catch (...) {
        }
    }
}
