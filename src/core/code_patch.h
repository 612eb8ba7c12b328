// Writing the host code patches that let the plug-in hear of game-mode
// changes and draw on every frame. Each site is written at most once per
// process and never restored; which hook a site leads to is the caller's.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/patch_bytes.h"

// Writes E9 and the displacement to target at site, then 90 when sixBytes,
// into the running process's own code. False for a null site or when the
// process cannot be opened, the protection not changed or the bytes not
// written; the site's bytes are then as they were.
bool WriteJump(uint32_t site, uint32_t target, bool sixBytes);

// Each does nothing once attempted: the flag is set before anything is
// written, so a failed patch is not tried again.
// A jump is written only over a site that begins with the host's own
// instruction or another plug-in's jump (whose target becomes the
// continuation); any other site gets one error line and is left alone.
void InstallJumpPatch(std::atomic<bool>& attempted, const patch_bytes::Site& site,
                      std::atomic<uint32_t>& continuation, uint32_t hook, bool sixBytes);
// A call is written, the site unexamined, only while the module is loaded.
void InstallCallPatch(std::atomic<bool>& attempted, const patch_bytes::Site& site, uint32_t hook,
                      const char* module);
