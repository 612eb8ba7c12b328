// The RurAzu engine as a player feels it: a virtual pad's buttons and hat and
// pushed keyboard events go through the job's passes, run here on the test's
// thread against the controllable clock (25 ms a pass), and what reaches the
// host is read from the recorders: keys with their times, host commands,
// close requests and the hold bars.
#include <SDL3/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/setting_id.h"
#include "core/vr_bridge.h"
#include "input/sdl_backend.h"
#include "platform/modules.h"
#include "platform/platform.h"
#include "platform/sim/sim_messages.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "rurazu/rurazu_pages.h"
#include "sdl_test_support.h"
#include "shared/vr_standin.h"
#include "test_support.h"

namespace {
namespace offs = host_offsets;
using platform::sim::SentKey;

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x4242;
constexpr uint32_t kPass = 25;

struct Command {
    uint32_t code;
    int32_t value;  // -1 when the command carries no value
    bool operator==(const Command&) const = default;
};

class RurAzuEngine : public ::testing::Test {
protected:
    void SetUp() override {
        kvt_test::ForgetProcessState();
        ResetVrBridge();
        gameState = kvt_test::MakeGameState(arena, 1);
        platform::sim::SetTickCount(100000);
        platform::sim::SetSleepYields(false);
        platform::sim::SetForegroundWindow(kWindow);
        scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini",
                          "[RurAzu]\nEnabled = true\n[KeyBind]\nRURAZU_CUSTOM2_KEYCODE = F\n");
        pad = kvt_test::AttachVirtualJoystick("Test Pad", 8, 1);
        handle = SDL_OpenJoystick(pad);
        control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
        ASSERT_NE(control, nullptr);
        RefreshHostLocations();
        Host().hostWindow = kWindow;
        for (int p = 0; p < 3; ++p) job.AddListener(Page(p));
        job.RequestStart(kWindow);
        Pass();  // the first foreground test
        Drain();
    }
    void TearDown() override {
        for (int p = 0; p < 3; ++p) job.RemoveListener(Page(p));
        if (g_instance) g_instance->DeletingDestructor(1);
        if (handle) SDL_CloseJoystick(handle);
        SDL_Quit();
        platform::sim::SetSleepYields(true);
        platform::sim::SetForegroundWindow(0);
        Input::ResetBackendForTest();
        Config::ResetSettingsForTest();
        ResetCoreOnce();
        ResetHostLocations();
        ResetVrBridge();
    }

    KVTRurazuBase* Page(int index) { return dynamic_cast<KVTRurazuBase*>(control->children[index]); }
    MenuItem* Bind(int32_t id, const std::string& binding, uint32_t delay = 0, uint32_t rule = 0) {
        MenuItem* item = control->FindItem(id);
        EXPECT_NE(item, nullptr);
        item->SetValue(binding);
        item->delayMark = delay;
        item->contextMark = rule;
        return item;
    }
    void Mode(int32_t mode) { arena.WriteU32(gameState + offs::kGameModeField, mode); }
    uint32_t Pass(int count = 1) {
        for (int i = 0; i < count; ++i) job.RunPass();
        return job.lastTick();
    }
    void Button(int button, bool down) {
        SDL_SetJoystickVirtualButton(handle, button, down);
        Pass();
    }
    // Presses the button, runs passes until ms have gone by since the press
    // and lets go; returns the press's tick.
    uint32_t HoldButton(int button, uint32_t ms) {
        Button(button, true);
        const uint32_t t0 = job.lastTick();
        while (job.lastTick() - t0 < ms) Pass();
        Button(button, false);
        return t0;
    }
    void Hat(uint8_t value) {
        SDL_SetJoystickVirtualHat(handle, 0, value);
        Pass();
    }
    void Key(int scancode, bool down) {
        SDL_Event event{};
        event.type = down ? SDL_EVENT_KEY_DOWN : SDL_EVENT_KEY_UP;
        event.key.scancode = static_cast<SDL_Scancode>(scancode);
        SDL_PushEvent(&event);
        Pass();
    }
    void Drain() {
        platform::sim::TakeSentKeys();
        platform::sim::TakeSentMessages();
        platform::sim::TakePostedCloses();
    }
    std::vector<Command> Commands() {
        std::vector<Command> commands;
        for (const auto& sent : platform::sim::TakeSentMessages()) {
            int32_t value = -1;
            if (sent.data.size() == sizeof value) std::memcpy(&value, sent.data.data(), sizeof value);
            commands.push_back({sent.code, value});
        }
        return commands;
    }
    bool BarShown(int32_t id) {
        for (const HoldProgressSlot& slot : control->holdProgress.Slots())
            if (slot.actionId == id) return true;
        return false;
    }
    // Every key as "+XX@t" (down) or "-XX@t" (up), t relative to the origin.
    static std::vector<std::string> Keys(uint32_t origin) {
        std::vector<std::string> keys;
        for (const SentKey& key : platform::sim::TakeSentKeys()) {
            char text[32];
            std::snprintf(text, sizeof text, "%c%02X@%u", key.up ? '-' : '+', key.virtualKey,
                          key.tick - origin);
            keys.push_back(text);
        }
        return keys;
    }

