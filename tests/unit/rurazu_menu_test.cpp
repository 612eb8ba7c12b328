// The RurAzu pages' menu as a player uses it, through the main object and a
// running input job with a virtual wheel: binding by capture with its
// countdown and time-out, unbinding with Delete, the delay, and the switch.
#include <SDL3/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/setting_id.h"
#include "geargate/shifter_page.h"
#include "input/sdl_backend.h"
#include "platform/platform.h"
#include "platform/sim/sim_keyboard.h"
#include "platform/sim/sim_messages.h"
#include "platform/sim/sim_platform.h"
#include "platform/window_messages.h"
#include "plugin/kvt_control.h"
#include "rurazu/rurazu_pages.h"
#include "sdl_test_support.h"
#include "test_support.h"

namespace {
namespace offs = host_offsets;

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x7171;
constexpr int32_t kVkDelete = 0x2E;
// Combined menu positions: the root's three lines, then page 1's switch (3)
// and actions: Up 4, Enter 10.
constexpr int32_t kUpLine = 4;
constexpr int32_t kEnterLine = 10;

class RurAzuMenu : public ::testing::Test {
protected:
    void SetUp() override {
        kvt_test::ForgetProcessState();
        gameState = kvt_test::MakeGameState(arena, 1);
        platform::sim::SetTickCount(50000);
        scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[RurAzu]\nEnabled = true\n");
        wheel = kvt_test::AttachVirtualJoystick("KVT Wheel");
        control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
        ASSERT_NE(control, nullptr);
        // Hears every event after the pages, registered before the job runs
        // (the job's listeners do not change while it runs).
        Input::GetBackend().AddListener(&seen);
        // The host window in front, as the keys the page sends need.
        Host().hostWindow = kWindow;
        platform::sim::SetForegroundWindow(kWindow);
        control->GetPluginName();
        arena.WriteU32(gameState + offs::kGameModeField, 3);
        control->OnGameModeChange();
        ASSERT_TRUE(kvt_test::WaitFor([] { return Input::GetBackend().IsRunning(); }));
        // From here only the test moves the clock.
        platform::sim::SetSleepAdvancesClock(false);
        page = static_cast<KVTRurazuBase*>(control->children[0]);
        handle = SDL_OpenJoystick(wheel);
    }
    void TearDown() override {
        platform::sim::OwnHostWindow(false);
        platform::sim::SetSleepAdvancesClock(true);
        if (g_instance) g_instance->DeletingDestructor(1);
        Input::GetBackend().RemoveListener(&seen);
        if (handle) SDL_CloseJoystick(handle);
        SDL_Quit();
        Input::ResetBackendForTest();
        Config::ResetSettingsForTest();
        ResetCoreOnce();
        ResetHostLocations();
        platform::sim::SetAsyncKeyDown(kVkDelete, false);
    }

    void WaitUntilSettled(uint32_t started) {
        platform::sim::AdvanceTime(500);
        ASSERT_TRUE(kvt_test::WaitFor(
            [&] { return static_cast<int32_t>(Input::GetBackend().lastTick() - started) > 499; }));
    }
    void Select(int32_t line) {
        control->selectedIndex = line;
        control->HandlePluginInput(0, 0, 0, 0, 0, 1);
    }
    MenuItem* Line(int32_t line) { return control->ItemAt(line); }
    // Waits until the job's clock has passed the capture's settling time,
    // then presses a wheel button and waits for the capture to end.
    void PressWhenSettled(int button) {
        auto* shown = static_cast<KVTRurazuBase*>(control->CurrentPage());
        WaitUntilSettled(shown->capture.StartedAt());
        SDL_SetJoystickVirtualButton(handle, button, true);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return shown->capture.Waiting() == nullptr; }));
        SDL_SetJoystickVirtualButton(handle, button, false);
    }
    std::vector<std::string> Row(float y) {
        game.Clear();
        control->DrawPluginPage();
        return game.TextsAt(y);
    }

    kvt_test::ScratchGame scratch;
    platform::sim::HostArena arena{kBase, 0x1400000};
    uint32_t gameState = 0;
    kvt_test::RecordingGame game;
    SDL_JoystickID wheel = 0;
    SDL_Joystick* handle = nullptr;
    KVTControl* control = nullptr;
    KVTRurazuBase* page = nullptr;
    kvt_test::RecordingListener seen;
};

