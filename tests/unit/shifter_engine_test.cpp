// The GearGate engine as a driver feels it: a virtual shifter's buttons go
// through the job's passes (run on the test's thread, 25 ms apart on the
// controllable clock) and the gear word of the car in simulated host memory
// is read back, with the clutch, the grind, auto neutral, sequential guards,
// the type toggle and the host's gearbox option words.
#include <SDL3/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/setting_id.h"
#include "geargate/shifter_page.h"
#include "input/sdl_backend.h"
#include "platform/modules.h"
#include "platform/platform.h"
#include "platform/sim/sim_messages.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "sdl_test_support.h"
#include "shared/fmod_standin.h"
#include "sound/sound_player.h"
#include "test_support.h"

namespace {
namespace offs = host_offsets;

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x4343;
constexpr uint32_t kGear = 0x1100;
constexpr uint32_t kClutch = 0x86C;
constexpr uint32_t kWords = 0x69C;  // A, B, C, D

class ShifterEngine : public ::testing::Test {
protected:
    void SetUp() override {
        kvt_test::ForgetProcessState();
        gameState = kvt_test::MakeGameState(arena, 1);
        platform::sim::SetTickCount(200000);
        platform::sim::SetSleepYields(false);
        platform::sim::SetForegroundWindow(kWindow);
        scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[GearGate]\nEnabled = true\n");
        pad = kvt_test::AttachVirtualJoystick("Test Shifter", 12, 1);
        handle = SDL_OpenJoystick(pad);
        control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
        ASSERT_NE(control, nullptr);
        shifter = control->shifterPage;
        telemetry = arena.Allocate(0x400);
        arena.WriteU32(kBase + offs::kHostObject1, telemetry);
        RefreshHostLocations();
        Host().hostWindow = kWindow;
        car = arena.Allocate(0x2000);
        Host().carObject = car;
        arena.WriteU32(kBase + offs::kCarObject, car);
        Gear(1);
        for (int i = 0; i < shifter_rows::kCount; ++i)
            shifter->items[static_cast<size_t>(shifter->firstBindingIndex + i)]->SetValue(
                "#" + std::to_string(i) + " Test Shifter");
        job.AddListener(shifter);
        job.RequestStart(kWindow);
        Pass();
        shifter->Engine().driving = true;
    }
    void TearDown() override {
        job.RemoveListener(shifter);
        if (g_instance) g_instance->DeletingDestructor(1);
        platform::ReleaseModule(standIn);
        if (handle) SDL_CloseJoystick(handle);
        SDL_Quit();
        platform::sim::SetSleepYields(true);
        platform::sim::SetForegroundWindow(0);
        kvt_test::ForgetProcessState();
    }

    void Pass(int count = 1) {
        for (int i = 0; i < count; ++i) job.RunPass();
    }
    void Button(int row, bool down) {
        SDL_SetJoystickVirtualButton(handle, row, down);
        Pass();
    }
    int32_t Gear() const { return static_cast<int32_t>(arena.ReadU32(car + kGear)); }
    void Gear(int32_t gear) { arena.WriteU32(car + kGear, static_cast<uint32_t>(gear)); }
    void PutFloat(uint32_t address, float value) {
        uint32_t word;
        std::memcpy(&word, &value, sizeof word);
        arena.WriteU32(address, word);
    }
    void Clutch(float value) { PutFloat(car + kClutch, value); }
    // A car set up as H-pattern with no clutch needed.
    void HPatternWithoutClutch() {
        shifter->Engine().ChangeState([&](GearState& s) {
            s.currentType = 1;
            s.clutchNeeded = 0;
        });
    }
    uint32_t Word(int index) const { return arena.ReadU32(Host().carSelection + kWords + 4 * index); }
    void Word(int index, uint32_t value) { arena.WriteU32(Host().carSelection + kWords + 4 * index, value); }
    // The grind sound through the stand-in sound library.
    void WithGrindSound() {
        const std::filesystem::path library = scratch.pluginFolder() / "fmod.dll";
        std::filesystem::copy_file(KVT_FMOD_STANDIN, library);
        standIn = platform::OpenModule(library.string());
        ASSERT_NE(standIn, nullptr);
        reinterpret_cast<kvt_test::FmodStandInConfigure>(
            platform::FindModuleExport(standIn, kvt_test::kFmodStandInConfigure))(0, 0, "");
        scratch.WriteFile(scratch.pluginFolder() / "Shifter_Error.wav", "RIFF");
        ASSERT_TRUE(shifter->sounds.LoadSounds());
    }