    kvt_test::ScratchGame scratch;
    platform::sim::HostArena arena{kBase, 0x1400000};
    kvt_test::RecordingGame game;
    Input::SDLBackend job;
    KVTControl* control = nullptr;
    uint32_t gameState = 0;
    SDL_JoystickID pad = 0;
    SDL_Joystick* handle = nullptr;
};

TEST_F(RurAzuEngine, ControllerInstantKeyGoesDownAtOnceRepeatsFrom500MsAndComesUpOnce) {
    Bind(RURAZU_UP, "#0 Test Pad");
    const uint32_t t0 = HoldButton(0, 1000);
    std::vector<std::string> expected = {"+26@0"};
    for (uint32_t t = 500; t <= 1000; t += kPass) expected.push_back("+26@" + std::to_string(t));
    expected.push_back("-26@1025");
    EXPECT_EQ(Keys(t0), expected);
}

// A stock system rounds Sleep up to its timer period (15.6 ms) and steps
// its tick count by it, and a high-resolution timer may wake a little early
// by the performance counter: the repeats keep to every 25 ms, once a pass
// at a 25 ms pass, and a Short action fires within a pass of its time.
TEST_F(RurAzuEngine, OnAStockTimerRepeatsAndHoldsKeepTheirMilliseconds) {
    const struct {
        uint32_t pass;
        uint32_t timerEarlyUs;
    } rows[] = {{25, 300}, {5, 0}, {1, 300}};
    Bind(RURAZU_UP, "#0 Test Pad");
    Bind(RURAZU_ENTER, "#2 Test Pad", 1);
    for (const auto& row : rows) {
        SCOPED_TRACE("a pass of " + std::to_string(row.pass) + " ms");
        platform::sim::SetStockTimer(true, true, row.timerEarlyUs);
        g_settings->pollIntervalMs = static_cast<int32_t>(row.pass);
        platform::sim::AdvanceTime(1000);
        Pass();  // the foreground test, which takes the pass's length
        Drain();
        SDL_SetJoystickVirtualButton(handle, 0, true);
        Button(2, true);
        const uint32_t t0 = job.lastTick();
        while (job.lastTick() - t0 < 1000) Pass();
        std::vector<uint32_t> up, enter;
        for (const SentKey& key : platform::sim::TakeSentKeys())
            if (!key.up) (key.virtualKey == 0x26 ? up : enter).push_back(key.tick - t0);
        SDL_SetJoystickVirtualButton(handle, 0, false);
        Button(2, false);
        ASSERT_EQ(enter.size(), 1u);
        EXPECT_GE(enter[0], 775u);
        EXPECT_LE(enter[0], 775u + row.pass);
        ASSERT_GT(up.size(), 15u);
        EXPECT_EQ(up[0], 0u);
        EXPECT_GE(up[1] + rurazu_timing::kClockJitterMs, 500u);
        EXPECT_LE(up[1], 500u + row.pass);
        // Within half a pass of 25 ms (and the millisecond's cut): a pass
        // skipped at a 25 ms pass shows as 50.
        for (size_t i = 2; i < up.size(); ++i)
            EXPECT_LE(std::abs(int(up[i] - up[i - 1]) - 25), int(row.pass / 2 + 1)) << "repeat " << i;
    }
}

