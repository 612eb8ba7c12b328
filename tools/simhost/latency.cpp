// Latency as a player feels it, measured in the simulated host with the real
// plug-in: from a key the player lets go (or presses) to what the game then
// receives, the plug-in's key at the host window or the car's gear word, over
// many presses at uneven intervals so no pass period locks in step with them.
// Beside it what Wine itself adds (the floor), what a held key's repeats look
// like at the window, and what the input job costs in CPU time.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <vector>

#include "host_window.h"
#include "session.h"
#include "thread_times.h"

namespace simhost {

namespace {

double Milliseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// Pumps the window without sleeping until done() holds or a second passes
// (a sleep would add its own granularity to the figures); false on time-out.
bool PumpUntil(const std::function<bool()>& done) {
    DWORD waited = 0;
    return PollPumping(1000, 0, done, waited);
}

// 20 to 59 ms between presses, never in step with the passes; the same
// series every run.
class UnevenGaps {
public:
    DWORD Next() {
        seed_ = seed_ * 1103515245u + 12345u;
        return 20 + (seed_ >> 16) % 40;
    }

private:
    uint32_t seed_ = 12345;
};

// "N what: median ..., p95 ..., p99 ..., max ..." of the samples in ms.
std::string Figures(std::vector<double> samples, const char* what) {
    std::sort(samples.begin(), samples.end());
    auto at = [&](double share) {
        const size_t index = static_cast<size_t>(share * static_cast<double>(samples.size() - 1) + 0.5);
        return samples[index];
    };
    char text[160];
    std::snprintf(text, sizeof text, "%zu %s: median %.2f ms, p95 %.2f ms, p99 %.2f ms, max %.2f ms",
                  samples.size(), what, at(0.5), at(0.95), at(0.99), samples.back());
    return text;
}

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// SDL names the threads it starts after what the caller asked for, and the
// plug-in asks for this name for its input job.
const char* const kJobThreadName = "SDLBackend";

// A held Instant key repeats from this long after its press.
constexpr DWORD kFirstRepeatMs = 500;

const char* const kLatencyUsage =
    "latency key KEY VK N | latency gear KEY GEAR N | latency pad BUTTON VK N | latency floor VK N | "
    "latency cpu MS [held KEY] | latency repeat BUTTON VK MS | latency sleep MS N";

}  // namespace

// latency key KEY VK N: KEY (a DirectInput key index) is bound to an Instant
// RurAzu row, whose key the plug-in sends when KEY is let go; each sample
// runs from the injected release to the window's WM_KEYDOWN of VK.
// latency gear KEY GEAR N: KEY is bound to a GearGate gear; each sample runs
// from the injected press to the car's gear word holding GEAR.
// latency pad BUTTON VK N: BUTTON of the stand-in's pad 1 is bound to an
// Instant RurAzu row, whose key a controller sends at the press; each sample
// runs from the press written to the stand-in to the window's WM_KEYDOWN of
// VK, so it also counts the stand-in's and Wine's HID bus's share.
// latency floor VK N: the same road without the plug-in, Wine's own share:
// the session injects VK as the plug-in does and times it to the window.
// latency cpu MS [held KEY]: the input job's CPU time per second, idle or
// with KEY held and repeating.
// latency repeat BUTTON VK MS: when a held button's repeats reach the window.
// latency sleep MS N: what Sleep(MS) really sleeps in this process, the
// plug-in's (the timer period decides it, not the number asked for).
void Session::Latency(const ScriptLine& line) {
    const std::vector<Token>& t = line.tokens;
    const std::string kind = t.size() >= 2 ? t[1].text : std::string();
    if (kind == "floor") return FloorLatency(line);
    if (kind == "cpu") return JobCpu(line);
    if (kind == "repeat") return RepeatTimes(line);
    uint32_t key = 0, target = 0, count = 0;
    if (t.size() == 4 && t[1].text == "sleep") {
        uint32_t ms = 0;
        if (!ParseUnsigned(t[2], ms) || !ParseUnsigned(t[3], count) || count == 0)
            return Usage(line, "latency sleep MS N");
        NoteCommand(line.number, JoinTokens(t, 0), count * (ms + 100));
        std::vector<double> samples;
        for (uint32_t i = 0; i < count; ++i) {
            const LONGLONG start = Now();
            Sleep(ms);
            samples.push_back(Milliseconds(Now() - start));
        }
        return Say("latency sleep " + std::to_string(ms) + ": " + Figures(samples, "sleeps"));
    }
    const bool keys = t.size() == 5 && t[1].text == "key";
    const bool gear = t.size() == 5 && t[1].text == "gear";
    const bool pad = t.size() == 5 && t[1].text == "pad";
    if ((!keys && !gear && !pad) || !ParseUnsigned(t[2], key) || !ParseUnsigned(t[3], target) ||
        !ParseUnsigned(t[4], count) || count == 0 || key > 255 || (key < 1 && !pad))
        return Usage(line, kLatencyUsage);
    if (pad) return PadLatency(line, key, target, count);
    uint32_t gearWord = 0;
    if (gear && !layout_.ResolveAddress("carObject+0x1100", gearWord)) return Fail(line, "no car object");
    NoteCommand(line.number, JoinTokens(t, 0), count * 400);
    std::vector<double> samples;
    UnevenGaps gaps;
    for (uint32_t i = 0; i < count; ++i) {
        const DWORD gap = gaps.Next();
        std::string error = SendPlayerKey(window_, key, gear);
        if (!error.empty()) return Fail(line, error);
        // Held longer than any pass, as a finger does: a shorter tap can fall
        // between two reads of the keyboard's state.
        if (keys) WaitPumping(60 + gap);
        WatchKeyDown(target);
        const LONGLONG start = Now();
        error = SendPlayerKey(window_, key, keys);
        if (!error.empty()) return Fail(line, error);
        const bool arrived = keys ? PumpUntil([] { return WatchedKeyDownAt() != 0; })
                                  : PumpUntil([&] { return HostLayout::Read32(gearWord) == target; });
        const LONGLONG end = keys ? WatchedKeyDownAt() : Now();
        if (!arrived) return Fail(line, "sample " + std::to_string(i + 1) + " never arrived");
        samples.push_back(Milliseconds(end - start));
        if (gear) {
            error = SendPlayerKey(window_, key, true);
            if (!error.empty()) return Fail(line, error);
        }
        WaitPumping(gap);
    }
    WatchKeyDown(0);
    TakeWindowMessages();
    Say("latency " + t[1].text + ": " + Figures(samples, "presses"));
}

void Session::PadLatency(const ScriptLine& line, uint32_t button, uint32_t virtualKey, uint32_t count) {
    const std::string press = "button 1 " + std::to_string(button);
    // Held as a finger holds it, shorter than the first repeat.
    TimeKeyDowns(line, "pad", virtualKey, count, 60,
                 [&](bool down) { return padLink_.Send(press + (down ? " 1" : " 0")); });
}

void Session::FloorLatency(const ScriptLine& line) {
    const std::vector<Token>& t = line.tokens;
    uint32_t virtualKey = 0, count = 0;
    if (t.size() != 4 || !ParseUnsigned(t[2], virtualKey) || !ParseUnsigned(t[3], count) || count == 0 ||
        virtualKey == 0 || virtualKey > 0xFE)
        return Usage(line, "latency floor VK N");
    TimeKeyDowns(
        line, "floor", virtualKey, count, 0, [&](bool down) { return SendVirtualKey(virtualKey, !down); },
        [&] { return BringToFront(window_); });
}

void Session::TimeKeyDowns(const ScriptLine& line, const char* what, uint32_t virtualKey, uint32_t count,
                           DWORD holdMs, const std::function<std::string(bool down)>& press,
                           const std::function<std::string()>& before) {
    NoteCommand(line.number, JoinTokens(line.tokens, 0), count * 400);
    std::vector<double> samples;
    UnevenGaps gaps;
    for (uint32_t i = 0; i < count; ++i) {
        const DWORD gap = gaps.Next();
        std::string error = before ? before() : std::string();
        if (!error.empty()) return Fail(line, error);
        WatchKeyDown(virtualKey);
        const LONGLONG start = Now();
        error = press(true);
        if (!error.empty()) return Fail(line, error);
        if (!PumpUntil([] { return WatchedKeyDownAt() != 0; })) {
            press(false);
            return Fail(line, "sample " + std::to_string(i + 1) + " never arrived");
        }
        samples.push_back(Milliseconds(WatchedKeyDownAt() - start));
        WaitPumping(holdMs + gap);
        error = press(false);
        if (!error.empty()) return Fail(line, error);
        WaitPumping(holdMs + gap);
    }
    WatchKeyDown(0);
    TakeWindowMessages();
    Say(std::string("latency ") + what + ": " + Figures(samples, "presses"));
}

// Measured over the window alone, after a held key's first repeat, so that
// the figure is the cost of repeating rather than of waiting to repeat. The
// second figure sums every thread but the host's main one (the plug-in's
// helpers, SDL's and Wine's, and the session's watchdog), each listed.
void Session::JobCpu(const ScriptLine& line) {
    const std::vector<Token>& t = line.tokens;
    uint32_t ms = 0, key = 0;
    const bool held = t.size() == 5 && t[3].text == "held";
    if ((t.size() != 3 && !held) || !ParseUnsigned(t[2], ms) || ms == 0 ||
        (held && (!ParseUnsigned(t[4], key) || key < 1 || key > 255)))
        return Usage(line, "latency cpu MS [held KEY]");
    NoteCommand(line.number, JoinTokens(t, 0), ms + 5000);
    if (held) {
        const std::string error = SendPlayerKey(window_, key, false);
        if (!error.empty()) return Fail(line, error);
        WaitPumping(kFirstRepeatMs + 100);
    }
    ThreadTimes threads;
    std::string error = threads.Start();
    const LONGLONG start = Now();
    if (error.empty()) WaitPumping(ms);
    const double wall = Milliseconds(Now() - start);
    std::vector<ThreadTime> spent;
    if (error.empty()) error = threads.Stop(spent);
    if (held) {
        const std::string released = SendPlayerKey(window_, key, true);
        if (error.empty()) error = released;
        WaitPumping(200);
        TakeWindowMessages();
    }
    if (!error.empty()) return Fail(line, error);

    std::sort(spent.begin(), spent.end(),
              [](const ThreadTime& a, const ThreadTime& b) { return a.cpu > b.cpu; });
    auto share = [&](ULONGLONG cpu) { return Decimal(100.0 * static_cast<double>(cpu) / 1e4 / wall); };
    const ThreadTime* job = nullptr;
    std::string listed;
    ULONGLONG sum = 0;
    size_t named = 0;
    for (const ThreadTime& thread : spent) {
        sum += thread.cpu;
        if (thread.name == kJobThreadName) {
            job = &thread;
            ++named;
        }
        listed += (listed.empty() ? "" : ", ") +
                  (thread.name.empty() ? "thread " + std::to_string(thread.id) : thread.name) + " " +
                  share(thread.cpu) + " %";
    }
    if (named != 1)
        return Fail(line, std::to_string(named) + " threads are named " + kJobThreadName + " among " +
                              std::to_string(spent.size()) + " (" + listed + ")");
    const std::string head = std::string("latency cpu ") + (held ? "held" : "idle") + ": ";
    const std::string over = " % of a core over " + std::to_string(static_cast<long>(wall + 0.5)) + " ms";
    Say(head + share(job->cpu) + over + " (job thread)");
    Say(head + share(sum) + over + " (all " + std::to_string(spent.size()) +
        " threads but the host's main one: " + listed + ")");
}

// The button is held through the controller stand-in; the list starts with
// the press's own key-down, then the first repeat, then the rest.
void Session::RepeatTimes(const ScriptLine& line) {
    const std::vector<Token>& t = line.tokens;
    uint32_t button = 0, virtualKey = 0, ms = 0;
    if (t.size() != 5 || !ParseUnsigned(t[2], button) || !ParseUnsigned(t[3], virtualKey) ||
        !ParseUnsigned(t[4], ms) || virtualKey == 0 || virtualKey > 0xFE || ms == 0)
        return Usage(line, "latency repeat BUTTON VK MS");
    NoteCommand(line.number, JoinTokens(t, 0), ms + 5000);
    const std::string press = "button 1 " + std::to_string(button);
    TakeWindowMessages();
    WatchEveryKeyDown(virtualKey);
    const LONGLONG start = Now();
    std::string error = padLink_.Send(press + " 1");
    if (error.empty()) WaitPumping(ms);
    const std::vector<long long> at = TakeEveryKeyDown();
    WatchEveryKeyDown(0);
    const std::string released = padLink_.Send(press + " 0");
    if (error.empty()) error = released;
    WaitPumping(200);
    TakeWindowMessages();
    if (!error.empty()) return Fail(line, error);

    std::vector<double> arrivals;
    std::string listed;
    for (long long when : at) {
        arrivals.push_back(Milliseconds(when - start));
        listed += ' ';
        listed += Decimal(arrivals.back());
    }
    Say("latency repeat arrivals (ms since the press):" + (listed.empty() ? " none" : listed));
    if (arrivals.size() < 3)
        return Fail(line, std::to_string(arrivals.size()) + " key-downs of " + Hex(virtualKey) + " in " +
                              std::to_string(ms) + " ms, too few to time repeats");
    std::vector<double> gaps;
    for (size_t i = 2; i < arrivals.size(); ++i) gaps.push_back(arrivals[i] - arrivals[i - 1]);
    const double mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / static_cast<double>(gaps.size());
    Say("latency repeat: first key-down at " + Decimal(arrivals[0]) + " ms, first repeat at " +
        Decimal(arrivals[1]) + " ms; " + std::to_string(gaps.size()) + " gaps after it: mean " +
        Decimal(mean) + " ms, min " + Decimal(*std::min_element(gaps.begin(), gaps.end())) + " ms, max " +
        Decimal(*std::max_element(gaps.begin(), gaps.end())) + " ms");
}

}  // namespace simhost
