// The three places in the host's code that the plug-in rewrites so that it
// hears of game-mode changes and can draw on every frame. Each is written at
// most once per process, from the first GetPluginName.
#pragma once

struct PatchState {
    bool modeStoreInstalled = false;
    bool hubInstalled = false;
    bool renderInstalled = false;
};

PatchState& Patches();

void InstallModeStorePatch();
void InstallHubPatch();
void InstallRenderPatch();
