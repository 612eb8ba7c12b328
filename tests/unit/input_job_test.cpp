// The input job with real SDL and virtual joysticks named like real wheels and
// button boxes, in a simulated host whose clock moves with the job's sleeps:
// start-up and its waits, the device policy, hot-plugging, events reaching
// the listeners as binding texts, the foreground throttle, and stopping.
#include <SDL3/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/menu_item.h"
#include "core/setting_id.h"
#include "input/binding_capture.h"
#include "input/binding_text.h"
#include "input/controller_swap.h"
#include "input/sdl_backend.h"
#include "platform/platform.h"
#include "platform/sim/sim_keyboard.h"
#include "platform/sim/sim_platform.h"
#include "rurazu/rurazu_pages.h"
#include "sdl_test_support.h"
#include "test_support.h"

namespace {
using Input::SDLBackend;
using kvt_test::RecordingListener;
using platform::sim::HostArena;
namespace offs = host_offsets;

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x4242;

class InputJob : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHostLocations();
        gameState = kvt_test::MakeGameState(arena, 3);
        platform::sim::SetForegroundWindow(kWindow);
        platform::sim::SetTickCount(100000);
        listener.bound = {"KVT Test Wheel"};
        backend.AddListener(&listener);
        backend.CreateThread();
    }
    void TearDown() override {
        backend.StopJob();
        g_settings = nullptr;  // a test's own settings object is gone with it
        for (SDL_Joystick* handle : handles) SDL_CloseJoystick(handle);
        SDL_Quit();
        ResetHostLocations();
    }

    void SetMode(int32_t mode) {
        arena.WriteU32(gameState + offs::kGameModeField, static_cast<uint32_t>(mode));
    }
    SDL_JoystickID Attach(const char* name) { return kvt_test::AttachVirtualJoystick(name); }
    // Settings a test may hand the job; they outlive it (TearDown stops it).
    Config::Setting shorterPolls;
    // The test's own handle to drive a virtual controller's inputs.
    SDL_Joystick* Handle(SDL_JoystickID id) {
        SDL_Joystick* handle = SDL_OpenJoystick(id);
        EXPECT_NE(handle, nullptr) << SDL_GetError();
        handles.push_back(handle);
        return handle;
    }
    void StartAndWait() {
        backend.RequestStart(kWindow);
        ASSERT_TRUE(kvt_test::WaitFor([this] { return backend.IsRunning(); }));
    }
    bool OpenedByJob(SDL_JoystickID id) {
        const auto ids = backend.OpenJoystickIds();
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }

    kvt_test::ScratchGame scratch;
    HostArena arena{kBase, 0x1400000};
    uint32_t gameState = 0;
    RecordingListener listener;
    SDLBackend backend;
    std::vector<SDL_Joystick*> handles;
};

// The same, with the verbose log on before the job's thread exists.
class VerboseInputJob : public InputJob {
protected:
    void SetUp() override {
        g_verboseLog = true;
        InputJob::SetUp();
    }
    void TearDown() override {
        InputJob::TearDown();
        g_verboseLog = false;
    }
};

TEST_F(VerboseInputJob, NothingHappensBeforeTheStartRequestAndAStopThenEndsItWithoutSdl) {
    for (int i = 0; i < 20; ++i) platform::SleepMs(1);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
    EXPECT_EQ(listener.TickCount(), 0u);
    EXPECT_FALSE(backend.IsRunning());
    backend.StopJob();  // the thread still waits for its start
    EXPECT_FALSE(backend.ThreadExists());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u) << "stopped before it started: no SDL";
    EXPECT_EQ(listener.TickCount(), 0u);
    const std::string log = scratch.LogText();
    EXPECT_NE(log.find("] Waiting the initialization event\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Initializing SDL subsystems"), std::string::npos);
    EXPECT_EQ(log.find("Thread ErrorCode="), std::string::npos);
    backend.RequestStart(kWindow);  // after the end: nothing waits for it any more
    EXPECT_FALSE(backend.IsRunning());
}