    // The car set-up waits for the job to run on its own thread.
    void StartJobThread() {
        platform::sim::SetSleepYields(true);
        arena.WriteU32(gameState + offs::kGameModeField, 3);
        job.CreateThread();
        job.RequestStart(kWindow);
        ASSERT_TRUE(kvt_test::WaitFor([&] { return job.IsRunning(); }));
    }

    kvt_test::ScratchGame scratch;
    platform::sim::HostArena arena{kBase, 0x1400000};
    kvt_test::RecordingGame game;
    Input::SDLBackend job;
    KVTControl* control = nullptr;
    KVTShifter* shifter = nullptr;
    uint32_t gameState = 0, telemetry = 0, car = 0;
    SDL_JoystickID pad = 0;
    SDL_Joystick* handle = nullptr;
    platform::ModuleHandle standIn = nullptr;
};

TEST_F(ShifterEngine, TheLowestHeldGearWinsAndReverseOnlyAlone) {
    HPatternWithoutClutch();
    SDL_SetJoystickVirtualButton(handle, 2, true);  // gear 3
    Button(0, true);                                // gear 1
    EXPECT_EQ(Gear(), 2);
    Button(0, false);
    EXPECT_EQ(Gear(), 4) << "gear 3, still held";
    Button(6, true);
    EXPECT_EQ(Gear(), 4) << "reverse waits while a forward gear is held";
    Button(2, false);
    EXPECT_EQ(Gear(), 0);
    Button(6, false);
    EXPECT_EQ(Gear(), 1) << "auto neutral";
    const int32_t rowGears[] = {2, 3, 4, 5, 6, 7, 0};
    for (int row = 0; row <= shifter_rows::kGearR; ++row) {
        Button(row, true);
        EXPECT_EQ(Gear(), rowGears[row]) << "row " << row;
        Button(row, false);
    }
}

// A hat holds one position: sliding from first's direction to third's must
// leave first, or the lowest held gear would keep the car in first.
TEST_F(ShifterEngine, AHatSlidingToAnotherGearLeavesTheOneBefore) {
    HPatternWithoutClutch();
    shifter->items[static_cast<size_t>(shifter->firstBindingIndex)]->SetValue("H0.1 Test Shifter");
    shifter->items[static_cast<size_t>(shifter->firstBindingIndex + 2)]->SetValue("H0.2 Test Shifter");
    for (const auto& [hat, gear] : std::vector<std::pair<uint8_t, int32_t>>{
             {SDL_HAT_UP, 2}, {SDL_HAT_RIGHTUP, 1}, {SDL_HAT_RIGHT, 4}, {SDL_HAT_CENTERED, 1}}) {
        SDL_SetJoystickVirtualHat(handle, 0, hat);
        Pass();
        EXPECT_EQ(Gear(), gear) << "hat " << int(hat);
    }
}

TEST_F(ShifterEngine, AGearOnAnAxisEngagesPastItsThresholdAndLeavesWellBackFromIt) {
    HPatternWithoutClutch();
    shifter->items[static_cast<size_t>(shifter->firstBindingIndex + 2)]->SetValue("A1<-16384 Test Shifter");
    for (const auto& [value, gear] :
         std::vector<std::pair<Sint16, int32_t>>{{-20000, 4}, {-10000, 4}, {-9000, 1}, {-17000, 4}}) {
        SDL_SetJoystickVirtualAxis(handle, 1, value);
        Pass();
        EXPECT_EQ(Gear(), gear) << "axis at " << value;
    }
    // A lever held past its threshold reports every move: it shifts up once,
    // and again only once it has been let go.
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 0; });
    shifter->items[static_cast<size_t>(shifter->firstBindingIndex + shifter_rows::kSequentialUp)]->SetValue(
        "A0>0 Test Shifter");
    Gear(2);
    for (const auto& [value, gear] : std::vector<std::pair<Sint16, int32_t>>{
             {12000, 3}, {20000, 3}, {28000, 3}, {-10000, 3}, {15000, 4}}) {
        SDL_SetJoystickVirtualAxis(handle, 0, value);
        Pass(4);  // past any deadzone
        EXPECT_EQ(Gear(), gear) << "lever at " << value;
    }
}