TEST_F(RurAzuMenu, SelectCountsDownAndThePressAfterHalfASecondBinds) {
    MenuItem* enter = Line(kEnterLine);
    ASSERT_EQ(enter->Name(), "Enter");
    Select(kEnterLine);
    ASSERT_EQ(page->capture.Waiting(), enter);
    const float y = 75 + 17 * 7;
    EXPECT_EQ(Row(y), (std::vector<std::string>{"Enter", "(Waiting 5 secs)"}));
    platform::sim::AdvanceTime(1000);
    EXPECT_EQ(Row(y), (std::vector<std::string>{"Enter", "(Waiting 4 secs)"}));
    control->HandlePluginInput(0, 0, 1, 0, 0, 0);
    EXPECT_EQ(control->selectedIndex, kEnterLine) << "the page swallows input while it captures";

    TheMenuBook().unsavedChanges = false;
    PressWhenSettled(2);
    EXPECT_EQ(enter->TextValue(), "#2 KVT Wheel");
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
    EXPECT_EQ(Row(y), (std::vector<std::string>{"Enter", "#2 KVT Wheel [menu]"}));
}

TEST_F(RurAzuMenu, NoPressForFiveSecondsKeepsTheOldBinding) {
    MenuItem* up = Line(kUpLine);
    up->SetValue("#1 KVT Wheel");
    Select(kUpLine);
    ASSERT_EQ(page->capture.Waiting(), up);
    platform::sim::AdvanceTime(4999);
    EXPECT_EQ(Row(92), (std::vector<std::string>{"Up", "(Waiting 1 secs)"}));
    platform::sim::AdvanceTime(1);
    EXPECT_EQ(Row(92), (std::vector<std::string>{"Up", "#1 KVT Wheel "}))
        << "the time-out draws the line again";
    EXPECT_EQ(page->capture.Waiting(), nullptr);
    Select(kUpLine);
    EXPECT_EQ(page->capture.Waiting(), nullptr) << "a new capture only 1000 ms after the last one ended";
    platform::sim::AdvanceTime(1001);
    Select(kUpLine);
    EXPECT_EQ(page->capture.Waiting(), up);
}

TEST_F(RurAzuMenu, DangerousActionsStartOutNeedingALongHold) {
    control->items[0]->SetValue("[2/4] RurAzu");
    const int32_t exitLine = 3 + 4;  // Ignition, Restart, Call for Help, Retire, Exit KVT
    MenuItem* exitKvt = Line(exitLine);
    ASSERT_EQ(exitKvt->Name(), "Exit KVT");
    exitKvt->delayMark = 0;
    Select(exitLine);
    PressWhenSettled(3);
    EXPECT_EQ(exitKvt->TextValue(), "#3 KVT Wheel");
    EXPECT_EQ(exitKvt->delayMark, 2u) << "bound for the first time: Long";

    exitKvt->delayMark = 0;
    platform::sim::AdvanceTime(1001);
    Select(exitLine);
    PressWhenSettled(4);
    EXPECT_EQ(exitKvt->delayMark, 0u) << "a re-binding keeps the player's delay";

    platform::sim::SetAsyncKeyDown(kVkDelete, true);
    control->HandlePluginInput(0, 0, 0, 0, 0, 0);
    platform::sim::SetAsyncKeyDown(kVkDelete, false);
    ASSERT_EQ(exitKvt->TextValue(), "");
    platform::sim::AdvanceTime(1001);
    Select(exitLine);
    PressWhenSettled(5);
    EXPECT_EQ(exitKvt->delayMark, 2u) << "after Delete it is a first binding again";
}

