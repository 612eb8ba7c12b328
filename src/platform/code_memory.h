// The host's code as the patch writer needs it: its own process opened for
// memory work, a range of code made writable and back, bytes written, the
// instruction cache flushed, and whether a module is loaded. win32/ makes the
// system calls; sim/ writes into the simulated host memory and records every
// call. Addresses are host addresses (platform/host_memory.h).
#pragma once

#include <cstdint>

namespace platform {

// PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE
inline constexpr uint32_t kPatchProcessAccess = 0x438;
// PAGE_EXECUTE_READWRITE
inline constexpr uint32_t kPageExecuteReadWrite = 0x40;

// A process handle; 0 is none.
using ProcessHandle = uintptr_t;

// Opens the own process, by its process id, with these rights, not
// inheritable. 0 on failure.
ProcessHandle OpenOwnProcess(uint32_t access);

// Gives [address, address + size) the protection; the one it had goes to
// *oldProtection. False on failure.
bool ProtectCode(ProcessHandle process, uint32_t address, uint32_t size, uint32_t protection,
                 uint32_t* oldProtection);

// Writes size bytes at address. False when not all of them were written.
bool WriteCode(ProcessHandle process, uint32_t address, const void* bytes, uint32_t size);

void FlushCode(ProcessHandle process, uint32_t address, uint32_t size);

void CloseProcess(ProcessHandle process);

// Whether a module of that name is loaded in the process, looked up without
// changing its reference count; a lookup that succeeds with a null handle
// counts as not loaded.
bool ModuleLoaded(const char* name);

}  // namespace platform