// Sleep(5) lasts a whole timer period on a stock system; the passes keep
// their 5 ms through a high-resolution timer, whatever their own work
// takes, and the log says once which way they wait.
TEST_F(RurAzuEngine, PassesKeepTheirLengthOnAStockTimerWhereAHighResolutionOneIsOffered) {
    g_settings->pollIntervalMs = 5;
    g_verboseLog = true;  // the timer's line; the warning is always written
    const struct {
        bool offered;
        uint32_t passesOf64;
        const char* logged;
    } ways[] = {{true, 320, "Input passes wait on a high-resolution timer"},
                {false, 1000,
                 "Warning. No high-resolution timer (refused by the simulated system): input passes wait "
                 "with Sleep"}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.logged);
        auto said = [&] {
            const std::string log = scratch.LogText();
            size_t count = 0;
            for (size_t at = log.find(way.logged); at != std::string::npos; at = log.find(way.logged, at + 1))
                ++count;
            return count;
        };
        const size_t saidBefore = said();
        platform::sim::SetStockTimer(true, way.offered);
        // Each pass's own work takes a millisecond; the period holds all the same.
        struct BusyPage : kvt_test::RecordingListener {
            void OnTick() override { platform::sim::AdvanceTime(1); }
        } busy;
        Input::SDLBackend fresh;
        fresh.AddListener(&busy);
        fresh.RequestStart(kWindow);
        fresh.RunPass();  // the foreground test, which takes the pass's length
        fresh.RunPass();
        const uint32_t start = fresh.lastTick();
        for (int i = 0; i < 64; ++i) fresh.RunPass();
        EXPECT_EQ(fresh.lastTick() - start, way.passesOf64);
        EXPECT_EQ(said(), saidBefore + 1);
    }
}

TEST_F(RurAzuEngine, KeyboardInstantKeyIsOneTapAtTheRelease) {
    Bind(RURAZU_UP, "K200 Keyboard");
    Key(200, true);
    const uint32_t t0 = job.lastTick();
    EXPECT_EQ(Keys(t0), std::vector<std::string>{}) << "nothing at the press";
    Pass(3);
    Key(200, false);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+26@100", "-26@125"}));
}

TEST_F(RurAzuEngine, KeyboardKeyHeldPastTheRepeatDelayRepeatsAndAddsOneDownAtTheRelease) {
    Bind(RURAZU_UP, "K200 Keyboard");
    Key(200, true);
    const uint32_t t0 = job.lastTick();
    Pass(21);  // t0 + 525
    Key(200, false);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+26@500", "+26@525", "+26@550", "-26@575"}));
}

TEST_F(RurAzuEngine, LongActionFiresOnceAfterItsHoldWithItsBarAndNothingAtTheRelease) {
    Bind(RURAZU_RESTART_STAGE, "#1 Test Pad", 2, 1);
    Button(1, true);
    const uint32_t t0 = job.lastTick();
    uint32_t firedAt = 0, barFrom = 0;
    while (job.lastTick() - t0 < 2000) {
        const uint32_t now = Pass();
        if (!barFrom && BarShown(RURAZU_RESTART_STAGE)) barFrom = now - t0;
        const std::vector<Command> commands = Commands();
        if (!commands.empty()) {
            EXPECT_EQ(commands, (std::vector<Command>{{3, -1}}));
            EXPECT_EQ(firedAt, 0u) << "fired twice";
            firedAt = now - t0;
            EXPECT_FALSE(BarShown(RURAZU_RESTART_STAGE)) << "the bar goes with the command";
        }
    }
    EXPECT_EQ(firedAt, 1525u);
    EXPECT_EQ(barFrom, 150u);
    Button(1, false);
    EXPECT_EQ(Commands(), std::vector<Command>{});
}

TEST_F(RurAzuEngine, LongActionReleasedEarlyDoesNothingAndClearsItsBar) {
    Bind(RURAZU_RESTART_STAGE, "#1 Test Pad", 2, 1);
    Button(1, true);
    Pass(40);  // one second
    EXPECT_TRUE(BarShown(RURAZU_RESTART_STAGE));
    Button(1, false);
    EXPECT_EQ(Commands(), std::vector<Command>{});
    EXPECT_FALSE(BarShown(RURAZU_RESTART_STAGE));
    EXPECT_FALSE(control->holdProgress.Visible());
}

TEST_F(RurAzuEngine, ShortAndLongOnOneButtonAreToldApartByTheHoldLength) {
    Bind(RURAZU_ENTER, "#2 Test Pad", 1);
    Bind(RURAZU_ESC, "#2 Test Pad", 2);
    // Released at 900 ms: the Short action, as a key tap at the release.
    uint32_t t0 = HoldButton(2, 875);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+0D@900", "-0D@925"}));
    // Held 2 s: the Short one is dropped at 1100 ms, the Long one fires at 1525 ms.
    Pass(40);
    t0 = HoldButton(2, 2000);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+1B@1525", "-1B@1525"}));
    // The same for a Long action on the first page (its first line) and a
    // Short one on the second.
    Bind(RURAZU_UP, "#4 Test Pad", 2);
    Bind(RURAZU_F1, "#4 Test Pad", 1);
    Pass(40);
    t0 = HoldButton(4, 2000);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+26@1525", "-26@1525"}));
    // An Instant action on the same button holds no delayed one back.
    Bind(RURAZU_UP, "#3 Test Pad", 0);
    Bind(RURAZU_DOWN, "#3 Test Pad", 1);
    Button(3, true);
    t0 = job.lastTick();
    while (job.lastTick() - t0 < 800) Pass();
    const std::vector<std::string> keys = Keys(t0);
    EXPECT_NE(std::find(keys.begin(), keys.end(), "+28@775"), keys.end()) << "Down fired on time";
}