TEST_F(VerboseInputJob, TheVerboseLogFollowsTheJobFromRequestToEnd) {
    const SDL_JoystickID wheel = Attach("KVT Test Wheel");
    StartAndWait();
    backend.StopJob();
    const std::string log = scratch.LogText();
    const std::string id = std::to_string(wheel);
    size_t at = 0;
    for (const std::string& line :
         {std::string("Backend start request"), std::string("Send the initialization event"),
          std::string("Initializing SDL subsystems..."), std::string("Enabling joystick events"),
          std::string("Connecting binded joysticks. ForceConnect=0"), std::string("Detected 1 joysticks"),
          "JoyID" + id + " connection eventType " + std::to_string(SDL_EVENT_JOYSTICK_ADDED),
          "Connected joyID" + id + " KVT Test Wheel", std::string("Connecting binded keyboard keys"),
          std::string("SDL subsystems initialized"), std::string("SDL subsystems closing..."),
          std::string("SDL subsystems closed")}) {
        const size_t found = log.find("] " + line + "\r\n", at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
        at = found;
    }
}

TEST_F(InputJob, BoundDevicesOpenAtOnceButListenersWaitForTheHostsMenus) {
    const SDL_JoystickID wheel = Attach("KVT Test Wheel");
    const SDL_JoystickID box = Attach("KVT Button Box");
    SetMode(1);
    backend.RequestStart(kWindow);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return OpenedByJob(wheel); }));
    for (int i = 0; i < 50; ++i) platform::SleepMs(1);
    EXPECT_FALSE(backend.IsRunning());
    EXPECT_EQ(listener.TickCount(), 0u) << "no listener call before mode 3";
    EXPECT_FALSE(OpenedByJob(box)) << "no binding names the button box";

    const uint32_t menusAt = platform::TickCount();
    SetMode(3);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.TickCount() > 0; }));
    EXPECT_TRUE(backend.IsRunning());
    EXPECT_GE(listener.Ticks().front() - menusAt, 300u) << "and 300 ms more";
    EXPECT_EQ(backend.hostWindow(), kWindow);
}

TEST_F(InputJob, ButtonsAndHatsReachTheListenersAsBindingTexts) {
    const SDL_JoystickID wheel = Attach("KVT Test Wheel");
    StartAndWait();
    ASSERT_TRUE(OpenedByJob(wheel));
    SDL_Joystick* handle = Handle(wheel);
    SDL_SetJoystickVirtualButton(handle, 3, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("down #3 KVT Test Wheel"); }));
    SDL_SetJoystickVirtualButton(handle, 3, false);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("up #3 KVT Test Wheel"); }));
    SDL_SetJoystickVirtualHat(handle, 0, SDL_HAT_RIGHTUP);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("hat H0.3 KVT Test Wheel"); }));
    SDL_SetJoystickVirtualHat(handle, 0, SDL_HAT_CENTERED);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("hat H0.0 KVT Test Wheel"); }));
}

TEST_F(InputJob, HotPlugOpensOnlyBoundControllersAndClosesRemovedOnes) {
    StartAndWait();
    const SDL_JoystickID wheel = Attach("KVT Test Wheel");
    ASSERT_TRUE(kvt_test::WaitFor([&] { return OpenedByJob(wheel); }));
    const SDL_JoystickID box = Attach("KVT Button Box");
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Count("added") >= 2; }));
    EXPECT_FALSE(OpenedByJob(box));

    // Two controllers that report the same name act as one device: both open.
    const SDL_JoystickID twin = Attach("KVT Test Wheel");
    ASSERT_TRUE(kvt_test::WaitFor([&] { return OpenedByJob(twin); }));
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel, twin}));

    ASSERT_TRUE(SDL_DetachVirtualJoystick(wheel));
    ASSERT_TRUE(kvt_test::WaitFor([&] { return !OpenedByJob(wheel); }));
    EXPECT_EQ(SDL_GetJoystickFromID(wheel), nullptr) << "closed, not just forgotten";
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{twin}));
    EXPECT_TRUE(listener.Saw("removed"));
}

// Unplugged and plugged back quicker than SDL rescans: SDL reports nothing,
// keeps the id, and its handle keeps the button held. Windows' own word lets
// it go and opens it anew; its twin on the same name is left alone.
TEST_F(InputJob, AControllerWindowsSawGoAndComeBackIsLetGoAndOpenedAnewThoughSdlSawNothing) {
    const SDL_JoystickID wheel = Attach("KVT Test Wheel"), twin = Attach("KVT Test Wheel");
    StartAndWait();
    SDL_Joystick* handle = Handle(wheel);
    SDL_SetJoystickVirtualButton(handle, 3, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("down #3 KVT Test Wheel"); }));
    char path[64];
    std::snprintf(path, sizeof path, R"(\\?\HID#VID_1209&PID_%04X#7&1a&0&0000#{4d1e55b2})",
                  SDL_GetJoystickProductForID(wheel));
    platform::sim::NoteDeviceChange(false, path);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("removed"); }));
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{twin}));
    SDL_SetJoystickVirtualButton(handle, 3, false);
    platform::sim::NoteDeviceChange(true, path);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return OpenedByJob(wheel); }));
    EXPECT_TRUE(listener.Saw("added"));
    SDL_SetJoystickVirtualButton(handle, 3, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Count("down #3 KVT Test Wheel") == 2; }));
}

