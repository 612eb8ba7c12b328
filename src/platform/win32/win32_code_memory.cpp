// The host's code in the real process: the system calls behind the patch
// writer, and the module lookup that decides the hub patch.
#include <windows.h>

#include "platform/code_memory.h"

namespace platform {
namespace {
static_assert(kPatchProcessAccess ==
              (PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE));
static_assert(kPageExecuteReadWrite == PAGE_EXECUTE_READWRITE);

HANDLE AsHandle(ProcessHandle process) {
    return reinterpret_cast<HANDLE>(process);
}

void* AsPointer(uint32_t address) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}
}  // namespace

ProcessHandle OpenOwnProcess(uint32_t access) {
    return reinterpret_cast<ProcessHandle>(OpenProcess(access, FALSE, GetCurrentProcessId()));
}

bool ProtectCode(ProcessHandle process, uint32_t address, uint32_t size, uint32_t protection,
                 uint32_t* oldProtection) {
    DWORD old = 0;
    if (!VirtualProtectEx(AsHandle(process), AsPointer(address), size, protection, &old)) return false;
    *oldProtection = old;
    return true;
}

bool WriteCode(ProcessHandle process, uint32_t address, const void* bytes, uint32_t size) {
    SIZE_T written = 0;
    return WriteProcessMemory(AsHandle(process), AsPointer(address), bytes, size, &written) &&
           written == size;
}

void FlushCode(ProcessHandle process, uint32_t address, uint32_t size) {
    FlushInstructionCache(AsHandle(process), AsPointer(address), size);
}

void CloseProcess(ProcessHandle process) {
    CloseHandle(AsHandle(process));
}

bool ModuleLoaded(const char* name) {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, name, &module) &&
           module != nullptr;
}

}  // namespace platform
