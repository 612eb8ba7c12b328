// The input job's clock and waits: the performance counter, and a
// high-resolution waitable timer, so that neither the passes nor what they
// time step by the system's timer period.
#include <windows.h>

#include <string>

#include "platform/platform.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace platform {
namespace {
// The counter's frequency is fixed at boot: read once.
int64_t CounterFrequency() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 0;
    }();
    return frequency;
}
}  // namespace

uint32_t ClockMs() {
    const int64_t frequency = CounterFrequency();
    LARGE_INTEGER counter;
    if (frequency == 0 || !QueryPerformanceCounter(&counter)) return GetTickCount();
    // Whole seconds and the rest apart: counter * 1000 could overflow after
    // a long uptime at a high frequency.
    const int64_t ms = counter.QuadPart / frequency * 1000 + counter.QuadPart % frequency * 1000 / frequency;
    return static_cast<uint32_t>(ms);
}

PreciseWait::PreciseWait() {
    // Windows 10 1803 and later; older ones refuse the flag.
    handle_ =
        CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!handle_) refused_ = "error " + std::to_string(GetLastError());
}

PreciseWait::~PreciseWait() {
    if (handle_) CloseHandle(handle_);
}

void PreciseWait::Wait(uint32_t ms) {
    // Relative, in 100 ns units.
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
    if (!handle_ || !SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE) ||
        WaitForSingleObject(handle_, INFINITE) != WAIT_OBJECT_0)
        Sleep(ms);
}

}  // namespace platform