TEST_F(ShifterEngine, TheClutchMustPassTheThresholdNotJustReachIt) {
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 1; });
    Clutch(0.35f);
    Button(1, true);
    EXPECT_EQ(Gear(), 1) << "at the threshold: refused, and with no grind to play the miss is dropped";
    EXPECT_EQ(shifter->Engine().State().appliedGear, 3);
    Clutch(0.36f);
    Pass(3);
    EXPECT_EQ(Gear(), 1) << "a dropped gear must be selected again";
    Button(1, false);
    Button(1, true);
    EXPECT_EQ(Gear(), 3);
}

TEST_F(ShifterEngine, AMissedGearWaitsOnItsGrindAndEngagesWhenTheClutchComesIn) {
    WithGrindSound();
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 1; });
    g_settings->autoNeutral = false;
    PutFloat(telemetry + 0x2B8, 1.0f);
    Clutch(0.0f);
    Button(0, true);
    EXPECT_EQ(Gear(), 1);
    EXPECT_TRUE(shifter->Engine().State().grinding);
    Button(0, false);
    Pass(2);
    EXPECT_EQ(Gear(), 1) << "still pending, button released, auto neutral off";
    Clutch(0.9f);
    Pass();
    EXPECT_EQ(Gear(), 2) << "the first tick after the clutch passes";
    EXPECT_FALSE(shifter->Engine().State().grinding);
    EXPECT_EQ(shifter->sounds.Current(), sound_ids::kGrind) << "the grind fades, it is not cut";
    Pass(8);
    EXPECT_EQ(shifter->sounds.Current(), sound_ids::kNone) << "faded out within 200 ms";
    EXPECT_FALSE(shifter->Engine().State().fadePending);
}

TEST_F(ShifterEngine, TheHostsHoldWordAtZeroDropsAMissEvenWhileItGrinds) {
    WithGrindSound();
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 1; });
    g_settings->autoNeutral = false;
    PutFloat(telemetry + 0x2B8, 0.0f);
    Button(0, true);
    EXPECT_EQ(shifter->Engine().State().appliedGear, 2) << "dropped";
    Clutch(0.9f);
    Pass(2);
    EXPECT_EQ(Gear(), 1);
}

TEST_F(ShifterEngine, LettingGoOfAMissedGearWithAutoNeutralEndsTheGrind) {
    WithGrindSound();
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 1; });
    PutFloat(telemetry + 0x2B8, 1.0f);
    Button(0, true);
    EXPECT_TRUE(shifter->Engine().State().grinding);
    Button(0, false);
    EXPECT_FALSE(shifter->Engine().State().grinding) << "neutral needs no clutch: the request is gone";
    EXPECT_EQ(Gear(), 1);
    Clutch(0.9f);
    Pass(2);
    EXPECT_EQ(Gear(), 1) << "nothing engages later";
}

TEST_F(ShifterEngine, AGearTheCarLacksIsIgnoredAndItsReleaseGivesNeutral) {
    HPatternWithoutClutch();
    Button(4, true);
    EXPECT_EQ(Gear(), 6);
    Button(4, false);
    shifter->Engine().ChangeState([&](GearState& s) { s.topGear = 6; });
    Button(5, true);  // gear 6: index 7 above the top
    EXPECT_EQ(Gear(), 1);
    Gear(3);
    Button(5, false);
    EXPECT_EQ(Gear(), 3) << "neutral was applied already: nothing to write";
    g_settings->autoNeutral = false;
    Button(0, true);
    Button(0, false);
    EXPECT_EQ(Gear(), 2) << "without auto neutral the gear stays in";
}

TEST_F(ShifterEngine, SequentialShiftsStopAtTheEndsAndNeutralSitsBetweenReverseAndFirst) {
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 0; });
    auto tap = [&](int row) {
        Button(row, true);
        Button(row, false);
        Pass(2);  // past any deadzone
    };
    Gear(7);
    tap(shifter_rows::kSequentialUp);
    EXPECT_EQ(Gear(), 7) << "top gear";
    Gear(0);
    tap(shifter_rows::kSequentialDown);
    EXPECT_EQ(Gear(), 0) << "reverse is the bottom";
    tap(shifter_rows::kSequentialUp);
    EXPECT_EQ(Gear(), 1) << "reverse up to neutral";
    tap(shifter_rows::kSequentialUp);
    EXPECT_EQ(Gear(), 2);
    tap(shifter_rows::kSequentialDown);
    tap(shifter_rows::kSequentialDown);
    EXPECT_EQ(Gear(), 0) << "first, neutral, reverse";
    Gear(5);
    tap(shifter_rows::kSequentialNeutral);
    EXPECT_EQ(Gear(), 1);
    // A held row shifts once: another row pressed meanwhile does its own.
    Gear(5);
    Button(shifter_rows::kSequentialDown, true);
    Button(shifter_rows::kSequentialNeutral, true);
    EXPECT_EQ(Gear(), 1) << "neutral, not a second down-shift";
}

