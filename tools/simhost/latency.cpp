// Latency as a player feels it, measured in the simulated host with the real
// plug-in: from a key the player lets go (or presses) to what the game then
// receives, the plug-in's key at the host window or the car's gear word, over
// many presses at uneven intervals so no pass period locks in step with them.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "host_window.h"
#include "session.h"

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
// latency sleep MS N: what Sleep(MS) really sleeps in this process, the
// plug-in's (the timer period decides it, not the number asked for).
void Session::Latency(const ScriptLine& line) {
    const std::vector<Token>& t = line.tokens;
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
        return Usage(line,
                     "latency key KEY VK N | latency gear KEY GEAR N | latency pad BUTTON VK N | "
                     "latency sleep MS N");
    if (pad) return PadLatency(line, key, target, count);
    uint32_t gearWord = 0;
    if (gear && !layout_.ResolveAddress("carObject+0x1100", gearWord)) return Fail(line, "no car object");
    NoteCommand(line.number, JoinTokens(t, 0), count * 400);
    std::vector<double> samples;
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < count; ++i) {
        // 20 to 59 ms between presses, never in step with the passes.
        seed = seed * 1103515245u + 12345u;
        const DWORD gap = 20 + (seed >> 16) % 40;
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
    NoteCommand(line.number, JoinTokens(line.tokens, 0), count * 400);
    const std::string press = "button 1 " + std::to_string(button);
    std::vector<double> samples;
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        const DWORD gap = 20 + (seed >> 16) % 40;
        WatchKeyDown(virtualKey);
        const LONGLONG start = Now();
        std::string error = padLink_.Send(press + " 1");
        if (!error.empty()) return Fail(line, error);
        const bool arrived = PumpUntil([] { return WatchedKeyDownAt() != 0; });
        if (!arrived) return Fail(line, "sample " + std::to_string(i + 1) + " never arrived");
        samples.push_back(Milliseconds(WatchedKeyDownAt() - start));
        // Held as a finger holds it, shorter than the first repeat.
        WaitPumping(60 + gap);
        error = padLink_.Send(press + " 0");
        if (!error.empty()) return Fail(line, error);
        WaitPumping(60 + gap);
    }
    WatchKeyDown(0);
    TakeWindowMessages();
    Say("latency pad: " + Figures(samples, "presses"));
}

}  // namespace simhost