TEST_F(RurAzuEngine, AnAxisActsAsAButtonWithItsDelaysAndLetsGoWhenUnplugged) {
    auto axis = [&](Sint16 value) {
        SDL_SetJoystickVirtualAxis(handle, 1, value);
        Pass();
    };
    // A Short Down and a Long Escape on one pedal past the middle: held 2 s,
    // only the Long one fires; a pedal resting near the threshold does not
    // chatter; back past it by a tenth of the range lets go.
    Bind(RURAZU_DOWN, "A1>0 Test Pad", 1);
    Bind(RURAZU_ESC, "A1>0 Test Pad", 2);
    axis(20000);
    uint32_t t0 = job.lastTick();
    while (job.lastTick() - t0 < 2000) axis(static_cast<Sint16>(20000 + (job.lastTick() % 2)));
    axis(-3000);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+1B@1525", "-1B@1525"})) << "-3000 is not yet back";
    axis(-7000);
    Bind(RURAZU_UP, "A1>0 Test Pad");
    Pass(40);
    axis(20000);
    t0 = job.lastTick();
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+26@0"})) << "Instant: down as it crosses";
    axis(-3000);
    axis(1000);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{})) << "no chatter around the threshold";
    SDL_DetachVirtualJoystick(pad);
    Pass();
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"-26@75"})) << "unplugged past its threshold: let go";
}

TEST_F(RurAzuEngine, ShortAndLongOnTwoButtonsHeldTogetherEachFireOnTime) {
    Bind(RURAZU_ENTER, "#2 Test Pad", 1);
    Bind(RURAZU_ESC, "#3 Test Pad", 2);
    SDL_SetJoystickVirtualButton(handle, 2, true);
    Button(3, true);
    const uint32_t t0 = job.lastTick();
    while (job.lastTick() - t0 < 1600) Pass();
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+0D@775", "-0D@775", "+1B@1525", "-1B@1525"}));
}

TEST_F(RurAzuEngine, BackspaceTapsEscapeOnlyInGameMode2) {
    Bind(RURAZU_BACK, "#3 Test Pad");
    Mode(2);
    Button(3, true);
    const uint32_t t0 = job.lastTick();
    Button(3, false);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+08@0", "+1B@0", "-1B@25", "-08@50"}));
    Mode(1);
    Button(3, true);
    const uint32_t t1 = job.lastTick();
    Button(3, false);
    EXPECT_EQ(Keys(t1), (std::vector<std::string>{"+08@0", "-08@25"}));
}

TEST_F(RurAzuEngine, IgnitionStartsInThePassOfThePressAndStopsAtTheRelease) {
    Bind(RURAZU_IGNITION, "#4 Test Pad", 0, 1);
    Button(4, true);
    EXPECT_EQ(Commands(), (std::vector<Command>{{6, 1}}));
    Pass(10);
    EXPECT_EQ(Commands(), std::vector<Command>{}) << "two-phase: nothing while held";
    Button(4, false);
    EXPECT_EQ(Commands(), (std::vector<Command>{{6, 0}}));
}

TEST_F(RurAzuEngine, CtrlSAndExitAreTheirOwnSequences) {
    Bind(RURAZU_LCTRL_S, "#5 Test Pad");
    Bind(RURAZU_EXIT_KVT, "#6 Test Pad");
    Button(5, true);
    const uint32_t t0 = job.lastTick();
    Button(5, false);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+A2@0", "+53@0", "-53@25", "-A2@25"}));
    Button(6, true);
    EXPECT_EQ(platform::sim::TakePostedCloses(), std::vector<uint32_t>{kWindow});
    Button(6, false);
    EXPECT_EQ(platform::sim::TakePostedCloses(), std::vector<uint32_t>{});
}