TEST_F(RurAzuMenu, DeleteHeldClearsTheSelectedBindingWithoutPendingChanges) {
    MenuItem* up = Line(kUpLine);
    up->SetValue("#1 KVT Wheel");
    control->selectedIndex = kUpLine;
    TheMenuBook().unsavedChanges = false;
    control->HandlePluginInput(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(up->TextValue(), "#1 KVT Wheel") << "Delete not held";
    platform::sim::SetAsyncKeyDown(kVkDelete, true);
    control->HandlePluginInput(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(up->TextValue(), "");
    EXPECT_FALSE(TheMenuBook().unsavedChanges);
}

// The button's own release never reaches a page that is off or a line that
// is empty: deleting the line and switching RurAzu off must let the key up.
TEST_F(RurAzuMenu, DeletingAHeldBindingOrSwitchingRurAzuOffLetsItsKeyUpThroughTheJob) {
    MenuItem* up = Line(kUpLine);
    std::vector<platform::sim::SentKey> keys;
    auto saw = [&](bool keyUp) {
        for (const auto& key : platform::sim::TakeSentKeys()) keys.push_back(key);
        for (const auto& key : keys)
            if (key.virtualKey == 0x26 && key.up == keyUp) return true;
        return false;
    };
    const std::function<void()> letGo[] = {
        [&] {
            control->selectedIndex = kUpLine;
            platform::sim::SetAsyncKeyDown(kVkDelete, true);
            control->HandlePluginInput(0, 0, 0, 0, 0, 0);
            platform::sim::SetAsyncKeyDown(kVkDelete, false);
            EXPECT_EQ(up->TextValue(), "");
        },
        [&] {
            control->selectedIndex = 3;  // the switch
            control->HandlePluginInput(0, 0, 0, 0, 1, 0);
            EXPECT_FALSE(g_settings->rurAzuEnabled);
        },
    };
    for (size_t way = 0; way < std::size(letGo); ++way) {
        up->SetValue("#1 KVT Wheel");
        keys.clear();
        platform::sim::TakeSentKeys();
        SDL_SetJoystickVirtualButton(handle, 1, true);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return saw(false); })) << "Up went down, way " << way;
        letGo[way]();
        EXPECT_TRUE(kvt_test::WaitFor([&] { return saw(true); }))
            << "the job let the held key up, way " << way;
        SDL_SetJoystickVirtualButton(handle, 1, false);
        // The next way's press must be a new one to the job.
        if (way + 1 < std::size(letGo))
            ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.Count("up #1 KVT Wheel") == way + 1; }));
    }
}

TEST_F(RurAzuMenu, RightRaisesTheDelayOfABoundLineUpToLong) {
    MenuItem* up = Line(kUpLine);
    control->selectedIndex = kUpLine;
    control->HandlePluginInput(0, 0, 0, 0, 1, 0);
    EXPECT_EQ(up->delayMark, 0u) << "an unbound line has no delay to change";
    up->SetValue("#1 KVT Wheel");
    for (uint32_t expected : {1u, 2u, 2u}) {
        control->HandlePluginInput(0, 0, 0, 0, 1, 0);
        EXPECT_EQ(up->delayMark, expected);
    }
    control->HandlePluginInput(0, 0, 0, 1, 0, 0);
    EXPECT_EQ(up->delayMark, 1u);
    EXPECT_EQ(Row(92), (std::vector<std::string>{"Up", "#1 KVT Wheel [=] "}));
    for (uint32_t expected : {0u, 0u}) {
        control->HandlePluginInput(0, 0, 0, 1, 0, 0);
        EXPECT_EQ(up->delayMark, expected) << "Left lowers to Instant and stays";
    }
}

TEST_F(RurAzuMenu, TypingROnABoundRowStepsItsRuleAndShowsIt) {
    MenuItem* up = Line(kUpLine);
    control->selectedIndex = kUpLine;
    auto status = [&] {
        game.Clear();
        control->DrawPluginPage();
        return game.calls.back().text;
    };
    EXPECT_EQ(status(), "Last input: none yet") << "no key to type on an unbound row";
    control->HandlePluginInput('r', 0, 0, 0, 0, 0);
    EXPECT_EQ(up->contextMark, 0u) << "an unbound row has no rule to change";
    EXPECT_FALSE(TheMenuBook().unsavedChanges);
    up->SetValue("#1 KVT Wheel");
    EXPECT_EQ(status(), "[R] Rule any/race/menu   Last input: none yet") << "the status line names R";
    const struct {
        char typed;
        uint32_t rule;
        const char* shown;
    } steps[] = {{'r', 1, "#1 KVT Wheel [race]"},
                 {'R', 2, "#1 KVT Wheel [menu]"},
                 {'x', 2, "#1 KVT Wheel [menu]"},
                 {'r', 0, "#1 KVT Wheel "}};
    for (const auto& step : steps) {
        control->HandlePluginInput(static_cast<uint8_t>(step.typed), 0, 0, 0, 0, 0);
        EXPECT_EQ(up->contextMark, step.rule) << step.typed;
        EXPECT_EQ(Row(92), (std::vector<std::string>{"Up", step.shown})) << step.typed;
    }
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
    control->HandlePluginInput('r', 0, 0, 0, 0, 0);
    g_settings->SaveAllSettings();
    EXPECT_EQ(g_settings->ini.GetInt("KeyBind", "RURAZU_UP_GAMEMODE", -1), 1) << "saved with the rest";
}