TEST_F(ShifterEngine, TheDeadzoneHoldsBackARepeatButNotTheOtherDirection) {
    shifter->Engine().ChangeState([&](GearState& s) {
        s.currentType = 0;
        s.shiftDeadzoneMs = 30;
    });
    Gear(2);
    Button(shifter_rows::kSequentialUp, true);
    Button(shifter_rows::kSequentialUp, false);  // 25 ms later
    Button(shifter_rows::kSequentialUp, true);   // 50 ms after the first: 25 ms after its release
    EXPECT_EQ(Gear(), 4);
    Button(shifter_rows::kSequentialUp, false);
    Button(shifter_rows::kSequentialUp, true);
    EXPECT_EQ(Gear(), 5);
    Button(shifter_rows::kSequentialUp, false);
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 4) << "a down-shift right after an up-shift is its own direction";
    Button(shifter_rows::kSequentialDown, false);

    // A shift in one direction forgets the other's time: up, down, up, down
    // 50 ms apart all go through a 100 ms deadzone; a repeat does not.
    shifter->Engine().ChangeState([&](GearState& s) { s.shiftDeadzoneMs = 100; });
    Pass(5);
    const int32_t expected[] = {5, 4, 5, 4};
    for (int i = 0; i < 4; ++i) {
        const int row = i % 2 == 0 ? shifter_rows::kSequentialUp : shifter_rows::kSequentialDown;
        Button(row, true);
        EXPECT_EQ(Gear(), expected[i]) << "shift " << i;
        Button(row, false);
    }
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 4) << "a second down-shift 50 ms after the first";
    Button(shifter_rows::kSequentialDown, false);
    Button(shifter_rows::kSequentialUp, true);
    Button(shifter_rows::kSequentialUp, false);
    Button(shifter_rows::kSequentialUp, true);
    EXPECT_EQ(Gear(), 5) << "a second up-shift 50 ms after the first";
}

TEST_F(ShifterEngine, SequentialDownIsGuardedAtFirstAndAgainstOverRevving) {
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 0; });
    Word(1, 1);
    PutFloat(telemetry + 0x0C, 3.5f);
    Gear(2);
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 2) << "first to neutral refused while the car moves";
    Button(shifter_rows::kSequentialDown, false);
    PutFloat(telemetry + 0x0C, 0.0f);
    Pass(2);
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 1);
    Button(shifter_rows::kSequentialDown, false);

    Word(3, 1);
    Gear(4);
    Pass(2);
    Button(shifter_rows::kSequentialUp, true);  // to 5: the gear the guard looks at
    Button(shifter_rows::kSequentialUp, false);
    shifter->Engine().ChangeState([&](GearState& s) { s.upshiftTable[5] = 7000.0f; });
    PutFloat(telemetry + 0x10, 7200.0f);
    Pass(2);
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 5) << "past the gear's upshift point: no down-shift";
    Button(shifter_rows::kSequentialDown, false);
    PutFloat(telemetry + 0x10, 6000.0f);
    Pass(2);
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 4);
    EXPECT_EQ(shifter->Engine().State().requestedGear, 5)
        << "the gear read before the shift is what the next guard uses";
    Button(shifter_rows::kSequentialDown, false);
    Gear(3);  // the host's own controls moved the gear meanwhile
    PutFloat(telemetry + 0x10, 0.0f);
    Pass(2);
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 2);
    EXPECT_EQ(shifter->Engine().State().requestedGear, 3)
        << "read from the car, not kept from the last shift";
    Button(shifter_rows::kSequentialDown, false);

    // First gear has its upshift point too.
    Word(1, 0);
    Gear(1);
    Pass(2);
    Button(shifter_rows::kSequentialUp, true);
    Button(shifter_rows::kSequentialUp, false);
    shifter->Engine().ChangeState([&](GearState& s) { s.upshiftTable[2] = 7000.0f; });
    PutFloat(telemetry + 0x10, 7200.0f);
    Pass(2);
    Button(shifter_rows::kSequentialDown, true);
    EXPECT_EQ(Gear(), 2) << "first to neutral at revs past first gear's upshift point";
}