TEST_F(RurAzuEngine, InTheBackgroundNoKeyGoesOutButHostCommandsAndCloseDo) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Bind(RURAZU_IGNITION, "#4 Test Pad");
    Bind(RURAZU_EXIT_KVT, "#6 Test Pad");
    platform::sim::SetForegroundWindow(0x999);
    Pass(40);  // past the next foreground test
    ASSERT_FALSE(job.isForeground());
    Button(0, true);
    Pass(30);
    Button(0, false);
    EXPECT_EQ(Keys(0), std::vector<std::string>{});
    Button(4, true);
    Button(4, false);
    EXPECT_EQ(Commands(), (std::vector<Command>{{6, 1}, {6, 0}}));
    Button(6, true);
    EXPECT_EQ(platform::sim::TakePostedCloses(), std::vector<uint32_t>{kWindow});
}

TEST_F(RurAzuEngine, LosingTheForegroundReleasesAHeldKeyAtOnce) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Button(0, true);
    const uint32_t t0 = job.lastTick();
    platform::sim::SetForegroundWindow(0x999);
    while (job.isForeground()) Pass();
    const uint32_t lost = job.lastTick() - t0;
    std::vector<std::string> keys = Keys(t0);
    ASSERT_GE(keys.size(), 2u);
    EXPECT_EQ(keys.front(), "+26@0");
    EXPECT_EQ(keys.back(), "-26@" + std::to_string(lost)) << "up in the pass that saw the foreground go";
    for (size_t i = 0; i + 1 < keys.size(); ++i) EXPECT_EQ(keys[i][0], '+') << keys[i];
    Pass(3);
    Button(0, false);
    EXPECT_EQ(Keys(t0), std::vector<std::string>{}) << "nothing more: the action counts as released";
}

// The job looks at the foreground once a second; the player's other window
// must get no key in between, and what only the keyboard could stop (it is
// not read in the background) stops when the job sees the switch.
TEST_F(RurAzuEngine, SwitchingAwaySendsNoMoreKeysAndStopsWhatTheKeyboardStarted) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Bind(RURAZU_IGNITION, "K30 Keyboard");
    Bind(RURAZU_VR_MOVE_SEAT_UP, "#1 Test Pad");
    Button(0, true);
    const uint32_t t0 = job.lastTick();
    Key(30, true);
    EXPECT_EQ(Commands(), (std::vector<Command>{{6, 1}}));
    platform::sim::SetForegroundWindow(0x999);
    Pass(40);
    const std::vector<std::string> keys = Keys(t0);
    ASSERT_EQ(keys.size(), 2u) << "no repeat went to the other window";
    EXPECT_EQ(keys[0], "+26@0");
    EXPECT_EQ(keys[1].substr(0, 4), "-26@");
    EXPECT_EQ(Commands(), (std::vector<Command>{{6, 0}})) << "ignition stops with the switch";
}

// Up on the pad and a custom key sending Up on another button: letting go of
// one must not lift the key the other still holds.
TEST_F(RurAzuEngine, AKeyTwoBindingsHoldComesUpWhenTheLastLetsGo) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Bind(RURAZU_CUSTOM1, "#1 Test Pad")->extra = 0x26;
    Button(0, true);
    const uint32_t t0 = job.lastTick();
    Button(1, true);
    Button(0, false);
    Button(1, false);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+26@0", "+26@25", "-26@75"}));
}

TEST_F(RurAzuEngine, AKeyDownThatWentOutComesUpEvenDuringACapture) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Button(0, true);
    // A capture on another line stops new keys, not the key-up of this one.
    Page(0)->capture.Start(control->FindItem(RURAZU_DOWN), platform::TickCount(), job);
    Pass(30);
    Button(0, false);
    EXPECT_EQ(Keys(0).back().substr(0, 3), "-26");
}

TEST_F(RurAzuEngine, RemovingAControllerReleasesEverythingAndStopsTwoPhaseActions) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Button(0, true);
    const uint32_t t0 = job.lastTick();
    Keys(t0);
    SDL_DetachVirtualJoystick(pad);
    Pass();
    EXPECT_EQ(Keys(t0), std::vector<std::string>{"-26@25"});
    EXPECT_EQ(Commands(), (std::vector<Command>{{6, 0}})) << "ignition off, bound or not";
}