TEST_F(RurAzuMenu, TheStatusLineNamesTheLastInputAndTheMissingControllers) {
    auto status = [&] {
        game.Clear();
        control->DrawPluginPage();
        return game.calls.back().text;
    };
    EXPECT_EQ(status(), "Last input: none yet");
    SDL_SetJoystickVirtualButton(handle, 2, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return status() == "Last input: #2 KVT Wheel"; })) << status();
    SDL_SetJoystickVirtualButton(handle, 2, false);

    Line(kUpLine)->SetValue("#1 Gone Pad");
    Line(kUpLine + 1)->SetValue("H0.1 Gone Pad");
    Line(kUpLine + 2)->SetValue("A0>0 Gone Pedals");
    Line(kEnterLine)->SetValue("#1 KVT Wheel");
    // Switched off, GearGate's bindings do nothing: no need to plug its box in.
    ASSERT_FALSE(control->shifterPage->PageEnabled());
    control->shifterPage->FindItem(GEARGATE_GEAR_1)->SetValue("#1 Gone Shifter");
    EXPECT_EQ(status(), "Last input: #2 KVT Wheel   Not connected: Gone Pad, Gone Pedals")
        << "each missing one once, also one bound only through an axis, none of a switched-off page";
    // Too long for one line of the screen: the missing ones take their own,
    // a line further down, cut at a word.
    Line(kUpLine + 3)->SetValue("#1 Gone Wheel Base With A Rather Long Name And Its Edition");
    EXPECT_EQ(status(),
              "Not connected: Gone Pad, Gone Pedals, Gone Wheel Base With A Rather Long Name And...");
    const auto& above = game.calls[game.calls.size() - 2];
    EXPECT_EQ(above.text, "Last input: #2 KVT Wheel");
    EXPECT_EQ(game.calls.back().numbers[1], above.numbers[1] + 17);
    Line(kUpLine + 3)->SetValue("");

    // An axis is named once pushed past a quarter of its range from where it
    // rested when opened (0), as the text that would bind it; noise and a
    // touch name nothing.
    SDL_SetJoystickVirtualAxis(handle, 1, 1000);
    const size_t passes = seen.TickCount();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.TickCount() > passes + 1; }));
    SDL_SetJoystickVirtualAxis(handle, 1, 15000);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.Saw("axis 1 15000"); }));
    EXPECT_EQ(status().substr(0, 24), "Last input: #2 KVT Wheel");
    SDL_SetJoystickVirtualAxis(handle, 1, 20000);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return status().starts_with("Last input: A1>10000 KVT Wheel"); }))
        << status();
    // Pushed further it stays named as it was; the other axis has its own rest.
    SDL_SetJoystickVirtualAxis(handle, 1, 30000);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.Saw("axis 1 30000"); }));
    EXPECT_TRUE(status().starts_with("Last input: A1>10000 KVT Wheel")) << status();
    SDL_SetJoystickVirtualAxis(handle, 0, -20000);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return status().starts_with("Last input: A0<-10000 KVT Wheel"); }))
        << status();
    control->selectedIndex = 1;
    control->HandlePluginInput(0, 0, 0, 0, 0, 1);
    const std::string log = scratch.LogText();
    const std::string warning = "Warning. The bound controller \"Gone Pad\" is not connected";
    EXPECT_NE(log.find(warning), std::string::npos) << "a save names it in the log";
    EXPECT_EQ(log.find(warning), log.rfind(warning)) << "once";
}

