// Other components' libraries through the system loader.
#include <windows.h>

#include "platform/modules.h"

namespace platform {

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ModuleHandle OpenModule(const std::string& path) {
    // A library missing one of its own dependencies must not stop the game
    // behind a modal error box; the caller logs the failure instead. Only this
    // thread's mode changes, the host's own threads keep theirs.
    DWORD previous = 0;
    const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
    HMODULE module = LoadLibraryA(path.c_str());
    if (quiet) SetThreadErrorMode(previous, nullptr);
    return reinterpret_cast<ModuleHandle>(module);
}

void* FindModuleExport(ModuleHandle module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void ReleaseModule(ModuleHandle module) {
    if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

bool PinLoadedModule(const char* fileName) {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, fileName, &module) != 0;
}

}  // namespace platform
