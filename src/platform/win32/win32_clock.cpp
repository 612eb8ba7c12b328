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

namespace {
// Relative, in 100 ns units; false when the timer failed.
bool WaitOn(void* timer, int64_t hundredNs) {
    LARGE_INTEGER due;
    due.QuadPart = -hundredNs;
    return timer && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
           WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
}
}  // namespace

void PreciseWait::Wait(uint32_t ms) {
    if (!WaitOn(handle_, int64_t(ms) * 10000)) Sleep(ms);
}

void PreciseWait::Pace(uint32_t periodMs) {
    const int64_t frequency = CounterFrequency();
    LARGE_INTEGER now;
    if (frequency == 0 || !QueryPerformanceCounter(&now)) return Wait(periodMs);
    const int64_t period = int64_t(periodMs) * frequency / 1000;
    paced_ += period;
    // A pass that ran past its end (a tap's pause inside it, a late wake)
    // starts the period afresh: no pass is cut short to catch up. (Nor is
    // one longer than a period, should the clock stand still.)
    if (paced_ <= now.QuadPart || paced_ > now.QuadPart + period) paced_ = now.QuadPart + period;
    const int64_t left = paced_ - now.QuadPart;
    if (!WaitOn(handle_, left / frequency * 10000000 + left % frequency * 10000000 / frequency))
        Sleep(static_cast<DWORD>((left * 1000 + frequency - 1) / frequency));
}

}  // namespace platform