TEST(DeviceChange, NamesAControllerByItsPathElseByVendorAndProduct) {
    constexpr const char* kAt = R"(\\?\HID#VID_1209&PID_0001#7&1a&0&0000#{4d1e55b2})";
    const struct {
        const char* changed;
        const char* own;
        uint16_t vendor, product;
        bool names;
    } cases[] = {
        {kAt, R"(\\?\hid#vid_1209&pid_0001#7&1a&0&0000#{4d1e55b2})", 0x1209, 1, true},
        {kAt, R"(\\?\HID#VID_1209&PID_0001#7&2b&0&0000#{4d1e55b2})", 0x1209, 1, false},  // its twin
        {kAt, nullptr, 0x1209, 1, true},
        {kAt, "XInput#0", 0x1209, 1, true},
        {kAt, nullptr, 0x1209, 2, false},
        {kAt, nullptr, 0x1208, 1, false},
        {R"(\\?\HID#VID_12&PID_1)", nullptr, 0x12, 1, false},
        {R"(\\?\ROOT#SYSTEM#0000)", nullptr, 0, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Input::DeviceChangeNames(c.changed, c.own, c.vendor, c.product), c.names)
            << c.changed << " / " << (c.own ? c.own : "no path") << " " << c.vendor << ":" << c.product;
}

TEST_F(InputJob, PolicyForcesEverythingOpenForACaptureAndDisconnectsAll) {
    const SDL_JoystickID wheel = Attach("KVT Test Wheel");
    const SDL_JoystickID box = Attach("KVT Button Box");
    StartAndWait();
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel}));

    backend.ConnectBoundDevices(true, false);
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel, box}));
    backend.ConnectBoundDevices(false, false);
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel, box})) << "never closes";

    backend.DisconnectAllDevices();
    EXPECT_TRUE(backend.OpenJoystickIds().empty());
    EXPECT_EQ(listener.Disconnects(), 1);
    backend.ConnectBoundDevices(false, false);
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel}));

    // With no listener nothing is opened, even when forced.
    SDLBackend alone;
    alone.ConnectBoundDevices(true, true);
    EXPECT_TRUE(alone.OpenJoystickIds().empty());
}

TEST_F(InputJob, BackgroundPassesComeEveryHalfSecondAndForegroundOnesAsTheSettingsSay) {
    StartAndWait();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.TickCount() > 5; }));
    platform::sim::SetForegroundWindow(0x999);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return !backend.isForeground(); }));
    const size_t before = listener.TickCount();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.TickCount() > before + 4; }));
    auto ticks = listener.Ticks();
    for (size_t i = before + 1; i < ticks.size(); ++i) EXPECT_EQ(ticks[i] - ticks[i - 1], 500u) << i;

    platform::sim::SetForegroundWindow(kWindow);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return backend.isForeground(); }));
    const size_t back = listener.TickCount();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.TickCount() > back + 4; }));
    ticks = listener.Ticks();
    for (size_t i = back + 1; i < ticks.size(); ++i) EXPECT_EQ(ticks[i] - ticks[i - 1], 25u) << i;

    // A player's shorter [Main] PollIntervalMs takes over at the next
    // foreground check.
    shorterPolls.pollIntervalMs = 5;
    g_settings = &shorterPolls;
    ASSERT_TRUE(kvt_test::WaitFor([&] {
        ticks = listener.Ticks();
        return ticks.size() > 2 && ticks.back() - ticks[ticks.size() - 2] == 5;
    }));
    const size_t shorter = listener.TickCount();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.TickCount() > shorter + 4; }));
    ticks = listener.Ticks();
    for (size_t i = shorter; i < ticks.size(); ++i) EXPECT_EQ(ticks[i] - ticks[i - 1], 5u) << i;
}

TEST_F(InputJob, TheHostShuttingDownEndsTheJobWithoutAStop) {
    StartAndWait();
    arena.WriteU32(gameState + offs::kRunningField, 0);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return !backend.IsRunning(); }));
    ASSERT_TRUE(kvt_test::WaitFor([] { return SDL_WasInit(SDL_INIT_JOYSTICK) == 0; })) << "SDL shut down";
    const size_t ticks = listener.TickCount();
    backend.StopJob();
    EXPECT_EQ(listener.TickCount(), ticks);
    EXPECT_EQ(scratch.LogText().find("Thread ErrorCode="), std::string::npos);
}

// A page that captures bindings with the shared rule; its lines decide which
// devices stay open afterwards.
class CapturePage : public KVTRurazu {
public:
    CapturePage() : KVTRurazu(nullptr, "[1/4] RurAzu", nullptr, nullptr) {}
    bool OnCaptureEvent(const SDL_Event& event) override {
        if (!capture.OnInputEvent(event, *backend)) return false;
        ++captures;
        return true;
    }
    Input::BindingCapture capture;
    std::atomic<int> captures{0};
};

