// Installation of a host code patch: the write sequence and the check of
// what a site holds. The bytes themselves come from patch_bytes.h; which hook
// each site leads to is the caller's (plugin/patch_hooks.cpp).
#include "core/code_patch.h"

#include <cstdio>
#include <string>

#include "core/host_locations.h"
#include "core/log.h"
#include "core/patch_bytes.h"
#include "platform/code_memory.h"
#include "platform/host_memory.h"

using patch_bytes::Site;

namespace {
// The sequence for any bytes: open the own process, make the bytes
// writable and executable, write, restore the old protection, flush the
// instruction cache, close. The result is the write's.
bool WriteHostCode(uint32_t site, const void* bytes, uint32_t size) {
    if (site == 0) return false;
    const platform::ProcessHandle process = platform::OpenOwnProcess(platform::kPatchProcessAccess);
    if (process == 0) return false;
    uint32_t oldProtection = 0;
    if (!platform::ProtectCode(process, site, size, platform::kPageExecuteReadWrite, &oldProtection)) {
        platform::CloseProcess(process);
        return false;
    }
    const bool written = platform::WriteCode(process, site, bytes, size);
    uint32_t unused = 0;
    platform::ProtectCode(process, site, size, oldProtection, &unused);
    platform::FlushCode(process, site, size);
    platform::CloseProcess(process);
    return written;
}

// 0 while the host's base is unknown: a null site, which fails at once.
uint32_t SiteAddress(const Site& site) {
    const uint32_t base = Host().base;
    return base == 0 ? 0 : base + site.offset;
}

// Sets the continuation from what the site holds before it is overwritten.
// A site that holds neither the host's instruction nor a jump is left alone,
// with one error line (always written), as this is not the host build the
// offsets belong to or another program changed the code in a way we cannot
// follow.
bool TakeContinuation(const Site& site, uint32_t address, std::atomic<uint32_t>& continuation) {
    const uint8_t first = platform::HostRead<uint8_t>(address);
    const patch_bytes::Continuation found =
        patch_bytes::ContinuationAt(site, address, first, platform::HostRead<int32_t>(address + 1));
    if (!found.patchable) {
        char line[128];
        std::snprintf(line, sizeof line,
                      "ERROR. Unexpected code at the %s site base+0x%X (0x%02X); not patched", site.name,
                      site.offset, first);
        LogLine(line);
        return false;
    }
    continuation = found.address;
    return true;
}

}  // namespace

bool WriteJump(uint32_t site, uint32_t target, bool sixBytes) {
    const patch_bytes::JumpRel32Nop jump = patch_bytes::JumpNop(site, target);
    return WriteHostCode(site, &jump, sixBytes ? sizeof jump : sizeof jump.jump);
}

void InstallJumpPatch(std::atomic<bool>& attempted, const Site& site, std::atomic<uint32_t>& continuation,
                      uint32_t hook, bool sixBytes) {
    if (attempted.exchange(true)) return;
    const uint32_t address = SiteAddress(site);
    if (address == 0) return;
    if (!TakeContinuation(site, address, continuation)) return;
    WriteJump(address, hook, sixBytes);
}

void InstallCallPatch(std::atomic<bool>& attempted, const Site& site, uint32_t hook, const char* module) {
    if (attempted.exchange(true)) return;
    if (!platform::ModuleLoaded(module)) return;
    const uint32_t address = SiteAddress(site);
    const patch_bytes::CallRel32Nop call = patch_bytes::CallNop(address, hook);
    WriteHostCode(address, &call, sizeof call);
}