TEST_F(ShifterEngine, TheToggleStepsTheTypeOnItsReleaseAndSetsTheGearboxWordsOnce) {
    for (const char* file : {"Shifter_Sequential.wav", "Shifter_HPattern.wav", "Shifter_AutoDetect.wav"})
        scratch.WriteFile(scratch.pluginFolder() / file, "RIFF");
    WithGrindSound();
    shifter->Engine().driving = false;
    for (int i = 0; i < 4; ++i) Word(i, 10 + i);
    g_settings->shifterType = 2;
    Button(shifter_rows::kToggleType, true);
    EXPECT_EQ(g_settings->shifterType.load(), 2) << "nothing at the press";
    Button(shifter_rows::kToggleType, false);
    EXPECT_EQ(g_settings->shifterType.load(), 0) << "stored Auto detected toggles to Sequential";
    EXPECT_EQ(g_settings->shifterTypeText, "Sequential");
    EXPECT_EQ(shifter->sounds.Current(), sound_ids::kSequential) << "the player hears the new type";
    EXPECT_EQ(shifter->Engine().SavedHostWords(), (std::vector<int32_t>{10, 11, 12, 13}));
    EXPECT_EQ(Word(0), 1u);
    EXPECT_EQ(Word(1), 11u) << "sequential keeps the other words";

    Button(shifter_rows::kToggleType, true);
    Button(shifter_rows::kToggleType, false);
    EXPECT_EQ(g_settings->shifterType.load(), 1);
    EXPECT_EQ(shifter->sounds.Current(), sound_ids::kHPattern);
    EXPECT_EQ(shifter->Engine().SavedHostWords(), (std::vector<int32_t>{10, 11, 12, 13})) << "saved once";
    EXPECT_EQ((std::vector<uint32_t>{Word(0), Word(1), Word(2), Word(3)}),
              (std::vector<uint32_t>{1, 0, 0, 0}));
    shifter->Engine().RestoreHostGearbox();
    EXPECT_EQ((std::vector<uint32_t>{Word(0), Word(1), Word(2), Word(3)}),
              (std::vector<uint32_t>{10, 11, 12, 13}));
    EXPECT_TRUE(shifter->Engine().SavedHostWords().empty());
    Button(shifter_rows::kToggleType, true);
    Button(shifter_rows::kToggleType, false);
    EXPECT_EQ(shifter->sounds.Current(), sound_ids::kAutoDetect) << "back to Auto detected";
}

TEST_F(ShifterEngine, AHeldToggleFiresOnceWhenDevicesCloseAndNeverDuringACapture) {
    shifter->Engine().driving = false;
    g_settings->shifterType = 0;
    SDL_SetJoystickVirtualButton(handle, 0, true);
    Button(shifter_rows::kToggleType, true);
    shifter->OnDevicesDisconnected();
    for (const auto& flag : shifter->Engine().State().pressed) EXPECT_EQ(flag, 0) << "every row let go";
    shifter->OnDevicesDisconnected();
    EXPECT_EQ(g_settings->shifterType.load(), 1) << "once";
    Button(shifter_rows::kToggleType, false);
    EXPECT_EQ(g_settings->shifterType.load(), 1) << "the release came after it was let go";

    Button(shifter_rows::kToggleType, true);
    shifter->capture.Start(shifter->items[0], platform::TickCount(), job);
    Button(shifter_rows::kToggleType, false);
    EXPECT_EQ(g_settings->shifterType.load(), 1);
}

