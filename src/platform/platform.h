// The platform seam: everything the plug-in asks of the operating system and of
// the host's process. win32/ holds the real calls, sim/ the stand-ins the native
// tests drive. Nothing outside platform/ includes <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
// The native test build stores its game folder on a Linux file system.
inline constexpr char kPathSeparator = '/';
#endif

// The system's milliseconds since it started, wrapping modulo 2^32 like the
// host's clock. On a stock system it steps by the timer period (15.6 ms), so
// only the log's stamps read it.
uint32_t TickCount();
// Milliseconds from the performance counter, which does not step: what every
// timing of the plug-in reads. Wraps modulo 2^32 like TickCount.
uint32_t ClockMs();
// Sleep, which a stock system rounds up to its timer period.
void SleepMs(uint32_t ms);

// Waits that keep their length where Sleep would round it up: a
// high-resolution waitable timer where the system offers one, else Sleep. It
// never changes the process's timer period (the game's own choice). Made and
// used on one thread.
class PreciseWait {
public:
    PreciseWait();
    ~PreciseWait();
    PreciseWait(const PreciseWait&) = delete;
    PreciseWait& operator=(const PreciseWait&) = delete;

    bool HighResolution() const { return handle_ != nullptr; }
    // Why the system gave no such timer, for the log.
    const std::string& Refused() const { return refused_; }
    void Wait(uint32_t ms);
    // Waits until periodMs after the end of the last paced wait, so that a
    // loop keeps its period whatever its own short work takes; a whole
    // period from now when that time has passed already.
    void Pace(uint32_t periodMs);

private:
    // The system's part (win32/, sim/): the performance counter in
    // microseconds, and a wait of that many on the timer, or Sleep.
    static int64_t NowUs();
    void WaitUs(int64_t us);

    void* handle_ = nullptr;
    std::string refused_;
    // Where the last paced wait ended (NowUs).
    int64_t paced_ = 0;
};

// The window in front (0 when none), compared with the host window.
uint32_t ForegroundWindow();

// Whether the key (a virtual-key code) is down at this moment.
bool AsyncKeyDown(int32_t virtualKey);

// Full file name of the host process's executable (at most 519 characters).
std::string HostExecutablePath();

// Load address of the host executable, looked up without taking a reference;
// 0 when it cannot be found.
uint32_t FindHostBase();

// The host window of the host's Direct3D device: calls the device's creation
// parameters query and returns the focus window word (0 on failure).
uint32_t QueryDeviceWindow(uint32_t renderDevice);

// Profile-file read with the system's rules: a missing file, section or key
// yields the default; the text is cut to fit the buffer. Returns the number of
// characters stored, without the terminator.
uint32_t ReadPrivateProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                  uint32_t size, const char* file);

// Profile-file write with the system's rules: the key's value is replaced in
// place, or the key is added at the end of its section, or the section at the
// end of the file; a missing file is created. False when the file cannot be
// written. (Not named after the system call, which <windows.h> makes a macro.)
bool WriteProfileValue(const char* section, const char* key, const char* value, const char* file);

// fopen, where another program may hold the file open without sharing it (an
// editor, a sync tool, a virus scanner); then it fails with errno EACCES.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Pushes what the stream wrote through the system's caches onto the disk, so a
// file that replaces another is whole even after a power cut. Call after
// fflush. False on failure (errno set).
bool FlushToDisk(std::FILE* file);

// Replaces target by the finished file replacement in one step, so a crash or a
// full disk never leaves a half-written target behind. False on failure (errno set).
bool ReplaceFileWith(const std::string& replacement, const std::string& target);

// Whether a folder path stands on its own: on Windows a root name (a drive
// letter and colon) followed by a root separator; elsewhere a leading '/'.
bool IsAbsolutePath(const std::string& path);

// Text conversions of the system. Throw std::runtime_error on failure.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToCodePage(std::wstring_view text);

}  // namespace platform