TEST_F(RurAzuMenu, TypingKOnACustomRowTakesTheNextKeyboardKeyAsTheKeyItSends) {
    control->items[0]->SetValue("[2/4] RurAzu");
    auto* page2 = static_cast<KVTRurazuBase*>(control->children[1]);
    MenuItem* custom = control->FindItem(RURAZU_CUSTOM1);
    const auto at = std::find(page2->items.begin(), page2->items.end(), custom) - page2->items.begin();
    control->selectedIndex = 3 + static_cast<int32_t>(at);
    control->HandlePluginInput('k', 0, 0, 0, 0, 0);
    ASSERT_EQ(page2->capture.Waiting(), custom);
    WaitUntilSettled(page2->capture.StartedAt());
    // The status line names K while the custom row is selected.
    auto lastInput = [&] {
        game.Clear();
        control->DrawPluginPage();
        const std::string line = game.calls.back().text;
        const std::string hint = "[K] Key to send: type K, then the key   ";
        return line.starts_with(hint) ? line.substr(hint.size()) : "no K: " + line;
    };
    auto key = [](int index) {
        SDL_Event event{};
        event.type = SDL_EVENT_KEY_DOWN;
        event.key.scancode = static_cast<SDL_Scancode>(index);
        SDL_PushEvent(&event);
    };
    SDL_SetJoystickVirtualButton(handle, 1, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return lastInput() == "Last input: #1 KVT Wheel"; }));
    key(0x02);  // no virtual-key code here
    ASSERT_TRUE(kvt_test::WaitFor([&] { return lastInput() == "Last input: K2 Keyboard"; }));
    EXPECT_EQ(page2->capture.Waiting(), custom) << "only a keyboard key with a code ends it";
    key(0x11);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return page2->capture.Waiting() == nullptr; }));
    EXPECT_EQ(custom->extra, 'W');
    EXPECT_EQ(custom->TextValue(), "") << "the row's binding is another thing";
    lastInput();
    EXPECT_EQ(custom->Name(), "Custom1 (W)");
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
    g_settings->SaveAllSettings();
    EXPECT_EQ(g_settings->ini.GetString("KeyBind", "RURAZU_CUSTOM1_KEYCODE", ""), "W");
    SDL_SetJoystickVirtualButton(handle, 1, false);
}

TEST_F(RurAzuMenu, AnAxisPushedFarFromWhereItRestedBindsInThatDirection) {
    // Past a quarter of the range from where the axis rested binds it, with
    // the threshold halfway between the rest and the value reached; a touch
    // (noise) binds nothing. A centred stick binds either way, whichever side
    // of 0 its rest noise lies.
    const struct {
        const char* what;
        int axis;
        Sint16 rest;
        Sint16 touched;
        Sint16 pushed;
        const char* bound;
    } cases[] = {
        {"a pedal resting at the bottom", 0, -32768, -20000, -10000, "A0>-21384 KVT Wheel"},
        {"a pedal resting at the top", 0, 32767, 20000, 10000, "A0<21383 KVT Wheel"},
        {"a centred stick, up", 1, 0, 12000, 20000, "A1>10000 KVT Wheel"},
        {"a centred stick, down", 1, 0, -12000, -20000, "A1<-10000 KVT Wheel"},
        {"a stick resting just above 0, up", 1, 300, 12000, 17000, "A1>8650 KVT Wheel"},
        {"combined pedals resting just below 0, the brake side", 0, -150, -12000, -32768,
         "A0<-16459 KVT Wheel"},
    };
    auto wholePass = [&] {
        const size_t before = seen.TickCount();
        ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.TickCount() > before + 1; }));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // At rest before the capture starts (the move may be held back or
        // not move at all: a whole pass is the sign it was read).
        SDL_SetJoystickVirtualAxis(handle, c.axis, c.rest);
        ASSERT_NO_FATAL_FAILURE(wholePass());
        Select(kUpLine);
        ASSERT_EQ(page->capture.Waiting(), Line(kUpLine));
        // A whole pass after the start, in which the page noted where the
        // axes rest (the recorder's tick comes after the pages').
        const size_t passes = seen.TickCount();
        ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.TickCount() > passes + 1; }));
        WaitUntilSettled(page->capture.StartedAt());
        SDL_SetJoystickVirtualAxis(handle, c.axis, c.touched);
        // The recorder hears every event after the pages have.
        const std::string touched = "axis " + std::to_string(c.axis) + " " + std::to_string(c.touched);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.Saw(touched); }));
        EXPECT_EQ(page->capture.Waiting(), Line(kUpLine)) << "a touch does not bind";
        SDL_SetJoystickVirtualAxis(handle, c.axis, c.pushed);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return page->capture.Waiting() == nullptr; }));
        EXPECT_EQ(Line(kUpLine)->TextValue(), c.bound);
        // The player lets go: back at rest, the binding's hold-back ends.
        SDL_SetJoystickVirtualAxis(handle, c.axis, c.rest);
        ASSERT_NO_FATAL_FAILURE(wholePass());
        platform::sim::AdvanceTime(1100);  // past the gap before the next capture
    }
}

}  // namespace

