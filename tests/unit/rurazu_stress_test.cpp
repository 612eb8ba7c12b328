// The RurAzu engine on the job's thread against a player using the menu on
// the host's thread, for the thread checker (tsan preset) and the address
// checker alike: buttons and a hat bound to Instant, Short, Long and two-phase
// actions are pressed and released while the menu draws every page and the
// bars, changes delays, deletes and captures bindings, switches RurAzu off and
// on, and the host window loses and regains the front. Nothing may crash,
// hang or race, and once the player has let go no key the plug-in pressed
// may stay down, nor the ignition or a seat move run on.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/setting_id.h"
#include "core/vr_bridge.h"
#include "input/sdl_backend.h"
#include "platform/platform.h"
#include "platform/sim/sim_messages.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "rurazu/rurazu_pages.h"
#include "sdl_test_support.h"
#include "shared/vr_standin_link.h"
#include "test_support.h"

namespace {

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x6161;
constexpr int32_t kVkDelete = 0x2E;

TEST(RurAzuStress, EnginePlayerAndMenuTogetherLeaveNoKeyDown) {
    kvt_test::ForgetProcessState();
    kvt_test::ScratchGame scratch;
    platform::sim::HostArena arena(kBase, 0x1400000);
    const uint32_t state = kvt_test::MakeGameState(arena, 1);
    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[RurAzu]\nEnabled = true\n");
    const std::string vrPath = (scratch.root() / "Plugins" / "openKVTVR.dll").string();
    std::filesystem::copy_file(KVT_VR_STANDIN, vrPath);
    ResetVrBridge();
    kvt_test::VrStandInLink vr;
    ASSERT_TRUE(vr.Attach(vrPath, 2, 0));
    const SDL_JoystickID wheel = kvt_test::AttachVirtualJoystick("KVT Stress Wheel", 8, 1);
    SDL_Joystick* handle = SDL_OpenJoystick(wheel);
    kvt_test::RecordingGame game;
    auto* control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
    ASSERT_NE(control, nullptr);

    auto bind = [&](int32_t id, const char* text, uint32_t delay) {
        MenuItem* item = control->FindItem(id);
        item->SetValue(text);
        item->delayMark = delay;
        item->contextMark = 0;
    };
    bind(RURAZU_UP, "#0 KVT Stress Wheel", 0);
    bind(RURAZU_ENTER, "#1 KVT Stress Wheel", 1);
    bind(RURAZU_ESC, "#1 KVT Stress Wheel", 2);
    bind(RURAZU_PAGEUP, "#2 KVT Stress Wheel", 2);
    bind(RURAZU_IGNITION, "#3 KVT Stress Wheel", 0);
    bind(RURAZU_DOWN, "H0.1 KVT Stress Wheel", 0);
    bind(RURAZU_F9, "#4 KVT Stress Wheel", 1);
    bind(RURAZU_VR_MOVE_SEAT_UP, "#5 KVT Stress Wheel", 0);

    platform::sim::SetForegroundWindow(kWindow);
    control->GetPluginName();
    RefreshHostLocations();
    Host().hostWindow = kWindow;
    arena.WriteU32(state + host_offsets::kGameModeField, host_modes::kMenus);
    control->OnGameModeChange();
    ASSERT_TRUE(kvt_test::WaitFor([] { return Input::GetBackend().IsRunning(); }));
    platform::sim::TakeSentKeys();

    std::atomic<bool> playing{true};
    std::thread player([&] {
        for (int i = 0; playing; ++i) {
            for (int button = 0; button < 6; ++button)
                SDL_SetJoystickVirtualButton(handle, button, (i >> button) % 2 == 0);
            SDL_SetJoystickVirtualHat(handle, 0, i % 3 == 0 ? SDL_HAT_UP : SDL_HAT_CENTERED);
            std::this_thread::sleep_for(std::chrono::microseconds(400));
        }
        for (int button = 0; button < 6; ++button) SDL_SetJoystickVirtualButton(handle, button, false);
        SDL_SetJoystickVirtualHat(handle, 0, SDL_HAT_CENTERED);
    });

    const char* pages[] = {"[1/4] RurAzu", "[2/4] RurAzu", "[4/4] openKVTVR"};
    for (int round = 0; round < 1500; ++round) {
        control->items[0]->SetValue(pages[round % 3]);
        control->DrawPluginPage();
        control->DrawHoldProgress();
        control->items[0]->SetValue(pages[0]);
        control->selectedIndex = 4 + round % 4;  // Up, Down, Left, Right of page 1
        control->HandlePluginInput(0, 0, 0, round % 2, 1 - round % 2, 0);
        if (round % 50 == 7) {
            platform::sim::SetAsyncKeyDown(kVkDelete, true);
            control->HandlePluginInput(0, 0, 0, 0, 0, 0);
            platform::sim::SetAsyncKeyDown(kVkDelete, false);
            bind(RURAZU_UP, "#0 KVT Stress Wheel", 0);
            bind(RURAZU_DOWN, "H0.1 KVT Stress Wheel", 0);
        }
        if (round % 60 == 11) {
            platform::sim::AdvanceTime(1100);
            control->selectedIndex = 10;  // Enter: a capture
            control->HandlePluginInput(0, 0, 0, 0, 0, 1);
            platform::sim::AdvanceTime(5100);
            control->DrawPluginPage();  // its time-out, unless a press ended it
        }
        if (round % 70 == 13) {
            control->selectedIndex = 3;  // the switch: off, then on again
            control->HandlePluginInput(0, 0, 0, 0, 1, 0);
            control->HandlePluginInput(0, 0, 0, 0, 1, 0);
        }
        if (round % 40 == 19) platform::sim::SetForegroundWindow(round % 80 == 19 ? 0x999 : kWindow);
        game.Clear();
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    platform::sim::SetForegroundWindow(kWindow);
    playing = false;
    player.join();
    // Let the job see the releases, then close the game as the host does.
    const uint32_t settled = platform::TickCount() + 3000;
    ASSERT_TRUE(kvt_test::WaitFor([&] { return Input::GetBackend().lastTick() > settled; }));
    EXPECT_TRUE(Input::GetBackend().IsRunning());

    // Looked at before the game closes: closing lets go of everything anyway.
    std::map<uint16_t, bool> down;
    size_t keys = 0;
    for (const auto& key : platform::sim::TakeSentKeys()) {
        down[key.virtualKey] = !key.up;
        ++keys;
    }
    EXPECT_GT(keys, 0u) << "the player's presses reached the host";
    for (const auto& [key, isDown] : down)
        EXPECT_FALSE(isDown) << "key 0x" << std::hex << key << " left down";
    int32_t ignition = -1;
    for (const auto& sent : platform::sim::TakeSentMessages())
        if (sent.code == 6 && sent.data.size() == sizeof ignition)
            std::memcpy(&ignition, sent.data.data(), sizeof ignition);
    EXPECT_EQ(ignition, 0) << "the ignition was started and is off";
    const std::vector<kvt_test::VrCall> seat = vr.Calls(1 << 20);
    ASSERT_GT(seat.size(), 1u);
    EXPECT_EQ(seat.back(), (kvt_test::VrCall{32, 0, 0, 0})) << "the seat stopped";
    control->DeletingDestructor(1);

    SDL_CloseJoystick(handle);
    SDL_Quit();
    platform::sim::TakeSentMessages();
    Input::ResetBackendForTest();
    Config::ResetSettingsForTest();
    ResetCoreOnce();
    ResetHostLocations();
    vr.Release();
    ResetVrBridge();
}

}  // namespace
