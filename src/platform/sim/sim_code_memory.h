// Controls of the simulated host code, for the native tests: the calls of the
// patch writer are recorded as text, each kind can be made to fail, every
// byte of the simulated host memory has a protection that a write must
// respect, and modules can be "loaded" by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::sim {

// The protection of a byte nobody changed: PAGE_EXECUTE_READ, like the host's code.
inline constexpr uint32_t kDefaultCodeProtection = 0x20;

enum class CodeCall { kOpen, kProtect, kWrite };

// From now until ResetCodeMemory, every call of that kind fails (a write then
// changes no byte).
void FailCodeCall(CodeCall call);

// The calls since the last take, oldest first:
//   "open 0x438", "protect 0x0008F392 6 0x40 (was 0x20)", "write 0x0008F392 E9 12 34 56 78 90",
//   "flush 0x0008F392 6", "close", "module VelmoraHub.dll"
// with " failed" appended to a call that failed.
std::vector<std::string> TakeCodeCalls();

// The protection the byte at that host address has now.
uint32_t CodeProtection(uint32_t address);

// Process handles opened and not yet closed.
uint32_t OpenProcessHandles();

enum class ModuleState { kMissing, kLoaded, kLoadedWithNullHandle };
// Module names compare without regard to case, as the system's do.
void SetModule(const std::string& name, ModuleState state);

// Forgets all of it: no failures, no calls, default protections, no modules.
void ResetCodeMemory();

}  // namespace platform::sim