namespace Input {
struct CaptureLockProbe {
    static kvt::Mutex& Of(BindingCapture& capture) { return capture.lock_; }
};
}  // namespace Input

namespace {
using Input::CaptureLockProbe;

// Every event asks every page's capture, and the menu's thread takes a
// capture's lock to start one: while none waits, a press must not wait for
// any of those locks.
TEST_F(RurAzuMenu, APressWhileNoCaptureWaitsNeverWaitsForACaptureLock) {
    Line(kUpLine)->SetValue("#1 KVT Wheel");
    Input::GetBackend().ConnectBoundDevices(false, false);
    platform::sim::TakeSentKeys();
    auto* page2 = static_cast<KVTRurazuBase*>(control->children[1]);
    auto* page3 = static_cast<KVTRurazuBase*>(control->children[2]);
    bool sent = false;
    {
        kvt::MutexLock first(CaptureLockProbe::Of(page->capture));
        kvt::MutexLock second(CaptureLockProbe::Of(page2->capture));
        kvt::MutexLock third(CaptureLockProbe::Of(page3->capture));
        kvt::MutexLock gearGate(CaptureLockProbe::Of(control->shifterPage->capture));
        SDL_SetJoystickVirtualButton(handle, 1, true);
        sent = kvt_test::WaitFor([] { return !platform::sim::TakeSentKeys().empty(); });
    }
    EXPECT_TRUE(sent) << "the press waited for a capture's lock";
    SDL_SetJoystickVirtualButton(handle, 1, false);
}

TEST_F(RurAzuMenu, SaveSettingsStillSavesWhileARurAzuPageIsShown) {
    Line(kUpLine)->SetValue("#1 KVT Wheel");
    Select(1);
    EXPECT_NE(scratch.ReadFile(scratch.pluginFolder() / "KVTControls.ini").find("RURAZU_UP = #1 KVT Wheel"),
              std::string::npos);
}

TEST_F(RurAzuMenu, SwitchingRurAzuOffClosesWhatNoBindingNeeds) {
    const SDL_JoystickID other = kvt_test::AttachVirtualJoystick("KVT Unbound Box");
    Line(kUpLine)->SetValue("#1 KVT Wheel");
    Input::GetBackend().ConnectBoundDevices(false, false);
    ASSERT_EQ(Input::GetBackend().OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel}));
    control->selectedIndex = 3;  // the switch
    control->HandlePluginInput(0, 0, 0, 0, 1, 0);
    EXPECT_FALSE(g_settings->rurAzuEnabled);
    EXPECT_TRUE(Input::GetBackend().OpenJoystickIds().empty()) << "a switched-off page needs nothing";
    control->HandlePluginInput(0, 0, 0, 0, 1, 0);
    EXPECT_TRUE(g_settings->rurAzuEnabled);
    EXPECT_EQ(Input::GetBackend().OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel}))
        << "switched on, only bound controllers open";
    SDL_DetachVirtualJoystick(other);
    Select(kEnterLine);
    EXPECT_NE(page->capture.Waiting(), nullptr);
}

