// Controls of the simulated platform, for the native tests: a clock the test
// advances, the host executable path, the host's memory buffer and the render
// device's window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::sim {

void SetTickCount(uint32_t ms);
void AdvanceTime(uint32_t ms);
// A stock system's timer, off by default: Sleep ends on the first tick of a
// 15.625 ms period after the time asked for, and TickCount steps by that
// period. A high-resolution timer (when offered; precise waits fall back to
// Sleep otherwise) wakes timerEarlyUs early every other wait, as one whose
// clock is not the performance counter's may.
void SetStockTimer(bool stock, bool highResolutionOffered = true, uint32_t timerEarlyUs = 0);
// Whether a sleep also yields the real thread for a moment (on by default;
// off where a benchmark runs single passes by itself).
void SetSleepYields(bool yields);
// Whether a sleep moves the clock (on by default). Off, only the test moves
// it, so a running job's passes cannot carry time past what a test checks.
void SetSleepAdvancesClock(bool advances);
// Whether the clock runs with the real one (from the tick count set last)
// and a sleep really sleeps: for measuring the job's timing, not for tests.
void SetRealTime(bool real);

void SetHostExecutablePath(const std::string& path);
void SetForegroundWindow(uint32_t window);
void SetAsyncKeyDown(int32_t virtualKey, bool down);

// A zero-filled buffer that plays the host's address space from address 0 to
// size; the host executable is "loaded" at base (0 = not found).
class HostArena {
public:
    // The host image's offsets end below this; Allocate hands out memory above.
    static constexpr uint32_t kImageSpan = 0x1300000;

    HostArena(uint32_t base, uint32_t size);
    ~HostArena();
    HostArena(const HostArena&) = delete;
    HostArena& operator=(const HostArena&) = delete;

    uint32_t base() const { return base_; }
    // Hands out zeroed host memory above the image, for host objects.
    uint32_t Allocate(uint32_t bytes);
    void WriteU32(uint32_t address, uint32_t value);
    uint32_t ReadU32(uint32_t address) const;

private:
    void* origin_ = nullptr;
    uint32_t size_ = 0;
    uint32_t base_;
    uint32_t next_;
};

// The window the render device at that host address reports, and how often a
// device was asked since the arena was made.
void SetDeviceWindow(uint32_t renderDevice, uint32_t window);
uint32_t DeviceQueryCount();

// The system's word that a device interface (a controller's path) came or
// went, for the input job's device watch.
void NoteDeviceChange(bool arrived, const std::string& path);

// Plays another program holding the file open without sharing: opening it or
// replacing it fails with EACCES until released.
void HoldWithoutSharing(const std::string& path, bool held);
bool IsHeldWithoutSharing(const std::string& path);

// The journal of disk flushes and file replacements ("flush PATH",
// "replace FROM -> TO"), oldest first; taking it empties it.
void NoteFileEvent(const std::string& event);
std::vector<std::string> TakeFileEvents();

}  // namespace platform::sim