TEST_F(RurAzuEngine, ModeChangeReleasesAnActionItsRuleNoLongerAllows) {
    Bind(RURAZU_UP, "#0 Test Pad", 0, 1);
    Mode(1);
    Button(0, true);
    const uint32_t t0 = job.lastTick();
    Mode(3);
    Pass();
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+26@0", "-26@25"}));
    Button(0, false);
    EXPECT_EQ(Keys(t0), std::vector<std::string>{});
    Button(0, true);
    EXPECT_EQ(Keys(t0), std::vector<std::string>{}) << "a press in a menu is refused by the race rule";
}

TEST_F(RurAzuEngine, AHatReleasesTheDirectionItLeavesAndCentringReleasesEveryDirection) {
    Bind(RURAZU_UP, "H0.1 Test Pad");
    Bind(RURAZU_RIGHT, "H0.2 Test Pad");
    // Down, never pushed: every slide between other positions leaves it alone.
    Bind(RURAZU_IGNITION, "H0.4 Test Pad");
    Hat(SDL_HAT_UP);
    const uint32_t t0 = job.lastTick();
    Hat(SDL_HAT_RIGHTUP);  // sliding on: Up is no longer held, though nothing is bound here
    Hat(SDL_HAT_RIGHT);
    Pass(20);  // Right repeats from 500 ms on; Up, let go, never does
    EXPECT_EQ(Commands(), std::vector<Command>{}) << "no ignition-off for a direction never pushed";
    Hat(SDL_HAT_CENTERED);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+26@0", "-26@25", "+27@50", "+27@550", "-27@575"}));
}

TEST_F(RurAzuEngine, WithRurAzuOffNothingActs) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Bind(RURAZU_IGNITION, "#4 Test Pad");
    g_settings->rurAzuEnabled = false;
    Button(0, true);
    Button(4, true);
    Pass(30);
    EXPECT_EQ(Keys(0), std::vector<std::string>{});
    EXPECT_EQ(Commands(), std::vector<Command>{});
}

TEST_F(RurAzuEngine, CustomKeysSendTheirCodeAndNothingWithoutOne) {
    Bind(RURAZU_CUSTOM1, "#0 Test Pad");
    MenuItem* custom2 = Bind(RURAZU_CUSTOM2, "#1 Test Pad");
    EXPECT_EQ(custom2->Name(), "Custom2 (F)");
    Button(0, true);
    Pass();
    EXPECT_EQ(Keys(0), std::vector<std::string>{});
    KVTRurazuBase* page2 = Page(1);
    KVT_ASSERT_JOB_THREAD(job);  // this test runs the job's passes itself
    for (const PressState& record : page2->Engine().PressStates()) EXPECT_FALSE(record.pressed) << "disarmed";
    Button(0, false);
    Button(1, true);
    const uint32_t t0 = job.lastTick();
    Button(1, false);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+46@0", "-46@25"}));
}

// K on a custom row while its binding is held changes the row's key: the
// held press still lets go of the key it pressed, or that key stays down for
// good (another row holding the same key counts it as held).
TEST_F(RurAzuEngine, APressLetsGoOfTheKeyItPressedThoughItsRowsKeyChanged) {
    MenuItem* custom1 = Bind(RURAZU_CUSTOM1, "#1 Test Pad");
    MenuItem* custom2 = Bind(RURAZU_CUSTOM2, "#3 Test Pad");
    custom1->extra = 'Q';
    custom2->extra = 'Q';
    Button(1, true);
    const uint32_t t0 = job.lastTick();
    custom1->extra = 'W';
    Button(1, false);
    Button(3, true);
    Button(3, false);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+51@0", "-51@25", "+51@50", "-51@75"}));
}

TEST_F(RurAzuEngine, VrViewActionsTapTheConfigToolsKeys) {
    scratch.WriteFile(scratch.root() / "Plugins" / "KVTvrConfig.dll", "only looked for");
    Bind(RURAZU_VR_RESETVIEW, "#0 Test Pad");
    Bind(RURAZU_VR_TOGGLEDEBUG, "#1 Test Pad");
    Button(0, true);
    const uint32_t t0 = job.lastTick();
    Button(0, false);
    Button(1, true);
    EXPECT_EQ(Keys(t0), (std::vector<std::string>{"+2D@0", "-2D@25", "+6F@75", "-6F@100"}));
}

TEST_F(RurAzuEngine, ShortAndLongHostCommandsOnOneButtonFireOnceEach) {
    Bind(RURAZU_CALLFORHELP, "#7 Test Pad", 1);
    Bind(RURAZU_RETIRE_STAGE, "#7 Test Pad", 2);
    HoldButton(7, 875);
    const uint32_t released = job.lastTick();
    EXPECT_EQ(Commands(), (std::vector<Command>{{4, -1}})) << "Call for Help at the release";
    EXPECT_EQ(Pass() - released, kPass) << "a host command at a release stalls no pass";
    HoldButton(7, 2000);
    EXPECT_EQ(Commands(), (std::vector<Command>{{5, -1}})) << "held long: Retire Stage alone";
}