TEST_F(InputJob, ACaptureOpensEveryDeviceAndTakesTheFirstSettledPress) {
    Config::Setting settings;
    g_settings = &settings;
    CapturePage page;
    MenuItem* up = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    page.items.push_back(up);
    backend.RemoveListener(&listener);
    backend.AddListener(&page);
    const SDL_JoystickID wheel = Attach("KVT Test Wheel");
    const SDL_JoystickID box = Attach("KVT Button Box");
    StartAndWait();
    EXPECT_TRUE(backend.OpenJoystickIds().empty()) << "nothing is bound yet";

    const uint32_t started = platform::TickCount();
    ASSERT_TRUE(page.capture.Start(up, started, backend));
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel, box}));
    EXPECT_FALSE(page.capture.Start(up, started + 5000, backend)) << "one capture at a time";
    SDL_Joystick* boxHandle = Handle(box);
    SDL_SetJoystickVirtualButton(boxHandle, 1, true);  // the select key's bounce, too early
    auto since = [&] { return static_cast<int32_t>(backend.lastTick() - started); };
    ASSERT_TRUE(kvt_test::WaitFor([&] { return since() > 200; }));
    SDL_SetJoystickVirtualButton(boxHandle, 1, false);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return since() > 499; }));
    EXPECT_EQ(*up->Text(), "") << "a press within 499 ms of the start is ignored";
    SDL_SetJoystickVirtualButton(boxHandle, 1, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return page.captures == 1; }));
    EXPECT_EQ(*up->Text(), "#1 KVT Button Box");
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
    EXPECT_EQ(page.capture.Waiting(), nullptr);
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{box})) << "only what is bound now";

    const uint32_t ended = page.capture.StartedAt();
    EXPECT_FALSE(page.capture.Start(up, ended + 1000, backend)) << "not within 1000 ms of the last end";
    ASSERT_TRUE(page.capture.Start(up, ended + 1001, backend));
    EXPECT_TRUE(page.capture.Abandon(ended + 1500, backend));
    EXPECT_FALSE(page.capture.Abandon(ended + 1600, backend)) << "a capture ends once";
    EXPECT_EQ(*up->Text(), "#1 KVT Button Box");
    EXPECT_EQ(page.captures, 1);

    // A hat pushed to a position ends a capture; a centred hat does not.
    SDL_Joystick* wheelHandle = Handle(wheel);
    const uint32_t again = page.capture.StartedAt() + 2000;
    platform::sim::SetTickCount(again);
    ASSERT_TRUE(page.capture.Start(up, again, backend));
    ASSERT_TRUE(kvt_test::WaitFor([&] { return static_cast<int32_t>(backend.lastTick() - again) > 499; }));
    SDL_SetJoystickVirtualHat(wheelHandle, 0, SDL_HAT_LEFT);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return page.captures == 2; }));
    EXPECT_EQ(*up->Text(), "H0.8 KVT Test Wheel");
    const uint32_t third = page.capture.StartedAt() + 2000;
    platform::sim::SetTickCount(third);
    ASSERT_TRUE(page.capture.Start(up, third, backend));
    ASSERT_TRUE(kvt_test::WaitFor([&] { return static_cast<int32_t>(backend.lastTick() - third) > 499; }));
    SDL_SetJoystickVirtualHat(wheelHandle, 0, SDL_HAT_CENTERED);
    const uint32_t centred = backend.lastTick();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return static_cast<int32_t>(backend.lastTick() - centred) >= 100; }));
    EXPECT_EQ(page.capture.Waiting(), up) << "a centred hat is no press";
    EXPECT_TRUE(page.capture.Abandon(platform::TickCount(), backend));

    backend.StopJob();
    backend.RemoveListener(&page);
    g_settings = nullptr;
}

// The host's thread may start a capture at any moment, also while the job
// is ending another (here: from inside that end, after the end was claimed
// and before the devices are reopened). It must wait for the gap after that
// end, not measure it from the old start.
struct GapProbe {
    Input::BindingCapture* capture = nullptr;
    Input::SDLBackend* backend = nullptr;
    MenuItem* other = nullptr;
    std::atomic<int> started{-1};
};
GapProbe g_gap;

class GapPage : public KVTRurazu {
public:
    GapPage() : KVTRurazu(nullptr, "[1/4] RurAzu", nullptr, nullptr) {}
    bool OnCaptureEvent(const SDL_Event& event) override {
        return capture.OnInputEvent(event, *backend, [](MenuItem&) {
            g_gap.started = g_gap.capture->StartKeyCode(g_gap.other, platform::TickCount(), *g_gap.backend);
        });
    }
    Input::BindingCapture capture;
};

