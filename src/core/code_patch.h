// The three places in the host's code that the plug-in rewrites so that it
// hears of game-mode changes and can draw on every frame. Each is written at
// most once per process, from the first GetPluginName, and never removed.
#pragma once

#include <atomic>
#include <cstdint>

// Process-wide. A flag is set when its patch is attempted, before anything is
// written, so a failed patch is not tried again.
struct PatchState {
    std::atomic<bool> modeStoreInstalled{false};
    std::atomic<bool> hubInstalled{false};
    std::atomic<bool> renderInstalled{false};
};

PatchState& Patches();
// Forgets the flags and continuations, as a new process would (tests).
void ResetPatches();

// Writes E9 and the displacement to target at site, then 90 when sixBytes,
// into the running process's own code. False for a null site or when the
// process cannot be opened, the protection not changed or the bytes not
// written; the site's bytes are then as they were.
bool WriteJump(uint32_t site, uint32_t target, bool sixBytes);

// Each does nothing once attempted. Mode store and render patch only a site
// that begins with the host's own instruction or another plug-in's jump, and
// log one error line otherwise; the hub patch is written only when the
// distribution's hub library is loaded.
void InstallModeStorePatch();
void InstallHubPatch();
void InstallRenderPatch();

// The module whose presence enables the hub patch.
inline constexpr const char* kHubModule = "VelmoraHub.dll";
