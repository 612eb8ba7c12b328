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

int64_t CounterUs() {
    const int64_t frequency = CounterFrequency();
    LARGE_INTEGER counter;
    if (frequency == 0 || !QueryPerformanceCounter(&counter)) return int64_t(GetTickCount()) * 1000;
    // Whole seconds and the rest apart: counter * 1000000 could overflow
    // after a long uptime at a high frequency.
    return counter.QuadPart / frequency * 1000000 + counter.QuadPart % frequency * 1000000 / frequency;
}
}  // namespace

uint32_t ClockMs() {
    return static_cast<uint32_t>(CounterUs() / 1000);
}

int64_t PreciseWait::NowUs() {
    return CounterUs();
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

void PreciseWait::WaitUs(int64_t us) {
    if (us <= 0) return;
    // Relative, in 100 ns units.
    LARGE_INTEGER due;
    due.QuadPart = -us * 10;
    if (!handle_ || !SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE) ||
        WaitForSingleObject(handle_, INFINITE) != WAIT_OBJECT_0)
        Sleep(static_cast<DWORD>((us + 999) / 1000));
}

}  // namespace platform