TEST_F(InputJob, NoCaptureStartsInTheMidstOfAnothersEnd) {
    Config::Setting settings;
    g_settings = &settings;
    GapPage page;
    MenuItem* up = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    MenuItem* custom = MenuItem::Binding(RURAZU_CUSTOM1, "Custom1", "", 0);
    page.items.push_back(up);
    page.items.push_back(custom);
    g_gap.capture = &page.capture;
    g_gap.backend = &backend;
    g_gap.other = custom;
    backend.RemoveListener(&listener);
    backend.AddListener(&page);
    const SDL_JoystickID box = Attach("KVT Button Box");
    StartAndWait();
    const uint32_t started = platform::TickCount();
    ASSERT_TRUE(page.capture.Start(up, started, backend));
    // Well past both the settling time and the gap after that start.
    platform::sim::SetTickCount(started + 1500);
    ASSERT_TRUE(
        kvt_test::WaitFor([&] { return static_cast<int32_t>(backend.lastTick() - started) >= 1500; }));
    SDL_SetJoystickVirtualButton(Handle(box), 1, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return g_gap.started != -1; }));
    EXPECT_EQ(g_gap.started, 0) << "a capture started between the claim of an end and its stamp";
    EXPECT_TRUE(kvt_test::WaitFor([&] { return up->TextValue() == "#1 KVT Button Box"; }));
    EXPECT_EQ(page.capture.Waiting(), nullptr);
    backend.StopJob();
    backend.RemoveListener(&page);
    g_settings = nullptr;
}

// The keyboard is read only while a binding names it and the host window is
// in front; a keyboard binding shows the key's name once the job runs.
TEST_F(InputJob, KeysReachTheListenersOnlyWhenBoundAndInFront) {
    platform::sim::ResetKeyboard();
    platform::sim::SetKeyName(30, u"A");
    listener.bound = {"Keyboard"};
    StartAndWait();
    platform::sim::SetKeyDown(30, true);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("keydown K30 Keyboard"); }));
    platform::sim::SetKeyDown(30, false);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("keyup K30 Keyboard"); }));

    platform::sim::SetForegroundWindow(0x999);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return !backend.isForeground(); }));
    const int readsBehind = platform::sim::KeyboardCallCounts().stateReads;
    const size_t ticks = listener.TickCount();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.TickCount() > ticks + 3; }));
    EXPECT_EQ(platform::sim::KeyboardCallCounts().stateReads, readsBehind) << "no reads while behind";
    platform::sim::SetForegroundWindow(kWindow);

    // Once no binding names it, the keyboard is let go and read no more.
    listener.bound.clear();  // read by the policy on this thread; no joystick comes or goes here
    backend.ConnectBoundDevices(false, false);
    const auto counts = platform::sim::KeyboardCallCounts();
    EXPECT_EQ(counts.devicesReleased, counts.devicesCreated);
    platform::sim::SetKeyDown(31, true);
    const size_t after = listener.TickCount();
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.TickCount() > after + 3; }));
    EXPECT_FALSE(listener.Saw("keydown K31 Keyboard"));
    platform::sim::ResetKeyboard();
}

TEST(BindingDisplay, AKeyboardBindingShowsItsKeyNameWhileTheJobRuns) {
    kvt_test::ScratchGame scratch;
    ResetHostLocations();
    platform::sim::HostArena arena(kBase, 0x1400000);
    kvt_test::MakeGameState(arena, 3);
    platform::sim::ResetKeyboard();
    platform::sim::SetKeyName(30, u"A");
    Input::ResetBackendForTest();
    // The page's keyboard binding makes the job connect the keyboard, and
    // only a keyboard that was connected once can name its keys.
    KVTRurazu page(nullptr, "[1/4] RurAzu", nullptr, nullptr);
    MenuItem* up = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    page.items.push_back(up);
    up->SetValue("K30 Keyboard");
    EXPECT_EQ(up->DisplayText(), "K30 Keyboard") << "before the job runs: the stored text";

    SDLBackend& job = Input::GetBackend();
    job.AddListener(&page);
    job.CreateThread();
    job.RequestStart(kWindow);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return job.IsRunning(); }));
    EXPECT_EQ(up->DisplayText(), "K30 Keyboard A");
    EXPECT_EQ(up->ValueText(), "K30 Keyboard A ") << "the name, then the (empty) marks";
    up->SetValue("K31 Keyboard");
    EXPECT_EQ(up->DisplayText(), "K31 Keyboard") << "a key without a name shows its text";
    job.StopJob();
    up->SetValue("K30 Keyboard");
    EXPECT_EQ(up->DisplayText(), "K30 Keyboard") << "a stopped job names no keys";
    job.RemoveListener(&page);
    Input::ResetBackendForTest();
    ResetHostLocations();
}