TEST_F(ShifterEngine, SwitchingGearGateOffGivesTheHostItsWordsAndLetsGo) {
    for (int i = 0; i < 4; ++i) Word(i, 20 + i);
    shifter->Engine().ApplyHostGearbox(1);
    SDL_SetJoystickVirtualButton(handle, 0, true);
    Pass();
    shifter->SetGearGateEnabled(false);
    EXPECT_FALSE(g_settings->gearGateEnabled);
    EXPECT_EQ((std::vector<uint32_t>{Word(0), Word(1), Word(2), Word(3)}),
              (std::vector<uint32_t>{20, 21, 22, 23}));
    for (const auto& flag : shifter->Engine().State().pressed) EXPECT_EQ(flag, 0);
    HPatternWithoutClutch();
    Button(1, true);
    EXPECT_EQ(Gear(), 1) << "events do nothing while off";
    shifter->Engine().ApplyHostGearbox(1);
    EXPECT_TRUE(shifter->Engine().SavedHostWords().empty()) << "nothing set while off";

    WithGrindSound();
    shifter->sounds.ReleaseSounds();
    shifter->SetGearGateEnabled(true);
    EXPECT_TRUE(shifter->sounds.SystemExists())
        << "switched on in the menu: the sounds are there for the race";
}

TEST_F(ShifterEngine, TheShiftDeadzoneComesFromTheDistributionsFileOr30Ms) {
    for (int i = 0; i < 4; ++i) Word(i, 5);
    g_settings->shifterType = 1;
    shifter->Engine().LoadShiftDeadzone();
    EXPECT_EQ(shifter->Engine().State().shiftDeadzoneMs, 30);
    EXPECT_EQ(shifter->Engine().SavedHostWords().size(), 4u) << "the words set for the stored type";
    EXPECT_EQ(Word(1), 0u);
    scratch.WriteFile(scratch.root() / "Plugins" / "TLZCarMenu.ini",
                      "[Default]\nDeadzoneByTimeMSecGearShift=45\n");
    shifter->Engine().LoadShiftDeadzone();
    EXPECT_EQ(shifter->Engine().State().shiftDeadzoneMs, 45);
    EXPECT_EQ(Word(1), 0u);
    EXPECT_EQ(shifter->Engine().SavedHostWords(), (std::vector<int32_t>{5, 5, 5, 5}))
        << "restored before saving again";
    for (const char* unusable : {"x", "-5"}) {
        scratch.WriteFile(scratch.root() / "Plugins" / "TLZCarMenu.ini",
                          std::string("[Default]\nDeadzoneByTimeMSecGearShift=") + unusable + "\n");
        shifter->Engine().LoadShiftDeadzone();
        EXPECT_EQ(shifter->Engine().State().shiftDeadzoneMs, 30) << unusable;
    }
}

TEST_F(ShifterEngine, APauseOrSwitchingOffEndsAMissedGearWithoutEngagingIt) {
    WithGrindSound();
    shifter->Engine().ChangeState([&](GearState& s) { s.currentType = 1; });
    PutFloat(telemetry + 0x2B8, 1.0f);
    for (const bool switchOff : {false, true}) {
        Clutch(0.0f);
        Button(0, true);
        ASSERT_TRUE(shifter->Engine().State().grinding);
        shifter->Engine().driving = switchOff;  // a pause, or still driving with GearGate off
        if (switchOff) shifter->SetGearGateEnabled(false);
        Clutch(0.9f);
        Pass(9);
        EXPECT_EQ(Gear(), 1) << "switched off: " << switchOff;
        EXPECT_EQ(shifter->sounds.Current(), sound_ids::kNone)
            << "the grind faded; switched off: " << switchOff;
        Button(0, false);
        shifter->SetGearGateEnabled(true);
        shifter->Engine().driving = true;
    }
}

TEST_F(ShifterEngine, AGearLetGoWhereTheGameCouldNotSeeItGivesNeutralWhenDrivingResumes) {
    HPatternWithoutClutch();
    for (const bool background : {false, true}) {
        Button(2, true);
        shifter->Engine().driving = background;  // a pause menu, or driving behind another window
        platform::sim::SetForegroundWindow(background ? 0 : kWindow);
        Pass(41);  // the job looks at the window once a second
        Button(2, false);
        EXPECT_EQ(Gear(), 4) << "unseen, so unwritten";
        platform::sim::SetForegroundWindow(kWindow);
        shifter->Engine().driving = true;
        Pass(3);
        EXPECT_EQ(Gear(), 1) << "nothing held any more; in the background: " << background;
    }
}

