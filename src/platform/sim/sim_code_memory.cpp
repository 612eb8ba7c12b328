// The simulated host code: the patch writer's calls land in the buffer that
// plays the host's memory, with protections a write has to respect, and each
// call is written into a journal the tests read.
#include "platform/sim/sim_code_memory.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "platform/mutex.h"
#include "platform/code_memory.h"
#include "platform/host_memory.h"

namespace platform {
namespace {
kvt::Mutex g_codeLock;
std::vector<std::string> g_calls KVT_GUARDED_BY(g_codeLock);
std::set<sim::CodeCall> g_failing KVT_GUARDED_BY(g_codeLock);
// Only bytes whose protection was changed are here.
std::map<uint32_t, uint32_t> g_protection KVT_GUARDED_BY(g_codeLock);
std::set<ProcessHandle> g_openHandles KVT_GUARDED_BY(g_codeLock);
ProcessHandle g_nextHandle KVT_GUARDED_BY(g_codeLock) = 0x100;
std::map<std::string, sim::ModuleState> g_modules KVT_GUARDED_BY(g_codeLock);

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void Note(std::string call, bool ok) KVT_REQUIRES(g_codeLock) {
    if (!ok) call += " failed";
    g_calls.push_back(std::move(call));
}

uint32_t ProtectionOf(uint32_t address) KVT_REQUIRES(g_codeLock) {
    auto found = g_protection.find(address);
    return found == g_protection.end() ? sim::kDefaultCodeProtection : found->second;
}

// PAGE_READWRITE, PAGE_WRITECOPY, PAGE_EXECUTE_READWRITE, PAGE_EXECUTE_WRITECOPY
bool Writable(uint32_t protection) {
    return protection == 0x04 || protection == 0x08 || protection == 0x40 || protection == 0x80;
}
}  // namespace

ProcessHandle OpenOwnProcess(uint32_t access) {
    kvt::MutexLock lock(g_codeLock);
    const bool ok = !g_failing.count(sim::CodeCall::kOpen);
    Note("open " + Hex(access, 3), ok);
    if (!ok) return 0;
    const ProcessHandle handle = g_nextHandle++;
    g_openHandles.insert(handle);
    return handle;
}

bool ProtectCode(ProcessHandle process, uint32_t address, uint32_t size, uint32_t protection,
                 uint32_t* oldProtection) {
    kvt::MutexLock lock(g_codeLock);
    const uint32_t old = ProtectionOf(address);
    const bool ok = !g_failing.count(sim::CodeCall::kProtect) && g_openHandles.count(process) &&
                    HostRangeValid(address, size);
    Note("protect " + Hex(address, 8) + " " + std::to_string(size) + " " + Hex(protection, 2) + " (was " +
             Hex(old, 2) + ")",
         ok);
    if (!ok) return false;
    for (uint32_t i = 0; i < size; ++i) g_protection[address + i] = protection;
    *oldProtection = old;
    return true;
}

bool WriteCode(ProcessHandle process, uint32_t address, const void* bytes, uint32_t size) {
    kvt::MutexLock lock(g_codeLock);
    std::string call = "write " + Hex(address, 8);
    const auto* data = static_cast<const uint8_t*>(bytes);
    for (uint32_t i = 0; i < size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, " %02X", data[i]);
        call += byte;
    }
    bool ok = !g_failing.count(sim::CodeCall::kWrite) && g_openHandles.count(process) &&
              HostRangeValid(address, size);
    for (uint32_t i = 0; ok && i < size; ++i) ok = Writable(ProtectionOf(address + i));
    Note(call, ok);
    if (ok) std::memcpy(HostPointer(address), bytes, size);
    return ok;
}

void FlushCode(ProcessHandle, uint32_t address, uint32_t size) {
    kvt::MutexLock lock(g_codeLock);
    Note("flush " + Hex(address, 8) + " " + std::to_string(size), true);
}

void CloseProcess(ProcessHandle process) {
    kvt::MutexLock lock(g_codeLock);
    Note("close", g_openHandles.erase(process) == 1);
}

bool ModuleLoaded(const char* name) {
    kvt::MutexLock lock(g_codeLock);
    Note(std::string("module ") + name, true);
    auto found = g_modules.find(Lower(name));
    return found != g_modules.end() && found->second == sim::ModuleState::kLoaded;
}

namespace sim {

void FailCodeCall(CodeCall call) {
    kvt::MutexLock lock(g_codeLock);
    g_failing.insert(call);
}

std::vector<std::string> TakeCodeCalls() {
    kvt::MutexLock lock(g_codeLock);
    std::vector<std::string> calls;
    calls.swap(g_calls);
    return calls;
}

uint32_t CodeProtection(uint32_t address) {
    kvt::MutexLock lock(g_codeLock);
    return ProtectionOf(address);
}

uint32_t OpenProcessHandles() {
    kvt::MutexLock lock(g_codeLock);
    return static_cast<uint32_t>(g_openHandles.size());
}

void SetModule(const std::string& name, ModuleState state) {
    kvt::MutexLock lock(g_codeLock);
    g_modules[Lower(name)] = state;
}

void ResetCodeMemory() {
    kvt::MutexLock lock(g_codeLock);
    g_calls.clear();
    g_failing.clear();
    g_protection.clear();
    g_openHandles.clear();
    g_modules.clear();
}

}  // namespace sim
}  // namespace platform