// The device policy acts only for a running job (or its own start-up), and
// one change of the device set at a time.
TEST_F(InputJob, DeviceChangesWaitForTheJobAndForEachOther) {
    const SDL_JoystickID wheel = Attach("KVT Test Wheel");
    Input::BindingCapture capture;
    MenuItem* up = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    std::unique_ptr<MenuItem> owned(up);
    EXPECT_TRUE(capture.Start(up, platform::TickCount(), backend));
    EXPECT_TRUE(backend.OpenJoystickIds().empty()) << "a capture before the job runs opens nothing";
    EXPECT_TRUE(capture.Abandon(platform::TickCount(), backend));

    StartAndWait();
    EXPECT_EQ(backend.OpenJoystickIds(), (std::vector<SDL_JoystickID>{wheel}));
    EXPECT_EQ(scratch.LogText().find("Failed to find any joystick devices"), std::string::npos);
    for (int which = 0; which < 2; ++which) {
        std::atomic<bool> done{false};
        Input::g_deviceLock.Lock();
        std::thread change([&] {
            if (which == 0) {
                backend.DisconnectAllDevices();
            } else {
                backend.ConnectBoundDevices(true, false);
            }
            done = true;
        });
        for (int i = 0; i < 50 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(done) << "a change waits while another holds the device lock";
        Input::g_deviceLock.Unlock();
        change.join();
        EXPECT_TRUE(done);
    }
}

// A page that says yes to an added controller a moment before the menu
// switches it off: the switch-off must not be undone by the open after it.
class SlowToAnswer : public RecordingListener {
public:
    bool IsJoystickBound(SDL_JoystickID) override {
        if (!binds) return false;
        answered = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return true;
    }
    std::atomic<bool> binds{true};
    std::atomic<bool> answered{false};
};

TEST_F(InputJob, AControllerAddedAsItsPageIsSwitchedOffStaysClosed) {
    SlowToAnswer page;
    backend.AddListener(&page);
    StartAndWait();
    const SDL_JoystickID box = Attach("KVT Late Box");
    ASSERT_TRUE(kvt_test::WaitFor([&] { return page.answered.load(); }));
    page.binds = false;
    backend.DisconnectAllDevices();
    backend.ConnectBoundDevices(false, false);
    ASSERT_TRUE(kvt_test::WaitFor([&] { return listener.Saw("added"); }));
    EXPECT_FALSE(OpenedByJob(box));
    backend.StopJob();
    backend.RemoveListener(&page);
}

// A listener that throws ends the job, not the host.
class ThrowingListener : public RecordingListener {
public:
    void OnTick() override { throw std::runtime_error("a page broke"); }
};

TEST_F(InputJob, AnExceptionInAPageEndsTheJobButNeverLeavesItsThread) {
    ThrowingListener throwing;
    backend.AddListener(&throwing);
    backend.RequestStart(kWindow);
    ASSERT_TRUE(kvt_test::WaitFor([&] {
        return scratch.LogText().find("] ERROR. The backend job failed. Exception: a page broke\r\n") !=
               std::string::npos;
    }));
    EXPECT_FALSE(backend.IsRunning());
    backend.StopJob();
    EXPECT_NE(scratch.LogText().find("] Thread ErrorCode=-1\r\n"), std::string::npos);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u) << "what the job started of SDL is shut down";
    backend.RemoveListener(&throwing);
}

// A page answers for its devices only while it is switched on.
TEST(PageListener, APageBindsTheDevicesItsLinesNameWhileSwitchedOn) {
    std::atomic<bool> on{true};
    KVTRurazu page(nullptr, "[1/4] RurAzu", &on, nullptr);
    EXPECT_FALSE(page.IsDeviceBound("Keyboard")) << "no line names it";
    MenuItem* up = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    page.items.push_back(up);
    up->SetValue("K30 Keyboard");
    EXPECT_TRUE(page.IsDeviceBound("Keyboard"));
    EXPECT_FALSE(page.IsDeviceBound("Keyboard 2"));
    on = false;
    EXPECT_FALSE(page.IsDeviceBound("Keyboard")) << "a switched-off page binds nothing";
}

TEST_F(InputJob, NoControllerAtAllIsAlwaysReported) {
    StartAndWait();
    EXPECT_NE(
        scratch.LogText().find("] Warning. Failed to find any joystick devices. Please connect controls "
                               "before booting up KVT if this plugin fails to recognize a control\r\n"),
        std::string::npos)
        << "not only in the verbose log";
}

