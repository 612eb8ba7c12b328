// The GearGate page as a player uses it in the menu: its eighteen lines,
// choices that only store what the next car will use, Delete unbinding, the
// capture's start rules, and its name.
#include "geargate/shifter_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/setting_id.h"
#include "input/sdl_backend.h"
#include "platform/modules.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "shared/fmod_standin.h"
#include "sound/sound_player.h"
#include "test_support.h"

namespace {
constexpr uint32_t kBase = 0x10000;
constexpr int32_t kVkDelete = 0x2E;
constexpr int32_t kRootLines = 3;

class ShifterPage : public ::testing::Test {
protected:
    void SetUp() override {
        kvt_test::ForgetProcessState();
        kvt_test::MakeGameState(arena, 3);
        platform::sim::SetTickCount(300000);
        scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[GearGate]\nEnabled = true\n");
        control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
        ASSERT_NE(control, nullptr);
        control->items[0]->SetValue("[3/4] GearGate");
        shifter = control->shifterPage;
    }
    void TearDown() override {
        platform::sim::SetAsyncKeyDown(kVkDelete, false);
        if (g_instance) g_instance->DeletingDestructor(1);
        kvt_test::ForgetProcessState();
    }
    // Input on the page's line (0 = "GearGate").
    void Input(int line, uint32_t left, uint32_t right, uint32_t select) {
        control->selectedIndex = kRootLines + line;
        control->HandlePluginInput(0, 0, 0, left, right, select);
    }