// The job ends a capture and lets the pages go, which sends ignition off to
// the host window and waits for the host's thread; at that moment the player
// switches RurAzu off, which takes the device lock. Neither may wait for the
// other: the game would freeze.
TEST_F(RurAzuMenu, ACaptureEndingAsTheMenuSwitchesRurAzuOffFreezesNothing) {
    platform::sim::OwnHostWindow(true);
    Select(kUpLine);
    ASSERT_NE(page->capture.Waiting(), nullptr);
    WaitUntilSettled(page->capture.StartedAt());
    SDL_SetJoystickVirtualButton(handle, 2, true);
    ASSERT_TRUE(kvt_test::WaitFor(platform::sim::SendWaiting)) << "the job waits for this thread";
    control->selectedIndex = 3;  // the switch
    control->HandlePluginInput(0, 0, 0, 0, 1, 0);
    EXPECT_FALSE(g_settings->rurAzuEnabled);
    EXPECT_TRUE(kvt_test::WaitFor([] {
        platform::ServeSentMessages(10);
        return !platform::sim::SendWaiting();
    }));
    EXPECT_EQ(platform::sim::SendsGivenUp(), 0u) << "a send waited while its receiver waited for a lock";
    EXPECT_EQ(Line(kUpLine)->TextValue(), "#2 KVT Wheel");
}

// The key that binds must not also act: the keyboard, reconnected after the
// capture, reports the still-held key as a fresh press.
// The capture's end reopens the devices while its input is still down. A
// fresh keyboard shows that key down on Windows but not under Wine; a fresh
// controller may show its held button at its first read, or never (SDL's
// virtual one; DirectInput's under Wine), and then its release brings no
// event either. A real one may also send its first report late, held
// button included. Each way, the binding press acts nowhere and the next
// press acts.
TEST_F(RurAzuMenu, TheInputThatBindsActsOnlyOnceItWasReleased) {
    struct Way {
        const char* name;
        bool wineKeyboard;
        int button;  // -1: the keyboard's key 30
        const char* text;
        bool reopenedWheelShowsIt = false;
        bool lateFirstReport = false;  // shows it a pass after the reopen
    };
    const Way ways[] = {{"a key, shown down by the fresh keyboard", false, -1, "K30 Keyboard"},
                        {"a key the fresh keyboard never shows (Wine)", true, -1, "K30 Keyboard"},
                        {"a wheel button, shown down by the reopened wheel", false, 3, "#3 KVT Wheel", true},
                        {"a wheel button the reopened wheel never shows", false, 3, "#3 KVT Wheel"},
                        {"a wheel button the reopened wheel shows in a late first report", false, 3,
                         "#3 KVT Wheel", false, true}};
    auto nextPasses = [](int passes = 2) {  // the pass running now, and a whole one after it
        for (int pass = 0; pass < passes; ++pass) {
            const uint32_t before = Input::GetBackend().lastTick();
            platform::sim::AdvanceTime(100);
            ASSERT_TRUE(kvt_test::WaitFor([&] { return Input::GetBackend().lastTick() > before; }));
        }
    };
    // The wheel's button is set through a handle of its own each time, so
    // that only the job keeps the wheel open and its close at a capture's
    // end is a real one.
    SDL_CloseJoystick(handle);
    handle = nullptr;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        auto hold = [&](bool down) {
            if (way.button < 0) return platform::sim::SetKeyDown(30, down);
            SDL_Joystick* own = SDL_OpenJoystick(wheel);
            SDL_SetJoystickVirtualButton(own, way.button, down);
            // The late wheel also reports its hat with the press, read after
            // it but before the reopen: no report of the fresh wheel.
            if (way.lateFirstReport) SDL_SetJoystickVirtualHat(own, 0, down ? SDL_HAT_UP : SDL_HAT_CENTERED);
            SDL_CloseJoystick(own);
        };
        platform::sim::ResetKeyboard();
        platform::sim::SetAcquireHidesHeldKeys(way.wineKeyboard);
        platform::sim::AdvanceTime(Input::BindingCapture::kRestartGapMs + 1);
        Select(kUpLine);
        ASSERT_EQ(page->capture.Waiting(), Line(kUpLine));
        WaitUntilSettled(page->capture.StartedAt());
        platform::sim::TakeSentKeys();
        // A virtual wheel reports only what changed since it was read: set
        // again while the job has it closed, the held button is what the
        // reopened wheel's first read shows.
        seen.SetDisconnectHook([&] {
            if (way.reopenedWheelShowsIt) hold(true);
        });
        hold(true);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return page->capture.Waiting() == nullptr; }));
        EXPECT_EQ(Line(kUpLine)->TextValue(), way.text);
        if (way.lateFirstReport) {
            nextPasses(1);
            hold(true);
        }
        nextPasses();
        seen.SetDisconnectHook(nullptr);
        hold(false);
        nextPasses();
        EXPECT_TRUE(platform::sim::TakeSentKeys().empty()) << "binding the input tapped nothing";
        hold(true);
        nextPasses();
        hold(false);
        ASSERT_TRUE(kvt_test::WaitFor([] { return !platform::sim::TakeSentKeys().empty(); }))
            << "the next press acts";
    }
    platform::sim::ResetKeyboard();
}

