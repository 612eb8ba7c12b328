// A stand-in for the VR plug-in, built as a shared object for the native tests
// and as a DLL for the tests under Wine. Built with KVT_VR_STANDIN_NO_ENTRY it
// is a loadable library that lacks openKVTVR_Exec.
#include "shared/vr_standin.h"

#include <mutex>
#include <vector>

#if defined(_WIN32)
#define KVT_STANDIN_EXPORT extern "C" __declspec(dllexport)
#define KVT_STANDIN_CDECL __cdecl
#else
#define KVT_STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#define KVT_STANDIN_CDECL
#endif

namespace {
std::mutex g_lock;
std::vector<kvt_test::VrCall> g_calls;
int32_t g_apiLevel = 2;
int32_t g_seatAnswer = 0;
}  // namespace

KVT_STANDIN_EXPORT void VrStandIn_SetAnswers(int32_t apiLevel, int32_t seatAnswer) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_apiLevel = apiLevel;
    g_seatAnswer = seatAnswer;
}

KVT_STANDIN_EXPORT int32_t VrStandIn_TakeCalls(kvt_test::VrCall* out, int32_t capacity) {
    std::lock_guard<std::mutex> lock(g_lock);
    const auto count = static_cast<int32_t>(g_calls.size());
    for (int32_t i = 0; i < count && i < capacity; ++i) out[i] = g_calls[static_cast<size_t>(i)];
    g_calls.clear();
    return count;
}

#if !defined(KVT_VR_STANDIN_NO_ENTRY)
KVT_STANDIN_EXPORT int32_t KVT_STANDIN_CDECL openKVTVR_Exec(int32_t command, int32_t arg1, int32_t arg2,
                                                            int32_t arg3) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.push_back({command, arg1, arg2, arg3});
    if (command == 0) return g_apiLevel;
    if (command == 32) return g_seatAnswer;
    return 0;
}
#endif
