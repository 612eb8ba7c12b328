// Installation of the host code patches. The patch writer and its hooks come
// with the code-patching work; until then installing leaves the host's code as
// it is, and the installed flags stay clear so nothing assumes a hook exists.
#include "core/code_patch.h"

namespace {
PatchState g_patches;
}

PatchState& Patches() {
    return g_patches;
}

void InstallModeStorePatch() {}
void InstallHubPatch() {}
void InstallRenderPatch() {}