TEST(BindingText, FormatsEachKindAndCutsLongNames) {
    Input::BindingTexts texts;
    SDL_Event key{};
    key.type = SDL_EVENT_KEY_DOWN;
    key.key.scancode = static_cast<SDL_Scancode>(30);
    EXPECT_STREQ(texts.Make(key), "K30 Keyboard");
    key.type = SDL_EVENT_KEY_UP;
    EXPECT_STREQ(texts.Make(key), "K30 Keyboard");
    SDL_Event axis{};
    axis.type = SDL_EVENT_JOYSTICK_AXIS_MOTION;
    EXPECT_STREQ(texts.Make(axis), "") << "axes are never bound";

    ASSERT_TRUE(SDL_Init(SDL_INIT_JOYSTICK));
    const std::string longName = "Button Box " + std::string(200, 'x');
    SDL_VirtualJoystickDesc desc;
    SDL_INIT_INTERFACE(&desc);
    desc.nbuttons = 4;
    desc.nhats = 1;
    desc.name = "Pro Rally Wheel";
    const SDL_JoystickID wheel = SDL_AttachVirtualJoystick(&desc);
    desc.name = longName.c_str();
    const SDL_JoystickID box = SDL_AttachVirtualJoystick(&desc);
    SDL_Event added{};
    added.type = SDL_EVENT_JOYSTICK_ADDED;
    added.jdevice.which = wheel;
    EXPECT_STREQ(texts.Make(added), "") << "a device event is no binding (and must not fill the cache)";
    SDL_Joystick* wheelHandle = SDL_OpenJoystick(wheel);
    SDL_Joystick* boxHandle = SDL_OpenJoystick(box);
    SDL_Event button{};
    button.type = SDL_EVENT_JOYSTICK_BUTTON_DOWN;
    button.jbutton.which = wheel;
    button.jbutton.button = 0;
    EXPECT_STREQ(texts.Make(button), "#0 Pro Rally Wheel");
    button.jbutton.which = box;
    EXPECT_EQ(std::string(texts.Make(button)), ("#0 " + longName).substr(0, 127));
    button.jbutton.which = wheel;
    EXPECT_STREQ(texts.Make(button), "#0 Pro Rally Wheel") << "a new device is a new text";
    SDL_Event hat{};
    hat.type = SDL_EVENT_JOYSTICK_HAT_MOTION;
    hat.jhat.which = wheel;
    hat.jhat.value = SDL_HAT_RIGHT;
    EXPECT_STREQ(texts.Make(hat), "H0.2 Pro Rally Wheel");
    hat.jhat.value = SDL_HAT_LEFTDOWN;
    EXPECT_STREQ(texts.Make(hat), "H0.12 Pro Rally Wheel");
    EXPECT_STREQ(texts.ControllerName(wheel), "Pro Rally Wheel");
    EXPECT_EQ(Input::GetJoystickNameById(wheel), "Pro Rally Wheel");
    EXPECT_EQ(DevicePart("#0 Pro Rally Wheel"), "Pro Rally Wheel") << "the name keeps its spaces";
    EXPECT_EQ(DevicePart("K30"), "");
    SDL_CloseJoystick(wheelHandle);
    SDL_CloseJoystick(boxHandle);
    SDL_Quit();
}