TEST_F(RurAzuEngine, AShortActionWaitingOnALongOneFiresOnceWhenTheLongOneLetsGo) {
    Bind(RURAZU_CALLFORHELP, "#7 Test Pad", 1, 0);
    Bind(RURAZU_RETIRE_STAGE, "#7 Test Pad", 2, 1);  // race only
    Mode(1);
    Button(7, true);
    const uint32_t t0 = job.lastTick();
    while (job.lastTick() - t0 < 800) Pass();
    Mode(3);  // the Long action's rule releases it; nothing holds the Short one back
    Pass(4);
    Button(7, false);
    EXPECT_EQ(Commands(), (std::vector<Command>{{4, -1}}));
}

TEST_F(RurAzuEngine, SeatMovesAskTheApiLevelOnceThenMoveWhileHeldAndViewActionsCallThePlugin) {
    const std::filesystem::path plugins = scratch.root() / "Plugins";
    std::filesystem::copy_file(KVT_VR_STANDIN, plugins / "openKVTVR.dll");
    ASSERT_EQ(DetectVrPlugin(), vr_states::kPlugin);
    platform::ModuleHandle standIn = platform::OpenModule((plugins / "openKVTVR.dll").string());
    ASSERT_NE(standIn, nullptr);
    auto answers = reinterpret_cast<kvt_test::VrStandInSetAnswers>(
        platform::FindModuleExport(standIn, kvt_test::kVrStandInAnswers));
    auto takeCalls = reinterpret_cast<kvt_test::VrStandInTakeCalls>(
        platform::FindModuleExport(standIn, kvt_test::kVrStandInTakeCalls));
    ASSERT_TRUE(answers && takeCalls);
    answers(2, 0);
    takeCalls(nullptr, 0);
    kvt_test::VrCall calls[8];
    // Each seat move, the first and the last too, stops when let go.
    bool first = true;
    const std::pair<int32_t, int32_t> moves[] = {
        {RURAZU_VR_MOVE_SEAT_FORWARD, 1}, {RURAZU_VR_MOVE_SEAT_LEFT, 4}, {RURAZU_VR_MOVE_SEAT_DOWN, 6}};
    for (const auto& [id, direction] : moves) {
        Bind(id, "#0 Test Pad");
        Button(0, true);
        Pass(5);
        Button(0, false);
        Bind(id, "");
        const int32_t count = takeCalls(calls, 8);
        std::vector<kvt_test::VrCall> expected{{32, 0, direction, 0}, {32, 0, 0, 0}};
        if (first) expected.insert(expected.begin(), kvt_test::VrCall{0, 0, 0, 0});
        first = false;
        EXPECT_EQ(std::vector<kvt_test::VrCall>(calls, calls + std::min(count, 8)), expected) << id;
    }
    Bind(RURAZU_VR_RESETVIEW, "#1 Test Pad");
    Bind(RURAZU_VR_TOGGLEDEBUG, "#2 Test Pad");
    for (int button : {1, 2}) {
        Button(button, true);
        Button(button, false);
    }
    const int32_t viewCount = takeCalls(calls, 8);
    EXPECT_EQ(std::vector<kvt_test::VrCall>(calls, calls + std::min(viewCount, 8)),
              (std::vector<kvt_test::VrCall>{{1, 0, 0, 0}, {2, 0, 0, 0}}))
        << "reset view, then the debug toggle, through the plug-in";
    platform::ReleaseModule(standIn);
}

TEST_F(RurAzuEngine, EveryPressRecordOfAPageReleasesWhenTheMenuAsks) {
    Bind(RURAZU_UP, "#0 Test Pad");
    Bind(RURAZU_DOWN, "#1 Test Pad", 1);
    Button(0, true);
    Button(1, true);
    Pass(8);
    const uint32_t t0 = job.lastTick();
    ASSERT_TRUE(BarShown(RURAZU_DOWN));
    Page(0)->OnDevicesDisconnected();
    EXPECT_EQ(Keys(t0).back().substr(0, 3), "-26");
    EXPECT_FALSE(BarShown(RURAZU_DOWN));
    Pass(40);
    EXPECT_EQ(Keys(t0), std::vector<std::string>{}) << "a released Short action does not fire later";
}

