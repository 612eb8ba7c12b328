// The pacing of the input job's passes, the same on every system; the
// clock and the wait under it are the system's (win32/, sim/).
#include "platform/platform.h"

namespace platform {

void PreciseWait::Wait(uint32_t ms) {
    WaitUs(int64_t(ms) * 1000);
}

void PreciseWait::Pace(uint32_t periodMs) {
    const int64_t now = NowUs();
    const int64_t period = int64_t(periodMs) * 1000;
    paced_ += period;
    // A pass that ran past its end (a tap's pause inside it, a late wake)
    // starts the period afresh: no pass is cut short to catch up. (Nor is
    // one longer than a period, should the clock stand still.)
    if (paced_ <= now || paced_ > now + period) paced_ = now + period;
    WaitUs(paced_ - now);
}

}  // namespace platform