TEST_F(ShifterEngine, UnpluggingAControllerWithToggleTypeHeldTogglesNothing) {
    g_settings->shifterType = 0;
    for (const bool hat : {false, true}) {
        const SDL_JoystickID spare = kvt_test::AttachVirtualJoystick("Spare Pad", 1, 1);
        SDL_Joystick* spareHandle = SDL_OpenJoystick(spare);
        shifter->items[static_cast<size_t>(shifter->lastBindingIndex)]->SetValue(hat ? "H0.1 Spare Pad"
                                                                                     : "#0 Spare Pad");
        hat ? SDL_SetJoystickVirtualHat(spareHandle, 0, SDL_HAT_UP)
            : SDL_SetJoystickVirtualButton(spareHandle, 0, true);
        Pass();
        ASSERT_EQ(shifter->Engine().State().pressed[shifter_rows::kToggleType], 1);
        SDL_DetachVirtualJoystick(spare);
        Pass();
        EXPECT_EQ(g_settings->shifterType.load(), 0) << "hat: " << hat;
        SDL_CloseJoystick(spareHandle);
    }
}

TEST_F(ShifterEngine, AToggleToAutoDetectedUsesTheCarTypeFoundWhenTheStageLoaded) {
    scratch.WriteFile(scratch.root() / "cars" / "cars.ini", "[Car05]\nVLMCarID=77\n");
    scratch.WriteFile(scratch.pluginFolder() / "CarInfo.ini", "[Car77]\nh_pattern=1\n");
    Word(1, 7);
    shifter->Engine().driving = false;
    g_settings->shifterType = 1;
    shifter->Engine().LoadShiftDeadzone();
    std::filesystem::remove(scratch.root() / "cars" / "cars.ini");  // a toggle must not read car files
    Button(shifter_rows::kToggleType, true);
    Button(shifter_rows::kToggleType, false);
    ASSERT_EQ(g_settings->shifterType.load(), 2);
    EXPECT_EQ(Word(1), 0u) << "set for the configured H-pattern car";
}

}  // namespace

