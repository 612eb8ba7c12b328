// The host's code sites as scripts prepare, run and check them: what another
// program left there before the plug-in came (unexpected bytes, another
// plug-in's jump), the hub site's call, a library loaded into the process, and
// the expectations on the sites and on the stores of the game mode.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_bytes.h"
#include "session.h"

namespace simhost {

namespace {

std::string SiteStart(uint32_t site) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(site);
    char seen[64];
    std::snprintf(seen, sizeof seen, "the site begins %02X %02X %02X %02X %02X %02X", bytes[0], bytes[1],
                  bytes[2], bytes[3], bytes[4], bytes[5]);
    return seen;
}

bool ForeignSiteByName(const std::string& name, ForeignSite& which) {
    if (name == "mode-store")
        which = ForeignSite::kModeStore;
    else if (name == "render")
        which = ForeignSite::kRender;
    else
        return false;
    return true;
}

}  // namespace

void Session::Load(const ScriptLine& line) {
    if (line.tokens.size() != 2) return Usage(line, "load FILE");
    const std::string path = GamePath(line.tokens[1].text);
    if (LoadLibraryA(path.c_str()) == nullptr)
        return Fail(line, "cannot load " + line.tokens[1].text + ", error " + std::to_string(GetLastError()));
    Say("load " + line.tokens[1].text);
}

// The hub site is reached by a plain call, like the render site; what the
// callee must keep is what any C function keeps.
void Session::Hub(const ScriptLine& line) {
    if (line.tokens.size() != 1) return Usage(line, "hub");
    MachineState state = CallRenderSite(layout_.HubSite());
    std::string problems;
    if (state.espDelta != 0) problems += " esp off by " + std::to_string(state.espDelta);
    if (state.ebx != kMarkEbx || state.esi != kMarkEsi || state.edi != kMarkEdi)
        problems += " EBX/ESI/EDI changed";
    if (state.ebp != state.ebpBefore) problems += " EBP changed";
#if defined(__x86_64__)
    const std::string high = ChangedHighRegisters(state, false);
    if (!high.empty()) problems += " " + high + " changed";
#endif
    if (!problems.empty()) Fail(line, "hub site returned with" + problems);
    Say("hub");
}

void Session::SiteBytes(const ScriptLine& line) {
    uint32_t site = 0;
    std::string bytes, error;
    if (line.tokens.size() != 3 || !layout_.SiteByName(line.tokens[1].text, site))
        return Usage(line, "site-bytes mode-store|render|hub \"HEX\"");
    if (!ParseHexBytes(line.tokens[2].text, bytes, error)) return Fail(line, "not hex bytes: " + error);
    if (!HostLayout::WriteCode(site, bytes.data(), bytes.size(), error)) return Fail(line, error);
    Say("site-bytes " + line.tokens[1].text + " " + HexBytes(bytes));
}

void Session::ForeignJump(const ScriptLine& line) {
    ForeignSite which;
    uint32_t site = 0;
    if (line.tokens.size() != 2 || !ForeignSiteByName(line.tokens[1].text, which) ||
        !layout_.SiteByName(line.tokens[1].text, site))
        return Usage(line, "foreign-jump mode-store|render");
    std::string error;
    if (!PatchLikeAnotherPlugin(which, site, error)) return Fail(line, error);
    Say("foreign-jump " + line.tokens[1].text + " to " + Hex(ForeignStub(which)));
}

void Session::ExpectSite(const ScriptLine& line, const std::string& kind) {
    const std::vector<Token>& t = line.tokens;
    if (kind == "mode-stores") {
        uint32_t count = 0;
        if (t.size() != 3 || !ParseUnsigned(t[2], count)) return Usage(line, "expect mode-stores N");
        if (modeCalls_ == 0) return Fail(line, "no mode command yet");
        if (lastModeStores_ == count) return Pass(line);
        return Fail(
            line, "the last mode command stored the game mode " + std::to_string(lastModeStores_) + " times");
    }
    if (kind == "foreign-runs") {
        ForeignSite which;
        uint32_t count = 0;
        if (t.size() != 4 || !ForeignSiteByName(t[2].text, which) || !ParseUnsigned(t[3], count))
            return Usage(line, "expect foreign-runs mode-store|render N");
        if (ForeignRuns(which) == count) return Pass(line);
        return Fail(line, "the other plug-in's code ran " + std::to_string(ForeignRuns(which)) + " times");
    }
    uint32_t site = 0;
    if (kind == "site-bytes") {
        std::string wanted, error;
        if (t.size() != 4 || !layout_.SiteByName(t[2].text, site))
            return Usage(line, "expect site-bytes mode-store|render|hub \"HEX\"");
        if (!ParseHexBytes(t[3].text, wanted, error)) return Fail(line, "not hex bytes: " + error);
        if (std::string(reinterpret_cast<const char*>(site), wanted.size()) == wanted) return Pass(line);
        return Fail(line, SiteStart(site));
    }
    if (t.size() != 3 || !layout_.SiteByName(t[2].text, site))
        return Usage(line, "expect " + kind + " mode-store|render|hub");
    const auto* bytes = reinterpret_cast<const uint8_t*>(site);
    if (kind == "unpatched") {
        const std::string original = HostLayout::OriginalBytes(t[2].text);
        if (std::string(reinterpret_cast<const char*>(site), original.size()) == original) return Pass(line);
        return Fail(line, SiteStart(site));
    }
    // Patched: the plug-in's jump (a call at the hub site) to code inside the
    // plug-in's own module, with the nop after it where the host's
    // instruction had six bytes.
    const bool hub = t[2].text == "hub";
    const uint8_t opcode = hub ? 0xE8 : 0xE9;
    int32_t displacement;
    std::memcpy(&displacement, bytes + 1, sizeof displacement);
    const uint32_t target = site + 5 + static_cast<uint32_t>(displacement);
    HMODULE owner = nullptr;
    const bool inPlugin =
        GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(target)), &owner) &&
        owner == pluginModule_;
    const bool nopAfter = t[2].text == "render" || bytes[5] == 0x90;
    if (bytes[0] == opcode && inPlugin && nopAfter) return Pass(line);
    std::string seen = SiteStart(site);
    if (bytes[0] == opcode && !inPlugin) seen += ", leading to " + Hex(target) + " outside the plug-in";
    Fail(line, seen);
}

}  // namespace simhost