    kvt_test::ScratchGame scratch;
    platform::sim::HostArena arena{kBase, 0x1400000};
    kvt_test::RecordingGame game;
    KVTControl* control = nullptr;
    KVTShifter* shifter = nullptr;
};

TEST_F(ShifterPage, EighteenLinesInOrderWithTheirHints) {
    ASSERT_EQ(shifter->items.size(), 18u);
    const char* labels[] = {"GearGate",         "Gear Volume",      "Type Change Volume", "Type",
                            "Auto Neutral",     "Clutch Required",  "Clutch Threshold",   "H-Pattern Gear 1",
                            "H-Pattern Gear 2", "H-Pattern Gear 3", "H-Pattern Gear 4",   "H-Pattern Gear 5",
                            "H-Pattern Gear 6", "H-Pattern Gear R", "Sequential N",       "Sequential Up",
                            "Sequential Down",  "Toggle Type"};
    for (size_t i = 0; i < 18; ++i) EXPECT_EQ(shifter->items[i]->Name(), labels[i]) << i;
    EXPECT_EQ(shifter->firstBindingIndex, 7);
    EXPECT_EQ(shifter->lastBindingIndex, 17);
    EXPECT_EQ(shifter->items[7]->description, "[ENTER] Bind  [DEL] Unbind (H-pattern Gear)");
    EXPECT_EQ(shifter->items[14]->description, "[ENTER] Bind  [DEL] Unbind");
    EXPECT_EQ(shifter->items[17]->description, "[ENTER] Bind  [DEL] Unbind (Changes shifter type)");
    EXPECT_EQ(shifter->items[3]->TextValue(), "Auto detected") << "the stored default, type 2";
    EXPECT_EQ(shifter->items[5]->TextValue(), "Required");
    EXPECT_EQ(shifter->items[1]->max, 2.0);
    EXPECT_EQ(shifter->items[6]->max, 1.0);
    EXPECT_DOUBLE_EQ(shifter->items[6]->step, 0.05);
    EXPECT_STREQ(shifter->GetPluginName(), "KVT H-Shifter");
    EXPECT_STREQ(shifter->GetPluginName(), "KVT H-Shifter");
}

TEST_F(ShifterPage, ChoicesStoreTheirPositionAndChangeNothingElse) {
    Input(3, 0, 1, 0);  // Type: Auto detected -> Sequential
    EXPECT_EQ(g_settings->shifterType.load(), 0);
    EXPECT_EQ(shifter->Engine().State().currentType, 0);
    Input(3, 0, 1, 0);
    EXPECT_EQ(g_settings->shifterType.load(), 1);
    EXPECT_EQ(shifter->Engine().State().currentType, 0)
        << "the current type waits for the next car or toggle";
    EXPECT_TRUE(shifter->Engine().SavedHostWords().empty()) << "the host is not touched";
    Input(5, 1, 0, 0);  // Clutch Required: Required -> Not required
    EXPECT_EQ(g_settings->clutchRequired.load(), 0);
    Input(0, 0, 1, 0);  // GearGate off through its own switch
    EXPECT_FALSE(g_settings->gearGateEnabled);
}

TEST_F(ShifterPage, DeleteUnbindsABoundLineMarksTheChangeAndLetsGo) {
    MenuItem* gear2 = shifter->items[8];
    gear2->SetValue("#4 Wheel");
    shifter->Engine().ChangeState([&](GearState& s) { s.pressed[1] = 1; });
    TheMenuBook().unsavedChanges = false;
    Input(8, 0, 0, 0);
    EXPECT_EQ(gear2->TextValue(), "#4 Wheel") << "Delete not held";
    platform::sim::SetAsyncKeyDown(kVkDelete, true);
    Input(8, 0, 0, 0);
    EXPECT_EQ(gear2->TextValue(), "");
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
    EXPECT_EQ(shifter->Engine().State().pressed[1], 0);
    TheMenuBook().unsavedChanges = false;
    Input(8, 0, 0, 0);
    Input(1, 0, 0, 0);  // a decimal line
    EXPECT_FALSE(TheMenuBook().unsavedChanges) << "an empty line and a decimal line change nothing";
}

TEST_F(ShifterPage, SelectStartsACaptureOnlyOnABindingLineWithGearGateOn) {
    Input(1, 0, 0, 1);
    EXPECT_EQ(shifter->capture.Waiting(), nullptr) << "not a binding line";
    g_settings->gearGateEnabled = false;
    Input(9, 0, 0, 1);
    EXPECT_EQ(shifter->capture.Waiting(), nullptr) << "GearGate off";
    g_settings->gearGateEnabled = true;
    Input(9, 0, 0, 1);
    EXPECT_EQ(shifter->capture.Waiting(), shifter->items[9]);
    control->selectedIndex = kRootLines + 9;
    control->HandlePluginInput(0, 0, 1, 0, 0, 0);
    EXPECT_EQ(control->selectedIndex, kRootLines + 9) << "the capture swallows the menu";
    game.Clear();
    control->DrawPluginPage();
    EXPECT_EQ(game.TextsAt(75 + 17 * 9), (std::vector<std::string>{"H-Pattern Gear 3", "(Waiting 5 secs)"}));
}

TEST_F(ShifterPage, ItsFirstNameCallListensAndLoadsTheSoundsWithGearGateOnAndItsEndFreesThem) {
    const std::filesystem::path library = scratch.pluginFolder() / "fmod.dll";
    std::filesystem::copy_file(KVT_FMOD_STANDIN, library);
    scratch.WriteFile(scratch.pluginFolder() / "Shifter_Error.wav", "RIFF");
    EXPECT_FALSE(shifter->sounds.SystemExists());
    EXPECT_STREQ(shifter->GetPluginName(), "KVT H-Shifter");
    EXPECT_TRUE(shifter->sounds.SystemExists())
        << "GearGate is on: the sounds are there before the first race";
    EXPECT_EQ(shifter->sounds.SoundCount(), 4u);
    const auto& listeners = Input::GetBackend().Listeners();
    EXPECT_EQ(std::count(listeners.begin(), listeners.end(), shifter), 1) << "and it listens to the job";
    shifter->GetPluginName();
    EXPECT_EQ(std::count(listeners.begin(), listeners.end(), shifter), 1) << "once";
    // Held open here, so its record of calls outlives the page's hold on it.
    platform::ModuleHandle standIn = platform::OpenModule(library.string());
    ASSERT_NE(standIn, nullptr);
    auto takeCalls = reinterpret_cast<kvt_test::FmodStandInTakeCalls>(
        platform::FindModuleExport(standIn, kvt_test::kFmodStandInTakeCalls));
    char calls[4096];
    takeCalls(calls, sizeof calls);
    g_instance->DeletingDestructor(1);
    takeCalls(calls, sizeof calls);
    EXPECT_NE(std::string(calls).find("System_Release"), std::string::npos)
        << "the page took its sounds with it";
    platform::ReleaseModule(standIn);
}

}  // namespace
