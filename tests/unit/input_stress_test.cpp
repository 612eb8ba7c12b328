// Both threads at once, for the thread checker (the tsan preset) and the
// address checker alike: the job polls controllers a player keeps pressing,
// delivers events, ends captures and moves hold bars, while the host's thread
// connects and disconnects devices, draws the menu and the bars, and starts
// and abandons captures. Nothing may crash, hang or race, and every capture
// ends exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "config/setting.h"
#include "core/hold_progress.h"
#include "core/host_locations.h"
#include "core/menu_item.h"
#include "core/setting_id.h"
#include "input/binding_capture.h"
#include "platform/platform.h"
#include "platform/sim/sim_keyboard.h"
#include "platform/sim/sim_platform.h"
#include "rurazu/rurazu_pages.h"
#include "sdl_test_support.h"
#include "test_support.h"

namespace {

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x5151;

// A page whose capture and hold bar run on the job's thread.
class BusyPage : public KVTRurazu {
public:
    BusyPage(IHostGame* game, HoldProgressOverlay& overlay)
        : KVTRurazu(game, "[1/4] RurAzu", nullptr, nullptr), overlay_(overlay) {}
    void OnInputEvent(const SDL_Event& event) override {
        if (capture.OnInputEvent(event, *backend)) ++pressEnds;
    }
    void OnTick() override {
        ++ticks;
        overlay_.SetHoldProgress(RURAZU_ENTER, "Enter", 750, ticks % 4 == 0 ? 0 : (ticks % 1000) + 1);
    }
    Input::BindingCapture capture;
    std::atomic<int> pressEnds{0};
    std::atomic<uint32_t> ticks{0};

private:
    HoldProgressOverlay& overlay_;
};

TEST(InputStress, HostAndJobThreadsNeverTrip) {
    kvt_test::ScratchGame scratch;
    ResetHostLocations();
    platform::sim::HostArena arena(kBase, 0x1400000);
    kvt_test::MakeGameState(arena, 3);
    platform::sim::SetForegroundWindow(kWindow);
    platform::sim::ResetKeyboard();  // no key held from an earlier test
    Config::Setting settings;
    g_settings = &settings;
    kvt_test::RecordingGame game;
    HoldProgressOverlay overlay;
    BusyPage page(&game, overlay);
    MenuItem* up = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    MenuItem* enter = MenuItem::Binding(RURAZU_ENTER, "Enter", "", 0);
    page.items = {up, enter};
    enter->SetValue("#1 KVT Test Wheel");

    const SDL_JoystickID wheel = kvt_test::AttachVirtualJoystick("KVT Test Wheel");
    const SDL_JoystickID box = kvt_test::AttachVirtualJoystick("KVT Button Box");
    SDL_Joystick* wheelHandle = SDL_OpenJoystick(wheel);
    SDL_Joystick* boxHandle = SDL_OpenJoystick(box);
    {
        Input::SDLBackend backend;
        backend.AddListener(&page);
        backend.CreateThread();
        backend.RequestStart(kWindow);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return backend.IsRunning(); }));

        std::atomic<bool> playing{true};
        std::thread player([&] {
            for (int i = 0; playing; ++i) {
                SDL_SetJoystickVirtualButton(wheelHandle, 1, i % 2 == 0);
                SDL_SetJoystickVirtualHat(wheelHandle, 0, i % 3 == 0 ? SDL_HAT_RIGHT : SDL_HAT_CENTERED);
                SDL_SetJoystickVirtualButton(boxHandle, 0, i % 5 == 0);
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            }
        });

        int starts = 0, abandons = 0;
        for (int round = 0; round < 1000; ++round) {
            backend.ConnectBoundDevices(true, false);
            page.DrawMenuItems(0, 65, 37);
            backend.DisconnectAllDevices();
            overlay.DrawHoldProgress(&game, round % 2 == 0);
            backend.ConnectBoundDevices(false, false);
            if (round % 4 == 0) {
                platform::sim::AdvanceTime(1100);
                if (page.capture.Start(up, platform::TickCount(), backend)) ++starts;
                platform::sim::AdvanceTime(600);
            } else if (round % 4 == 3 && page.capture.Abandon(platform::TickCount(), backend)) {
                ++abandons;
            }
            game.Clear();
        }
        if (page.capture.Abandon(platform::TickCount(), backend)) ++abandons;
        playing = false;
        player.join();

        EXPECT_TRUE(backend.IsRunning()) << "the job kept running through it all";
        // The job counts a capture it ended just after ending it: only once
        // it has stopped are its counts complete.
        backend.StopJob();
        EXPECT_GT(page.ticks, 0u);
        EXPECT_GT(starts, 100);
        EXPECT_EQ(starts, abandons + page.pressEnds) << "every capture ended exactly once";
        EXPECT_EQ(page.capture.Waiting(), nullptr);
        const std::string captured = up->TextValue();
        EXPECT_TRUE(captured.empty() || captured == "#1 KVT Test Wheel" || captured == "#0 KVT Button Box" ||
                    captured == "H0.2 KVT Test Wheel")
            << captured;
        backend.RemoveListener(&page);
    }
    SDL_CloseJoystick(wheelHandle);
    SDL_CloseJoystick(boxHandle);
    SDL_Quit();
    g_settings = nullptr;
    ResetHostLocations();
}

}  // namespace
