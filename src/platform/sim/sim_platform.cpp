// The simulated platform of the native tests: a clock the test moves, the host
// executable's path, a buffer that plays the host's memory and the render
// device's window.
#include "platform/sim/sim_platform.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include "platform/host_memory.h"
#include "platform/mutex.h"
#include "platform/platform.h"

namespace platform {
namespace {
kvt::Mutex g_simLock;
// The simulated time in microseconds: the performance counter reads it to
// the millisecond, the system's tick count in steps of the timer period.
uint64_t g_micros KVT_GUARDED_BY(g_simLock) = 0;
// A stock system's timer period, 1/64 s: Sleep ends on its ticks.
constexpr uint64_t kStockPeriodUs = 15625;
bool g_stockTimer KVT_GUARDED_BY(g_simLock) = false;
bool g_highResolutionTimer KVT_GUARDED_BY(g_simLock) = true;
uint32_t g_timerEarlyUs KVT_GUARDED_BY(g_simLock) = 0;
bool g_timerEarlyNow KVT_GUARDED_BY(g_simLock) = false;
std::string g_hostExecutable KVT_GUARDED_BY(g_simLock) = "/tmp/kvt-sim/game.exe";
uint32_t g_hostBase KVT_GUARDED_BY(g_simLock) = 0;
uint32_t g_foregroundWindow KVT_GUARDED_BY(g_simLock) = 0;
std::set<int32_t> g_keysDown KVT_GUARDED_BY(g_simLock);
std::map<uint32_t, uint32_t> g_deviceWindows KVT_GUARDED_BY(g_simLock);
uint32_t g_deviceQueries KVT_GUARDED_BY(g_simLock) = 0;
std::vector<std::string> g_fileEvents KVT_GUARDED_BY(g_simLock);
std::set<std::string> g_heldFiles KVT_GUARDED_BY(g_simLock);
HostMemoryView g_view;
std::atomic<bool> g_sleepYields{true};
std::atomic<bool> g_sleepAdvancesClock{true};
std::atomic<bool> g_realTime{false};
const auto g_realStart = std::chrono::steady_clock::now();

// The file a descriptor has open, as the file journal names it.
std::string DescriptorPath(int descriptor) {
    char path[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    const ssize_t length = readlink(link.c_str(), path, sizeof path);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : "fd " + std::to_string(descriptor);
}
}  // namespace

HostMemoryView& HostMemory() {
    return g_view;
}

bool HostRangeValid(uint32_t address, uint32_t length) {
    if (address < kLowestHostAddress) return false;
    return g_view.origin != 0 && uint64_t(address) + length <= g_view.size;
}

namespace {
uint64_t TrueUs() KVT_REQUIRES(g_simLock) {
    if (!g_realTime) return g_micros;
    const auto since = std::chrono::steady_clock::now() - g_realStart;
    return g_micros +
           static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}
}  // namespace

uint32_t TickCount() {
    kvt::MutexLock lock(g_simLock);
    const uint64_t now = TrueUs();
    return static_cast<uint32_t>((g_stockTimer ? now - now % kStockPeriodUs : now) / 1000);
}

uint32_t ClockMs() {
    kvt::MutexLock lock(g_simLock);
    return static_cast<uint32_t>(TrueUs() / 1000);
}

namespace {
// The simulated time moves to untilUs (unless only the test moves it), and
// the thread lets the others run.
void SleepUntil(uint64_t untilUs, uint32_t ms) {
    if (g_realTime) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    if (g_sleepAdvancesClock) {
        kvt::MutexLock lock(g_simLock);
        g_micros = std::max(g_micros, untilUs);
    }
    // The simulated time passes at once, but a thread that sleeps in a loop
    // must still let the others run.
    if (g_sleepYields) std::this_thread::sleep_for(std::chrono::microseconds(200));
}
}  // namespace

void SleepMs(uint32_t ms) {
    uint64_t until = 0;
    {
        kvt::MutexLock lock(g_simLock);
        until = g_micros + uint64_t(ms) * 1000;
        // A stock system wakes a sleeper at the first tick of its timer after
        // the time asked for.
        if (g_stockTimer && ms > 0) until += (kStockPeriodUs - until % kStockPeriodUs) % kStockPeriodUs;
    }
    SleepUntil(until, ms);
}

PreciseWait::PreciseWait() {
    kvt::MutexLock lock(g_simLock);
    handle_ = g_highResolutionTimer ? this : nullptr;
    if (!handle_) refused_ = "refused by the simulated system";
}

PreciseWait::~PreciseWait() = default;

int64_t PreciseWait::NowUs() {
    kvt::MutexLock lock(g_simLock);
    return static_cast<int64_t>(TrueUs());
}

void PreciseWait::WaitUs(int64_t us) {
    if (us <= 0) return;
    if (!handle_) return SleepMs(static_cast<uint32_t>((us + 999) / 1000));
    uint64_t until = 0;
    {
        kvt::MutexLock lock(g_simLock);
        // Early every other wait, so that the early wakes jitter rather than
        // shift every pass alike.
        g_timerEarlyNow = !g_timerEarlyNow;
        const uint64_t early = g_timerEarlyNow ? std::min<uint64_t>(g_timerEarlyUs, uint64_t(us)) : 0;
        until = TrueUs() + uint64_t(us) - early;
    }
    SleepUntil(until, static_cast<uint32_t>(us / 1000));
}

uint32_t ForegroundWindow() {
    kvt::MutexLock lock(g_simLock);
    return g_foregroundWindow;
}

bool AsyncKeyDown(int32_t virtualKey) {
    kvt::MutexLock lock(g_simLock);
    return g_keysDown.count(virtualKey) != 0;
}

std::string HostExecutablePath() {
    kvt::MutexLock lock(g_simLock);
    return g_hostExecutable.substr(0, 519);
}

uint32_t FindHostBase() {
    kvt::MutexLock lock(g_simLock);
    return g_hostBase;
}

uint32_t QueryDeviceWindow(uint32_t renderDevice) {
    kvt::MutexLock lock(g_simLock);
    ++g_deviceQueries;
    auto found = g_deviceWindows.find(renderDevice);
    return found == g_deviceWindows.end() ? 0 : found->second;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    if (sim::IsHeldWithoutSharing(path)) {
        errno = EACCES;
        return nullptr;
    }
    return std::fopen(path.c_str(), mode);
}

bool FlushToDisk(std::FILE* file) {
    const int descriptor = fileno(file);
    if (fsync(descriptor) != 0) return false;
    sim::NoteFileEvent("flush " + DescriptorPath(descriptor));
    return true;
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::wstring Utf8ToWide(std::string_view text) {
    // Invalid sequences become U+FFFD, as the system conversion does without
    // the strict flag.
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next >> 6) != 2) valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(code));
        i += extra + 1;
    }
    return out;
}

