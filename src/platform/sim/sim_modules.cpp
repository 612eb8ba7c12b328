// Other components' libraries in the native tests: shared objects of the test
// build, loaded with the dynamic loader under the file names the plug-in looks
// for (a stand-in "openKVTVR.dll" is an ELF file copied there).
#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "platform/modules.h"

namespace platform {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

ModuleHandle OpenModule(const std::string& path) {
    // A bare name would make the loader search its own paths; the plug-in
    // always passes a full one, and a test must never pick up a system library.
    if (path.find('/') == std::string::npos) return nullptr;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindModuleExport(ModuleHandle module, const char* name) {
    if (module == nullptr) return nullptr;
    return dlsym(module, name);
}

void ReleaseModule(ModuleHandle module) {
    if (module != nullptr) dlclose(module);
}

bool PinLoadedModule(const char* fileName) {
    // RTLD_NOLOAD finds it only when loaded; the reference is never dropped.
    return dlopen(fileName, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

}  // namespace platform
