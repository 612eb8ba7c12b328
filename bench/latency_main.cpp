// How long a press takes to reach the game, as the input job's pass interval
// ([Main] PollIntervalMs) sets it: the job runs its passes on a thread of its
// own with the real clock, a virtual controller's button is pressed at a
// random moment, and the time until the plug-in sends the bound key (RurAzu,
// F9 on Instant) or writes the car's gear word (GearGate, gear 3) is taken,
// hundreds of times, at 25 and at 5 ms. Also the job thread's CPU time per
// second while nothing is pressed. The host's own leg (the key's way to the
// window) is not part of it.
//   kvt_latency [PRESSES]   (default 500 per interval and engine)
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_game.h"
#include "core/setting_id.h"
#include "platform/sim/sim_messages.h"
#include "rurazu/rurazu_pages.h"
#include "shifter_rig.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr uint16_t kVkF9 = 0x78;
constexpr auto kGiveUp = std::chrono::seconds(1);

uint64_t ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

// The job's loop on a thread of its own, as in the game, with the thread's
// CPU time kept after every pass.
class PassThread {
public:
    explicit PassThread(Input::SDLBackend& job)
        : thread_([this, &job] {
              const uint64_t start = ThreadCpuNs();
              while (!stop_ && job.RunPass()) cpuNs_ = ThreadCpuNs() - start;
          }) {}
    ~PassThread() {
        stop_ = true;
        thread_.join();
    }
    uint64_t CpuNs() const { return cpuNs_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> cpuNs_{0};
    std::thread thread_;
};

bool WaitUntil(const std::function<bool()>& done) {
    const auto end = Clock::now() + kGiveUp;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    return true;
}

bool KeySent(bool up) {
    for (const platform::sim::SentKey& key : platform::sim::TakeSentKeys())
        if (key.virtualKey == kVkF9 && key.up == up) return true;
    return false;
}

struct Figures {
    std::vector<double> ms;
    int lost = 0;
};

// Presses the button at a random point of the pass cycle, then takes the
// time until arrived() holds; released, waits for left().
Figures Measure(SDL_Joystick* handle, int button, int presses, uint32_t intervalMs,
                const std::function<bool()>& arrived, const std::function<bool()>& left) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(0, int(intervalMs) * 2000);
    Figures figures;
    for (int i = 0; i < presses; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        const auto pressed = Clock::now();
        SDL_SetJoystickVirtualButton(handle, button, true);
        if (WaitUntil(arrived))
            figures.ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
        else
            ++figures.lost;
        SDL_SetJoystickVirtualButton(handle, button, false);
        if (!WaitUntil(left)) ++figures.lost;
    }
    return figures;
}

void Print(const char* what, uint32_t intervalMs, Figures figures) {
    std::sort(figures.ms.begin(), figures.ms.end());
    const size_t n = figures.ms.size();
    auto at = [&](double share) { return n ? figures.ms[std::min(n - 1, size_t(share * double(n)))] : 0.0; };
    std::printf("%-22s %2u ms  n=%zu lost=%d  median %.2f  p95 %.2f  p99 %.2f  max %.2f ms\n", what,
                intervalMs, n, figures.lost, at(0.5), at(0.95), at(0.99), n ? figures.ms.back() : 0.0);
}

std::string PollSetting(uint32_t intervalMs) {
    return "[Main]\nPollIntervalMs = " + std::to_string(intervalMs) + "\n";
}

void RurAzuLatency(uint32_t intervalMs, int presses) {
    BenchGame game("[RurAzu]\nEnabled = true\n" + PollSetting(intervalMs), "Bench Wheel", 8);
    MenuItem* f9 = game.control->FindItem(RURAZU_F9);
    f9->SetValue("#0 Bench Wheel");
    f9->delayMark = 0;
    f9->contextMark = 0;
    for (int p = 0; p < 3; ++p) game.job.AddListener(dynamic_cast<KVTRurazuBase*>(game.control->children[p]));
    game.StartJob();
    platform::sim::TakeSentKeys();
    PassThread passes(game.job);
    // Idle first: the job thread's own cost with nothing pressed.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint64_t cpuBefore = passes.CpuNs();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::printf("idle job thread        %2u ms  %.0f us of CPU per second\n", intervalMs,
                double(passes.CpuNs() - cpuBefore) / 3000.0);
    Print("RurAzu press -> key", intervalMs,
          Measure(
              game.handle, 0, presses, intervalMs, [] { return KeySent(false); },
              [] { return KeySent(true); }));
}

void GearGateLatency(uint32_t intervalMs, int presses) {
    ShifterRig rig(PollSetting(intervalMs));
    PassThread passes(rig.job);
    // Button 2 is gear 3 (gear word 4); auto neutral writes 1 on letting go.
    Print("GearGate press -> gear", intervalMs,
          Measure(
              rig.handle, 2, presses, intervalMs, [&] { return rig.Gear() == 4; },
              [&] { return rig.Gear() == 1; }));
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    platform::sim::SetRealTime(true);
    for (uint32_t interval : {25u, 5u}) {
        RurAzuLatency(interval, presses);
        GearGateLatency(interval, presses);
    }
    return 0;
}