std::string WideToCodePage(std::wstring_view text) {
    // The simulated system code page is Latin-1; anything beyond becomes '?'.
    std::string out;
    for (wchar_t c : text) out.push_back(static_cast<uint32_t>(c) < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

namespace sim {

void SetTickCount(uint32_t ms) {
    kvt::MutexLock lock(g_simLock);
    g_micros = uint64_t(ms) * 1000;
}

void AdvanceTime(uint32_t ms) {
    kvt::MutexLock lock(g_simLock);
    g_micros += uint64_t(ms) * 1000;
}

void SetStockTimer(bool stock, bool highResolutionOffered, uint32_t timerEarlyUs) {
    kvt::MutexLock lock(g_simLock);
    g_stockTimer = stock;
    g_highResolutionTimer = highResolutionOffered;
    g_timerEarlyUs = timerEarlyUs;
}

void SetSleepAdvancesClock(bool advances) {
    g_sleepAdvancesClock = advances;
}

void SetSleepYields(bool yields) {
    g_sleepYields = yields;
}

void SetRealTime(bool real) {
    g_realTime = real;
}

void SetAsyncKeyDown(int32_t virtualKey, bool down) {
    kvt::MutexLock lock(g_simLock);
    if (down) {
        g_keysDown.insert(virtualKey);
    } else {
        g_keysDown.erase(virtualKey);
    }
}

void SetForegroundWindow(uint32_t window) {
    kvt::MutexLock lock(g_simLock);
    g_foregroundWindow = window;
}

void SetHostExecutablePath(const std::string& path) {
    kvt::MutexLock lock(g_simLock);
    g_hostExecutable = path;
}

void SetDeviceWindow(uint32_t renderDevice, uint32_t window) {
    kvt::MutexLock lock(g_simLock);
    g_deviceWindows[renderDevice] = window;
}

uint32_t DeviceQueryCount() {
    kvt::MutexLock lock(g_simLock);
    return g_deviceQueries;
}

void HoldWithoutSharing(const std::string& path, bool held) {
    kvt::MutexLock lock(g_simLock);
    if (held) {
        g_heldFiles.insert(path);
    } else {
        g_heldFiles.erase(path);
    }
}

bool IsHeldWithoutSharing(const std::string& path) {
    kvt::MutexLock lock(g_simLock);
    return g_heldFiles.count(path) != 0;
}

void NoteFileEvent(const std::string& event) {
    kvt::MutexLock lock(g_simLock);
    g_fileEvents.push_back(event);
}

std::vector<std::string> TakeFileEvents() {
    kvt::MutexLock lock(g_simLock);
    std::vector<std::string> events;
    events.swap(g_fileEvents);
    return events;
}

HostArena::HostArena(uint32_t base, uint32_t size) : base_(base), next_(0) {
    void* memory = std::calloc(size, 1);
    if (!memory) throw std::bad_alloc();
    origin_ = memory;
    size_ = size;
    // Host objects live past the image's highest offset.
    next_ = (base ? base : kLowestHostAddress) + kImageSpan;
    if (next_ >= size) throw std::length_error("host arena too small for the image");
    g_view.origin = reinterpret_cast<uintptr_t>(memory);
    g_view.size = size;
    kvt::MutexLock lock(g_simLock);
    g_hostBase = base;
    g_deviceWindows.clear();
    g_deviceQueries = 0;
}

HostArena::~HostArena() {
    g_view = HostMemoryView{};
    {
        kvt::MutexLock lock(g_simLock);
        g_hostBase = 0;
        g_deviceWindows.clear();
    }
    std::free(origin_);
}

uint32_t HostArena::Allocate(uint32_t bytes) {
    const uint32_t address = next_;
    next_ += (bytes + 15) & ~15u;
    if (next_ > size_) throw std::length_error("host arena exhausted");
    return address;
}

void HostArena::WriteU32(uint32_t address, uint32_t value) {
    HostWrite<uint32_t>(address, value);
}

uint32_t HostArena::ReadU32(uint32_t address) const {
    return HostRead<uint32_t>(address);
}

}  // namespace sim
}  // namespace platform