TEST(BindingText, EventsPressAndReleaseTheBindingsTheyName) {
    using Input::BindingMatch;
    Input::BindingTexts texts;
    auto MatchBinding = [&](std::string_view binding, const SDL_Event& event) {
        return texts.Match(Input::ReadBinding(binding), event);
    };
    ASSERT_TRUE(SDL_Init(SDL_INIT_JOYSTICK));
    SDL_VirtualJoystickDesc desc;
    SDL_INIT_INTERFACE(&desc);
    desc.nbuttons = 4;
    desc.nhats = 2;
    desc.name = "Rally Wheel";
    const SDL_JoystickID wheel = SDL_AttachVirtualJoystick(&desc);
    desc.name = "Pro Rally Wheel";
    const SDL_JoystickID other = SDL_AttachVirtualJoystick(&desc);
    SDL_Joystick* handles[] = {SDL_OpenJoystick(wheel), SDL_OpenJoystick(other)};

    SDL_Event event{};
    event.type = SDL_EVENT_JOYSTICK_BUTTON_DOWN;
    event.jbutton.which = wheel;
    event.jbutton.button = 2;
    EXPECT_EQ(MatchBinding("#2 Rally Wheel", event), BindingMatch::Press);
    EXPECT_EQ(MatchBinding("#2 Pro Rally Wheel", event), BindingMatch::None);
    EXPECT_EQ(MatchBinding("#2 Rally", event), BindingMatch::None) << "the whole name, not a part";
    event.type = SDL_EVENT_JOYSTICK_BUTTON_UP;
    EXPECT_EQ(MatchBinding("#2 Rally Wheel", event), BindingMatch::Release);
    EXPECT_EQ(MatchBinding("", event), BindingMatch::None) << "unbound";

    event = SDL_Event{};
    event.type = SDL_EVENT_JOYSTICK_HAT_MOTION;
    event.jhat.which = wheel;
    event.jhat.hat = 1;
    event.jhat.value = SDL_HAT_RIGHTUP;
    EXPECT_EQ(MatchBinding("H1.3 Rally Wheel", event), BindingMatch::Press);
    EXPECT_EQ(MatchBinding("H1.1 Rally Wheel", event), BindingMatch::Release)
        << "a diagonal is its own position: the hat left Up";
    EXPECT_EQ(MatchBinding("H0.1 Rally Wheel", event), BindingMatch::None) << "another hat";
    event.jhat.value = SDL_HAT_CENTERED;
    for (const char* released : {"H1.1 Rally Wheel", "H1.3 Rally Wheel", "H1.8 Rally Wheel"})
        EXPECT_EQ(MatchBinding(released, event), BindingMatch::Release) << released;
    for (const char* kept :
         {"H0.1 Rally Wheel", "H1.1 Pro Rally Wheel", "H11.1 Rally Wheel", "#1 Rally Wheel"})
        EXPECT_EQ(MatchBinding(kept, event), BindingMatch::None) << kept;

    SDL_Event key{};
    key.type = SDL_EVENT_KEY_UP;
    key.key.scancode = static_cast<SDL_Scancode>(57);
    EXPECT_EQ(MatchBinding("K57 Keyboard", key), BindingMatch::Release);
    SDL_Event axis{};
    axis.type = SDL_EVENT_JOYSTICK_AXIS_MOTION;
    axis.jaxis.which = wheel;
    EXPECT_EQ(MatchBinding("#0 Rally Wheel", axis), BindingMatch::None);
    // An axis as a button: past its threshold it presses, back by a tenth of
    // the range it releases, in between nothing.
    const struct {
        const char* binding;
        int axis;
        int value;
        BindingMatch expected;
    } axes[] = {
        {"A2>0 Rally Wheel", 2, 100, BindingMatch::Press},
        {"A2>0 Rally Wheel", 2, -6000, BindingMatch::None},
        {"A2>0 Rally Wheel", 2, -7000, BindingMatch::Release},
        {"A2>0 Rally Wheel", 1, 100, BindingMatch::None},
        {"A2>0 Pro Rally Wheel", 2, 100, BindingMatch::None},
        {"A0<-16384 Rally Wheel", 0, -20000, BindingMatch::Press},
        {"A0<-16384 Rally Wheel", 0, -16384, BindingMatch::None},
        {"A0<-16384 Rally Wheel", 0, -9831, BindingMatch::None},
        {"A0<-16384 Rally Wheel", 0, -9000, BindingMatch::Release},
        {"A9>19999 Rally Wheel", 9, 20000, BindingMatch::Press},
        {"A2 Rally Wheel", 2, 100, BindingMatch::None},
        {"A2>x Rally Wheel", 2, 100, BindingMatch::None},
        {"A2=0 Rally Wheel", 2, 100, BindingMatch::None},
        {"A2>99999999 Rally Wheel", 2, 100, BindingMatch::None},
    };
    for (const auto& row : axes) {
        axis.jaxis.axis = static_cast<Uint8>(row.axis);
        axis.jaxis.value = static_cast<Sint16>(row.value);
        EXPECT_EQ(MatchBinding(row.binding, axis), row.expected) << row.binding << " at " << row.value;
    }
    event = SDL_Event{};
    event.type = SDL_EVENT_JOYSTICK_BUTTON_DOWN;
    event.jbutton.which = wheel;
    event.jbutton.button = 2;
    for (const char* never : {"#02 Rally Wheel", "#2x Rally Wheel", "#2"})
        EXPECT_EQ(MatchBinding(never, event), BindingMatch::None) << never << ": a text no input makes";

    // A controller whose name its binding texts cut: its hat's centring and
    // its axis act on the cut texts too.
    const std::string longName = "Button Box " + std::string(200, 'x');
    desc.name = longName.c_str();
    SDL_Joystick* box = SDL_OpenJoystick(SDL_AttachVirtualJoystick(&desc));
    event = SDL_Event{};
    event.type = SDL_EVENT_JOYSTICK_HAT_MOTION;
    event.jhat.which = SDL_GetJoystickID(box);
    event.jhat.value = SDL_HAT_UP;
    const std::string hatText = texts.Make(event);
    EXPECT_EQ(MatchBinding(hatText, event), BindingMatch::Press);
    event.jhat.value = SDL_HAT_CENTERED;
    EXPECT_EQ(MatchBinding(hatText, event), BindingMatch::Release) << "a held hat direction comes up";
    char axisText[Input::kMaxBindingText + 1];
    Input::WriteAxisBindingText(axisText, 0, true, 0, longName.c_str());
    axis.jaxis.which = SDL_GetJoystickID(box);
    axis.jaxis.axis = 0;
    axis.jaxis.value = 100;
    EXPECT_EQ(MatchBinding(axisText, axis), BindingMatch::Press);
    SDL_CloseJoystick(box);
    for (SDL_Joystick* handle : handles) SDL_CloseJoystick(handle);
    SDL_Quit();
}

TEST(BindingText, KeyboardBindingsShowTheirTextWhileNoJobRuns) {
    for (const char* text : {"K30 Keyboard", "K Keyboard", "Kx Keyboard", "K30", "#3 Wheel", ""})
        EXPECT_EQ(Input::BindingDisplayText(text), text) << text;
}

}  // namespace