// Pages hear the job's events in order, each asking only its own capture:
// the press that ends a capture must act on no page, an earlier one's
// binding of the same button included, nor toggle GearGate's type.
TEST_F(RurAzuMenu, ThePressThatEndsACaptureActsOnNoPage) {
    Line(kUpLine)->SetValue("#2 KVT Wheel");
    control->shifterPage->SetGearGateEnabled(true);
    control->shifterPage->FindItem(GEARGATE_TOGGLE_MODE)->SetValue("#2 KVT Wheel");
    g_settings->shifterType = 0;
    Input::GetBackend().ConnectBoundDevices(false, false);
    const struct {
        const char* page;
        int32_t line;  // Exit KVT on page 2, H-Pattern Gear 1 on page 3
        int32_t id;
    } captures[] = {{"[2/4] RurAzu", 7, RURAZU_EXIT_KVT}, {"[3/4] GearGate", 10, GEARGATE_GEAR_1}};
    for (const auto& c : captures) {
        SCOPED_TRACE(c.page);
        control->items[0]->SetValue(c.page);
        platform::sim::AdvanceTime(Input::BindingCapture::kRestartGapMs + 1);
        platform::sim::TakeSentKeys();
        platform::sim::TakeSentMessages();
        Select(c.line);
        MenuItem* line = control->CurrentPage()->FindItem(c.id);
        ASSERT_EQ(Line(c.line), line);
        WaitUntilSettled(platform::TickCount());
        SDL_SetJoystickVirtualButton(handle, 2, true);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return line->TextValue() == "#2 KVT Wheel"; }));
        const size_t passes = seen.TickCount();
        ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.TickCount() > passes + 1; }));
        const size_t ups = seen.Count("up #2 KVT Wheel");
        SDL_SetJoystickVirtualButton(handle, 2, false);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return seen.Count("up #2 KVT Wheel") > ups; }));
        EXPECT_TRUE(platform::sim::TakeSentKeys().empty()) << "page 1's Up acted on the binding press";
        EXPECT_EQ(g_settings->shifterType.load(), 0) << "the type toggled";
        // (The capture's end stops ignition, as every closing of the devices does.)
        const auto sent = platform::sim::TakeSentMessages();
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const auto& m) { return m.code == 0x2000u; }), 0)
            << "a gearbox message went out";
    }
}

// The job ending without the main object's end (a stop alone, the host
// closing, a failure) still lets go of every key and ignition it started.
TEST_F(RurAzuMenu, AJobEndingByItselfLetsGoOfKeysAndIgnition) {
    Line(kUpLine)->SetValue("#1 KVT Wheel");
    MenuItem* ignition = control->FindItem(RURAZU_IGNITION);
    ignition->SetValue("#3 KVT Wheel");
    ignition->contextMark = 0;
    platform::sim::TakeSentKeys();
    platform::sim::TakeSentMessages();
    SDL_SetJoystickVirtualButton(handle, 1, true);
    SDL_SetJoystickVirtualButton(handle, 3, true);
    ASSERT_TRUE(kvt_test::WaitFor([] { return !platform::sim::TakeSentMessages().empty(); }));
    Input::GetBackend().StopJob();
    const std::vector<platform::sim::SentKey> keys = platform::sim::TakeSentKeys();
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.back().virtualKey, 0x26);
    EXPECT_TRUE(keys.back().up) << "Up comes up";
    const std::vector<platform::sim::SentCopyData> sent = platform::sim::TakeSentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 6u);
    EXPECT_EQ(sent[0].data, (std::vector<uint8_t>{0, 0, 0, 0})) << "ignition off";
}

}  // namespace