// The car set-up runs on the host's thread while the job runs its own passes.
TEST_F(ShifterEngine, ACarSetUpTakesTheCarsGearsTypeAndClutchAndTellsTheHost) {
    const auto root = scratch.root();
    scratch.WriteFile(root / "Physics" / "m_lancer" / "common.lsp", "NumberOfGears 5\nGear2Upshift 6500\n");
    scratch.WriteFile(root / "cars" / "cars.ini", "[Car03]\nVLMCarID=77\n");
    scratch.WriteFile(scratch.pluginFolder() / "CarInfo.ini", "[Car77]\nh_pattern=1\nclutch_required=0\n");
    g_settings->shifterType = 2;
    g_settings->clutchRequired = 2;
    arena.WriteU32(Host().carSelection + 8, 3);
    auto setUpFrom = [&](int32_t type) {
        shifter->Engine().ChangeState([&](GearState& s) {
            s.currentType = type;
            s.pressed[0] = 1;
            s.grinding = true;
            s.fadePending = true;
            s.appliedGear = 4;
        });
        shifter->Engine().SetupForCar(shifter->Job());
    };

    // The GearGate page's own two lines under the menu.
    auto carLines = [&] {
        control->items[0]->SetValue("[3/4] GearGate");
        game.Clear();
        control->DrawPluginPage();
        const std::vector<std::string> texts = game.Texts();
        return std::vector<std::string>(texts.end() - 2, texts.end());
    };
    setUpFrom(0);
    EXPECT_EQ(shifter->Engine().State().topGear, gears::kTop) << "nothing before the job runs";
    EXPECT_EQ(shifter->Engine().State().pressed[0], 1);
    EXPECT_EQ(carLines()[1].substr(carLines()[1].find(':') + 1), "This car: none set up yet");

    StartJobThread();
    platform::sim::TakeSentMessages();
    // (Not the game state: the running job would take its loss as the host
    // closing and end.)
    const uint32_t selection = Host().carSelection;
    Host().carSelection = 0;
    setUpFrom(0);
    EXPECT_EQ(shifter->Engine().State().topGear, gears::kTop) << "nothing while the car selection is unknown";
    Host().carSelection = selection;

    setUpFrom(0);
    EXPECT_EQ(shifter->Engine().State().topGear, 4);
    EXPECT_FALSE(shifter->Engine().State().fadePending);
    EXPECT_EQ(shifter->Engine().State().upshiftTable[2], 6500.0f);
    EXPECT_EQ(shifter->Engine().State().currentType, 1) << "the cached H-pattern car";
    EXPECT_EQ(shifter->Engine().State().clutchNeeded, 0) << "the cache says this car needs no clutch";
    EXPECT_EQ(shifter->Engine().State().pressed[0], 0);
    EXPECT_FALSE(shifter->Engine().State().grinding);
    EXPECT_EQ(shifter->Engine().State().appliedGear, gears::kNeutral);
    EXPECT_EQ(shifter->Engine().State().requestedGear, gears::kNeutral);
    std::vector<platform::sim::SentCopyData> sent = platform::sim::TakeSentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 0x2000u);
    EXPECT_EQ(sent[0].data, (std::vector<uint8_t>{0, 0, 0, 0})) << "H-pattern";
    Clutch(0.5f);
    Gear(4);
    EXPECT_EQ(carLines(),
              (std::vector<std::string>{"65,439:Clutch 0.50, bites past 0.35   Gear 3",
                                        "65,456:This car: H-Pattern (CarInfo.ini), no clutch needed "
                                        "(CarInfo.ini)"}));
    Gear(1);

    // A car nobody lists keeps the last type and needs the clutch.
    arena.WriteU32(Host().carSelection + 8, 4);
    setUpFrom(1);
    EXPECT_EQ(shifter->Engine().State().topGear, gears::kTop);
    EXPECT_EQ(shifter->Engine().State().upshiftTable[2], 0.0f);
    EXPECT_EQ(shifter->Engine().State().currentType, 1);
    EXPECT_EQ(shifter->Engine().State().clutchNeeded, 1);
    EXPECT_EQ(carLines()[1], "65,456:This car: H-Pattern (not found), clutch required (default)");
    sent = platform::sim::TakeSentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, (std::vector<uint8_t>{0, 0, 0, 0}));

    // A fixed type wins over the car's, and a fixed clutch setting over the cache.
    arena.WriteU32(Host().carSelection + 8, 3);
    g_settings->shifterType = 0;
    g_settings->clutchRequired = 1;
    setUpFrom(1);
    EXPECT_EQ(shifter->Engine().State().currentType, 0);
    EXPECT_EQ(shifter->Engine().State().clutchNeeded, 1);
    EXPECT_FALSE(shifter->Engine().State().fadePending) << "nothing announced, still nothing left to fade";
    EXPECT_EQ(carLines()[1], "65,456:This car: Sequential (your choice), clutch required (your choice)");
    sent = platform::sim::TakeSentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, (std::vector<uint8_t>{1, 0, 0, 0})) << "sequential";
    g_settings->shifterType = 1;
    setUpFrom(0);
    EXPECT_EQ(shifter->Engine().State().clutchNeeded, 1)
        << "H-pattern: the fixed setting, not the cache's no-clutch";
    platform::sim::TakeSentMessages();

    // A toggle tells the host too.
    shifter->Engine().driving = false;
    g_settings->shifterType = 0;
    shifter->Engine().ToggleShifterType(job);
    sent = platform::sim::TakeSentMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, (std::vector<uint8_t>{0, 0, 0, 0})) << "toggled to H-pattern";
    // Toggled on to Auto detected, it shifts as an H-pattern: the line says so.
    shifter->Engine().ToggleShifterType(job);
    platform::sim::TakeSentMessages();
    EXPECT_EQ(carLines()[1], "65,456:This car: H-Pattern (auto detected), clutch required (your choice)");

    // Switched off, a set-up only lets go.
    g_settings->gearGateEnabled = false;
    shifter->Engine().ChangeState([&](GearState& s) { s.topGear = 6; });
    setUpFrom(1);
    EXPECT_EQ(shifter->Engine().State().pressed[0], 0);
    EXPECT_FALSE(shifter->Engine().State().grinding);
    EXPECT_EQ(shifter->Engine().State().topGear, 6);
    EXPECT_EQ(shifter->Engine().State().appliedGear, 4);
    EXPECT_TRUE(platform::sim::TakeSentMessages().empty());
    job.StopJob();
}

TEST_F(ShifterEngine, ACarWhosePhysicsSaysTwelveGearsTopsOutAtSixth) {
    scratch.WriteFile(scratch.root() / "Physics" / "s_i2003" / "common.lsp", "NumberOfGears 12\n");
    arena.WriteU32(Host().carSelection + 8, 5);
    g_settings->shifterType = 0;
    StartJobThread();
    shifter->Engine().SetupForCar(shifter->Job());
    job.StopJob();
    Gear(7);
    Button(shifter_rows::kSequentialUp, true);
    EXPECT_EQ(Gear(), 7) << "the gear word has no gear above sixth";
}
