// The simulated host's executable: the arena that plays the host's image and a
// loader for the session DLL, nothing else. It is built without the C runtime
// so that its own sections stay far below the host's first code site; all the
// session logic lives in kvt-simsession.dll.
#include <windows.h>

#include "handoff.h"

// Starts on the first free page after the loader's own few hundred bytes and
// runs past the highest host offset, so every host location and code site is
// an address inside this executable's image, as in the real host.
#define ARENA_SIZE 0x1260000u
static unsigned char host_arena[ARENA_SIZE] __attribute__((aligned(4096)));

static void put(const char* text) {
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, (DWORD)lstrlenA(text), &written, NULL);
}

static void put_hex(uint32_t value) {
    char digits[11] = "0x";
    for (int i = 0; i < 8; ++i) digits[2 + i] = "0123456789ABCDEF"[(value >> (28 - 4 * i)) & 0xF];
    digits[10] = 0;
    put(digits);
}

void simhost_entry(void) __asm__("simhost_entry");

void simhost_entry(void) {
    /* The 64-bit test build must be linked where host words (32 bits) reach. */
    if ((uintptr_t)host_arena + ARENA_SIZE > 0xFFFFFFFFu) {
        put("simhost: the host image lies above 4 GB, where a 32-bit host word cannot reach it; link it at "
            "0x400000\n");
        ExitProcess(2);
    }
    uint32_t base = (uint32_t)(uintptr_t)GetModuleHandleA(NULL);
    uint32_t start = (uint32_t)(uintptr_t)host_arena;
    uint32_t end = start + ARENA_SIZE;
    if (start > base + KVT_SIMHOST_ARENA_FIRST_OFFSET || end < base + KVT_SIMHOST_ARENA_END_OFFSET) {
        put("simhost: the arena does not cover the host's offsets: it spans base+");
        put_hex(start - base);
        put(" .. base+");
        put_hex(end - base);
        put(", needed base+");
        put_hex(KVT_SIMHOST_ARENA_FIRST_OFFSET);
        put(" .. base+");
        put_hex(KVT_SIMHOST_ARENA_END_OFFSET);
        put("\n");
        ExitProcess(2);
    }

    char path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/') --length;
    lstrcpyA(path + length, KVT_SIMSESSION_DLL);
    HMODULE session = LoadLibraryA(path);
    if (session == NULL) {
        put("simhost: cannot load ");
        put(path);
        put(", error ");
        put_hex(GetLastError());
        put("\n");
        ExitProcess(3);
    }
    KvtSimSessionEntry run = (KvtSimSessionEntry)(void*)GetProcAddress(session, KVT_SIMSESSION_ENTRY);
    if (run == NULL) {
        put("simhost: " KVT_SIMSESSION_DLL " lacks " KVT_SIMSESSION_ENTRY "\n");
        ExitProcess(3);
    }
    KvtSimHandoff handoff = {base, start, ARENA_SIZE, GetCommandLineA()};
    ExitProcess((UINT)run(&handoff));
}
