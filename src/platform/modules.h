// Libraries of other components in the host's process: whether a file is
// there, loading a library by path, finding one of its exports, letting it go.
// win32/ uses the system loader; sim/ loads shared objects of the test build.
#pragma once

#include <string>

namespace platform {

// A loaded library; null when none.
using ModuleHandle = void*;

// True when something exists at the path (a file, or anything else the loader
// would then refuse).
bool FileExists(const std::string& path);

// Loads the library at that path; null when it cannot be loaded.
ModuleHandle OpenModule(const std::string& path);

// The address of an export of a loaded library; null when it has no such export.
void* FindModuleExport(ModuleHandle module, const char* name);

// Drops one reference taken by OpenModule.
void ReleaseModule(ModuleHandle module);

// Keeps the already loaded library of that file name in the process until it
// ends, whoever frees it; nothing when it is not loaded. True when pinned.
bool PinLoadedModule(const char* fileName);

}  // namespace platform
