// The VR bridge. Detection and the API-level query run once under one lock, so
// the input job and a menu page asking at the same moment load the library once.
#include "core/vr_bridge.h"

#include <atomic>
#include <string>

#include "core/log.h"
#include "core/paths.h"
#include "platform/modules.h"
#include "platform/mutex.h"
#include "platform/platform.h"

namespace {

// openKVTVR_Exec: four 32-bit ints, C calling convention (the caller pops).
#if defined(_WIN32)
using VrExecFn = int32_t(__cdecl*)(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3);
#else
using VrExecFn = int32_t (*)(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3);
#endif

constexpr const char* kVrPluginFile = "openKVTVR.dll";
constexpr const char* kVrConfigToolFile = "KVTvrConfig.dll";
constexpr const char* kVrEntryName = "openKVTVR_Exec";
constexpr int32_t kNoApiLevel = -1;

kvt::Mutex g_vrLock;
std::atomic<int32_t> g_state{vr_states::kUndetermined};
std::atomic<VrExecFn> g_exec{nullptr};
platform::ModuleHandle g_module KVT_GUARDED_BY(g_vrLock) = nullptr;
bool g_levelQueried KVT_GUARDED_BY(g_vrLock) = false;
int32_t g_apiLevel KVT_GUARDED_BY(g_vrLock) = kNoApiLevel;

std::string PluginsFolderFile(const char* name) {
    return HostPath(std::string("\\Plugins\\") + name);
}

int32_t Detect() KVT_REQUIRES(g_vrLock) {
    const std::string vrPath = PluginsFolderFile(kVrPluginFile);
    if (platform::FileExists(vrPath)) {
        platform::ModuleHandle module = platform::OpenModule(vrPath);
        const auto exec = reinterpret_cast<VrExecFn>(platform::FindModuleExport(module, kVrEntryName));
        if (exec != nullptr) {
            g_module = module;
            g_exec = exec;
            return vr_states::kPlugin;
        }
        // Nothing of a library without the entry point is ever called.
        platform::ReleaseModule(module);
        LogLine(vrPath + " file exists, but " + kVrEntryName + " method is missing or failed to load");
        return vr_states::kNeither;
    }
    if (platform::FileExists(PluginsFolderFile(kVrConfigToolFile))) return vr_states::kConfigTool;
    return vr_states::kNeither;
}

int32_t ApiLevel() {
    kvt::MutexLock lock(g_vrLock);
    if (!g_levelQueried) {
        const VrExecFn exec = g_exec;
        g_apiLevel = exec ? exec(vr_commands::kApiLevel, 0, 0, 0) : kNoApiLevel;
        g_levelQueried = true;
    }
    return g_apiLevel;
}

}  // namespace

int32_t DetectVrPlugin() {
    const int32_t known = g_state;
    if (known != vr_states::kUndetermined) return known;
    kvt::MutexLock lock(g_vrLock);
    if (g_state == vr_states::kUndetermined) {
        // Whatever goes wrong below, the check is not repeated on every press.
        // Callers arriving meanwhile wait on the lock rather than see a value
        // that is about to change.
        int32_t state = vr_states::kNeither;
        try {
            state = Detect();
        } catch (...) {
            LogException("ERROR. VR plug-in detection failed.");
        }
        g_state = state;
    }
    return g_state;
}

void CallVr(int32_t command) {
    const VrExecFn exec = g_exec;
    if (exec != nullptr) exec(command, 0, 0, 0);
}

bool MoveVrSeat(int32_t direction, int32_t extra) {
    if (DetectVrPlugin() != vr_states::kPlugin) return false;
    if (ApiLevel() < kSeatMoveApiLevel) return false;
    const VrExecFn exec = g_exec;
    if (exec == nullptr) return false;
    return exec(vr_commands::kSeatMove, 0, direction, extra) == 0;
}

void ResetVrBridge() {
    kvt::MutexLock lock(g_vrLock);
    g_exec = nullptr;
    platform::ReleaseModule(g_module);
    g_module = nullptr;
    g_levelQueried = false;
    g_apiLevel = kNoApiLevel;
    g_state = vr_states::kUndetermined;
}
