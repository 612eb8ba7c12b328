// The library's load and unload notifications from the system loader.
#include <windows.h>

#include "core/paths.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        OnLibraryLoad();
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // At process exit other threads are already gone, possibly holding the
        // log's lock; every line is flushed, so the file needs nothing more.
        OnLibraryUnload();
    }
    return TRUE;
}