// The rules by the host's memory.
class RurAzuRules : public RurAzuEngine {
protected:
    bool Allowed(int32_t id, uint32_t rule, int32_t mode) {
        MenuItem* item = control->FindItem(id);
        item->contextMark = rule;
        Mode(mode);
        return ::RurAzuEngine::IsGameModeAllowed(*item);
    }
    void WriteStage(const char* name) {
        for (size_t i = 0; i <= std::strlen(name); ++i) {
            const uint32_t address = kBase + offs::kStageName + 2 * static_cast<uint32_t>(i);
            const uint32_t word = arena.ReadU32(address & ~3u);
            const uint32_t shift = (address & 2u) * 8;
            arena.WriteU32(address & ~3u,
                           (word & ~(0xFFFFu << shift)) | (uint32_t(uint8_t(name[i])) << shift));
        }
    }
};

TEST_F(RurAzuRules, TheRaceRuleIsModes1And10WithTheStageExceptions) {
    for (int32_t mode : {1, 10}) EXPECT_TRUE(Allowed(RURAZU_F1, 1, mode)) << mode;
    for (int32_t mode : {0, 2, 3, 8, 9, 13, 15}) EXPECT_FALSE(Allowed(RURAZU_F1, 1, mode)) << mode;
    EXPECT_TRUE(Allowed(RURAZU_RESTART_STAGE, 1, 2));
    EXPECT_FALSE(Allowed(RURAZU_RESTART_STAGE, 1, 8));
    EXPECT_TRUE(Allowed(RURAZU_RETIRE_STAGE, 1, 2));
    EXPECT_TRUE(Allowed(RURAZU_RETIRE_STAGE, 1, 8));
    EXPECT_FALSE(Allowed(RURAZU_RETIRE_STAGE, 1, 9));
    EXPECT_TRUE(Allowed(RURAZU_F1, 0, 77)) << "any time";
}

TEST_F(RurAzuRules, TheMenuRuleReadsTheHostInModes1_10And15) {
    for (int32_t mode : {2, 3, 8, 9}) EXPECT_TRUE(Allowed(RURAZU_ENTER, 2, mode)) << mode;
    for (int32_t mode : {0, 4, 13, 241}) EXPECT_FALSE(Allowed(RURAZU_ENTER, 2, mode)) << mode;

    const uint32_t object1 = arena.Allocate(0x100);
    const uint32_t object2 = arena.Allocate(0x100);
    arena.WriteU32(kBase + offs::kHostObject1, object1);
    arena.WriteU32(kBase + offs::kHostObject2, object2);
    Host().hostObject2 = 0;
    RefreshHostLocations();
    arena.WriteU32(object2 + 0x78, 1);
    WriteStage("Rally Yard 2");
    EXPECT_TRUE(Allowed(RURAZU_ENTER, 2, 1)) << "the yard, on foot";
    Host().hostObject1 = 0;
    EXPECT_FALSE(Allowed(RURAZU_ENTER, 2, 1)) << "no host object yet: no menu";
    Host().hostObject1 = object1;
    arena.WriteU32(object1 + 8, 1);
    EXPECT_FALSE(Allowed(RURAZU_ENTER, 2, 1));
    arena.WriteU32(object1 + 8, 0);
    arena.WriteU32(object2 + 0x78, 0);
    EXPECT_FALSE(Allowed(RURAZU_ENTER, 2, 1));
    arena.WriteU32(object2 + 0x78, 1);
    WriteStage("Rally Yarn");
    EXPECT_FALSE(Allowed(RURAZU_ENTER, 2, 1)) << "another stage";

    for (int32_t mode : {10, 15}) {
        arena.WriteU32(kBase + offs::kHostBlock + 0x130, 0);
        EXPECT_FALSE(Allowed(RURAZU_ENTER, 2, mode)) << mode;
        arena.WriteU32(kBase + offs::kHostBlock + 0x130, 1);
        EXPECT_TRUE(Allowed(RURAZU_ENTER, 2, mode)) << mode;
    }
}

}  // namespace

namespace {
TEST_F(RurAzuEngine, EveryPageIsTitledKvtRurAzuAndRegistersOnItsFirstNameCall) {
    for (int p = 0; p < 3; ++p) {
        Page(p)->backend = nullptr;
        EXPECT_STREQ(Page(p)->GetPluginName(), "KVT RurAzu");
        EXPECT_TRUE(Page(p)->listenerRegistered);
        EXPECT_EQ(Page(p)->backend, &Input::GetBackend());
    }
}
}  // namespace
