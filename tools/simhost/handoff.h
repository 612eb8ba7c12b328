// The simulated host's two halves meet here: what the loader executable hands
// the session DLL about the arena in its own image that plays the host's memory.
#pragma once

#include <stdint.h>

// Host offsets the arena must cover: from below the render site (base + 0xE896)
// to past the highest host location the plug-in reads (base + 0x1261000).
#define KVT_SIMHOST_ARENA_FIRST_OFFSET 0xE000u
#define KVT_SIMHOST_ARENA_END_OFFSET 0x1262000u

#define KVT_SIMSESSION_DLL "kvt-simsession.dll"
#define KVT_SIMSESSION_ENTRY "kvt_simsession_run"

typedef struct KvtSimHandoff {
    uint32_t imageBase;
    uint32_t arenaStart;
    uint32_t arenaSize;
    const char* commandLine;
} KvtSimHandoff;

typedef int(__cdecl* KvtSimSessionEntry)(const KvtSimHandoff* handoff);
