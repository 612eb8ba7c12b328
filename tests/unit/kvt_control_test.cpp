// The main object in a simulated host: creation through the export, the
// deferred start-up, the menu page, navigation and saving, the hold-progress
// overlay and the reactions to game modes.
#include "plugin/kvt_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/setting_id.h"
#include "geargate/shifter_page.h"
#include "input/sdl_backend.h"
#include "platform/sim/sim_platform.h"
#include "rurazu/rurazu_pages.h"
#include "test_support.h"

using kvt_test::RecordingGame;
using platform::sim::HostArena;
namespace offs = host_offsets;

namespace {

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x1234;

class MainObject : public ::testing::Test {
protected:
    // The credits: the line just above the status line, which every page has.
    kvt_test::DrawCall Credits() const {
        for (size_t i = 1; i < game.calls.size(); ++i)
            if (game.calls[i].text.rfind("Last input: ", 0) == 0) return game.calls[i - 1];
        ADD_FAILURE() << "no status line";
        return {};
    }
    void SetUp() override {
        ResetHostLocations();
        ResetCoreOnce();
        Config::ResetSettingsForTest();
        Input::ResetBackendForTest();
        gameState = arena.Allocate(0x1000);
        arena.WriteU32(kBase + offs::kGameState, gameState);
        arena.WriteU32(gameState + offs::kRunningField, 1);
        const uint32_t renderRoot = arena.Allocate(0x40), renderChild = arena.Allocate(0x100);
        device = arena.Allocate(0x10);
        arena.WriteU32(kBase + offs::kRenderRoot, renderRoot);
        arena.WriteU32(renderRoot + offs::kRenderChild, renderChild);
        arena.WriteU32(renderChild + offs::kRenderDevice, device);
        platform::sim::SetDeviceWindow(device, kWindow);
    }
    void TearDown() override {
        if (g_instance) g_instance->DeletingDestructor(1);
        Input::ResetBackendForTest();
        Config::ResetSettingsForTest();
        ResetCoreOnce();
        ResetHostLocations();
    }

    KVTControl* Create() { return static_cast<KVTControl*>(KVT_CreatePlugin(&game)); }
    void StoreMode(KVTControl* control, int32_t mode) {
        arena.WriteU32(gameState + offs::kGameModeField, static_cast<uint32_t>(mode));
        control->OnGameModeChange();
    }
    MenuItem* HoldItem(int32_t id, uint32_t holdTime) {
        auto* item = MenuItem::OwnChoice(id, ("Action " + std::to_string(id)).c_str(), UNKNOWN, "");
        item->holdTime = holdTime;
        owned.emplace_back(item);
        return item;
    }

    kvt_test::ScratchGame scratch;
    HostArena arena{kBase, 0x1400000};
    RecordingGame game;
    uint32_t gameState = 0;
    uint32_t device = 0;
    std::vector<std::unique_ptr<MenuItem>> owned;
};

TEST_F(MainObject, ExportBuildsOneObjectWithItsLinesAndPages) {
    std::filesystem::remove_all(scratch.pluginFolder());
    KVTControl* control = Create();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(Create(), control) << "a second call returns the same object";
    EXPECT_TRUE(std::filesystem::is_directory(scratch.pluginFolder()));

    ASSERT_EQ(control->items.size(), 3u);
    EXPECT_EQ(control->items[0]->Name(), "Page");
    EXPECT_EQ(*control->items[0]->Text(), "[1/4] RurAzu");
    EXPECT_EQ(*control->items[0]->options, (std::vector<std::string>{"[1/4] RurAzu", "[2/4] RurAzu",
                                                                     "[3/4] GearGate", "[4/4] openKVTVR"}));
    EXPECT_EQ(control->items[1]->group, SAVE_SETTINGS);
    EXPECT_EQ(control->items[2]->id, SEPARATOR);

    ASSERT_EQ(control->children.size(), 4u);
    EXPECT_NE(dynamic_cast<KVTRurazu*>(control->children[0]), nullptr);
    EXPECT_NE(dynamic_cast<KVTRurazu2*>(control->children[1]), nullptr);
    EXPECT_NE(dynamic_cast<KVTRurazuVR*>(control->children[2]), nullptr);
    EXPECT_EQ(control->children[3], static_cast<CPluginBase*>(control->shifterPage));
    EXPECT_EQ(control->children[2]->name, "[4/4] openKVTVR");
    EXPECT_EQ(control->shifterPage->name, "[3/4] GearGate");
    EXPECT_EQ(control->children[0]->enableFlag, &g_settings->rurAzuEnabled);
    EXPECT_EQ(control->shifterPage->enableFlag, &g_settings->gearGateEnabled);
    EXPECT_EQ(control->children[1]->parent, control);
}

TEST_F(MainObject, FirstStartInANewGameFolderIsLoggedTooAndAQuietOneLogsNothing) {
    std::filesystem::remove_all(scratch.root() / "Plugins");
    OnLibraryLoad();  // the folder is missing, so the log cannot open here
    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[Main]\nVerboseLogEnabled = true\n");
    ASSERT_NE(Create(), nullptr);
    EXPECT_NE(scratch.LogText().find("] KVTControl " KVT_VERSION " created\r\n"), std::string::npos)
        << "a verbose start names the version";

    g_instance->DeletingDestructor(1);
    kvt_test::ForgetProcessState();
    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[Main]\nVerboseLogEnabled = false\n");
    OnLibraryLoad();
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(scratch.LogText(), "") << "nothing went wrong, so a quiet start writes nothing";
}

TEST_F(MainObject, ExportFailsCleanlyWhenThePluginFolderCannotBeMade) {
    std::filesystem::remove_all(scratch.root() / "Plugins");
    scratch.WriteFile(scratch.root() / "Plugins", "a file where the folder should be");
    EXPECT_EQ(Create(), nullptr);
    EXPECT_EQ(g_instance, nullptr);
}

TEST_F(MainObject, DestroyedObjectIsNotHandedOutAgain) {
    KVTControl* control = Create();
    control->DeletingDestructor(1);
    EXPECT_EQ(g_instance, nullptr);
    EXPECT_FALSE(Input::GetBackend().IsRunning());
    KVTControl* again = Create();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->children.size(), 4u);
}

TEST_F(MainObject, FirstNameCallStartsUpOnceAndDefersTheInputJob) {
    KVTControl* control = Create();
    const uint32_t requests = Input::GetBackend().startRequests();
    EXPECT_STREQ(control->GetPluginName(), "KVT Controls");
    EXPECT_STREQ(control->GetPluginName(), "KVT Controls");
    EXPECT_EQ(Host().hostWindow.load(), kWindow);
    EXPECT_TRUE(static_cast<KVTRurazu*>(control->children[0])->listenerRegistered);
    EXPECT_TRUE(control->shifterPage->listenerRegistered);
    EXPECT_EQ(Input::GetBackend().startRequests(), requests) << "delayed start waits for game mode 3";

    StoreMode(control, 1);
    EXPECT_EQ(Input::GetBackend().startRequests(), requests);
    EXPECT_TRUE(control->shifterPage->Engine().driving);
    StoreMode(control, 3);
    EXPECT_EQ(Input::GetBackend().startRequests(), requests + 1);
    EXPECT_EQ(Input::GetBackend().hostWindow(), kWindow);
    EXPECT_FALSE(control->shifterPage->Engine().driving);
    ASSERT_TRUE(kvt_test::WaitFor([] { return Input::GetBackend().IsRunning(); }));
    StoreMode(control, 1);
    StoreMode(control, 3);
    EXPECT_EQ(Input::GetBackend().startRequests(), requests + 1) << "a running job is not asked again";
}

TEST_F(MainObject, ImmediateStartWhenDelayedInitIsOff) {
    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[Main]\nDelayedInitEnabled = false\n");
    KVTControl* control = Create();
    const uint32_t requests = Input::GetBackend().startRequests();
    control->GetPluginName();
    EXPECT_EQ(Input::GetBackend().startRequests(), requests + 1);
    EXPECT_EQ(Input::GetBackend().hostWindow(), kWindow);
    // The job itself waits for the host's menus before it runs.
    arena.WriteU32(gameState + offs::kGameModeField, 3);
    EXPECT_TRUE(kvt_test::WaitFor([] { return Input::GetBackend().IsRunning(); }));
    control->GetPluginName();
    EXPECT_EQ(Input::GetBackend().startRequests(), requests + 1);
}

TEST_F(MainObject, FirstFrameDrawsTitleRootLinesDescriptionAndCredits) {
    KVTControl* control = Create();
    control->GetPluginName();
    control->DrawPluginPage();
    ASSERT_GE(game.calls.size(), 4u);
    EXPECT_EQ(game.calls[0].entry, "DrawArea");
    EXPECT_EQ(game.calls[0].numbers, (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(game.calls[1].entry, "SetPresetColour");
    EXPECT_EQ(game.calls[2].entry, "SetTextStyle");
    EXPECT_EQ(game.Texts()[0], "65,20:" + std::string(kPluginTitle));
    // The value column is "text, space, marks": a page name has no marks.
    EXPECT_EQ(game.TextsAt(37), (std::vector<std::string>{"Page", "[1/4] RurAzu "}));
    EXPECT_EQ(game.TextsAt(54), (std::vector<std::string>{"Save Settings", ""}));
    EXPECT_EQ(game.SelectionBarY(), 37);
    // Page 1's seventeen lines follow the separator (37 + 17 + 17 + 4 = 75).
    EXPECT_EQ(game.TextsAt(75), (std::vector<std::string>{"RurAzu", "DISABLED"}));
    EXPECT_EQ(game.TextsAt(92), (std::vector<std::string>{"Up", ""}));
    EXPECT_EQ(game.TextsAt(347), (std::vector<std::string>{"Delete", ""}));
    const float description = 75 + 17 * 17 + 3;
    EXPECT_EQ(game.TextsAt(description), (std::vector<std::string>{"[< >] Switches a menu page"}));
    ASSERT_EQ(game.TextsAt(description + 21).size(), 1u) << "credits four units under the description";
    const auto& last = game.calls.back();
    EXPECT_EQ(last.entry, "WriteText");
    EXPECT_EQ(last.numbers[1], description + 21 + 17) << "the status line last, a line under the credits";
    EXPECT_EQ(last.text, "Last input: none yet");
}

TEST_F(MainObject, HostHPatternBindingSwitchesGearGateOffAndWarns) {
    KVTControl* control = Create();
    control->GetPluginName();
    g_settings->gearGateEnabled = true;
    control->items[0]->SetValue("[3/4] GearGate");
    control->DrawPluginPage();
    EXPECT_TRUE(g_settings->gearGateEnabled) << "no host binding: nothing happens";
    const size_t plainCalls = game.calls.size();

    const uint32_t table = arena.Allocate(0x10), records = arena.Allocate(48 + 20 * 21);
    arena.WriteU32(gameState + offs::kControlTableField, table);
    arena.WriteU32(table + 4, records);
    arena.WriteU32(records + 48 + 20 * 14, 1);
    game.Clear();
    control->DrawPluginPage();
    EXPECT_TRUE(g_settings->gearGateEnabled) << "control 14 is not a gear control";
    EXPECT_EQ(game.calls.size(), plainCalls);

    arena.WriteU32(records + 48 + 20 * 20, 1);
    game.Clear();
    control->DrawPluginPage();
    EXPECT_FALSE(g_settings->gearGateEnabled);
    const auto texts = game.Texts();
    for (const char* warning : {"65,401:WARNING. Original KVT H-PATTERN Gear1-6-R buttons set.",
                                "65,418:Unbind those before enabling GearGate here"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), warning), texts.end()) << warning;
    EXPECT_NE(std::find(texts.begin(), texts.end(), "265,75:DISABLED"), texts.end())
        << "the frame that warns shows GearGate switched off already";
    // Under the GearGate page's eighteen lines and the description.
    EXPECT_EQ(Credits().numbers[1], 401 + 2 * 17) << "credits a full line under the warning's two";
}

TEST_F(MainObject, WarningBlinksEveryOneAndAHalfSecondsAndGearGateHasItsOwnCredits) {
    KVTControl* control = Create();
    control->GetPluginName();
    control->DrawPluginPage();
    const std::string pluginCredits = Credits().text;
    control->items[0]->SetValue("[3/4] GearGate");
    game.Clear();
    control->DrawPluginPage();
    const std::string gearGateCredits = Credits().text;
    EXPECT_NE(gearGateCredits, pluginCredits);
    EXPECT_FALSE(gearGateCredits.empty());

    const uint32_t table = arena.Allocate(0x10), records = arena.Allocate(48 + 20 * 21);
    arena.WriteU32(gameState + offs::kControlTableField, table);
    arena.WriteU32(table + 4, records);
    arena.WriteU32(records + 48 + 20 * 13, 1);
    auto warningColour = [&](uint32_t now) {
        platform::sim::SetTickCount(now);
        game.Clear();
        control->DrawPluginPage();
        for (size_t i = 0; i + 1 < game.calls.size(); ++i)
            if (game.calls[i].entry == "SetColour" && game.calls[i + 1].text.rfind("WARNING.", 0) == 0)
                return game.calls[i].numbers;
        return std::vector<float>{};
    };
    const std::vector<float> red{204 / 255.0f, 0, 0, 1}, yellow{1, 224 / 255.0f, 0, 1};
    EXPECT_EQ(warningColour(10000), yellow) << "more than 1500 ms since the start: the first flip";
    EXPECT_EQ(warningColour(11500), yellow) << "exactly 1500 ms is not more";
    EXPECT_EQ(warningColour(11501), red);
    EXPECT_EQ(warningColour(12000), red);
    EXPECT_EQ(warningColour(13002), yellow);
    EXPECT_EQ(Credits().text, gearGateCredits) << "the credits stay under the warning";
    platform::sim::SetTickCount(0);
}

// The first main object of a process makes the job and its idle thread, and
// says so in a verbose log.
TEST_F(MainObject, VerboseStartUpCreatesTheIdleInputJob) {
    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[Main]\nVerboseLogEnabled = true\n");
    Create();
    EXPECT_TRUE(Input::GetBackend().ThreadExists());
    EXPECT_FALSE(Input::GetBackend().IsRunning());
    const std::string log = scratch.LogText();
    const size_t job = log.find("] The backend job created\r\n"),
                 thread = log.find("] Backend Initialize\r\n"),
                 created = log.find("] KVTControl " KVT_VERSION " created");
    ASSERT_NE(created, std::string::npos) << log;
    EXPECT_LT(job, thread);
    EXPECT_LT(thread, created);
    g_verboseLog = false;
}

TEST_F(MainObject, UpDownMoveOnceAndSelectOnSaveWritesTheFile) {
    KVTControl* control = Create();
    control->GetPluginName();
    control->HandlePluginInput(0, 0, 1, 0, 0, 0);
    EXPECT_EQ(control->selectedIndex, 1) << "page and root both see the key, the selection moves once";
    control->HandlePluginInput(0, 1, 0, 0, 0, 0);
    EXPECT_EQ(control->selectedIndex, 0);
    control->HandlePluginInput(0, 0, 0, 0, 1, 0);
    EXPECT_EQ(*control->items[0]->Text(), "[2/4] RurAzu");
    game.Clear();
    control->DrawPluginPage();
    EXPECT_EQ(game.TextsAt(37), (std::vector<std::string>{"Page", "[2/4] RurAzu "}));

    const auto ini = scratch.pluginFolder() / "KVTControls.ini";
    EXPECT_EQ(scratch.ReadFile(ini), "");
    TheMenuBook().unsavedChanges = true;
    control->HandlePluginInput(0, 0, 1, 0, 0, 0);
    control->HandlePluginInput(0, 0, 0, 0, 0, 0x101);  // only the low byte of a bool counts
    EXPECT_NE(scratch.ReadFile(ini).find("[GearGate]"), std::string::npos);
    EXPECT_FALSE(TheMenuBook().unsavedChanges);
}

TEST_F(MainObject, HoldProgressUsesFiveSlotsAndDrawsBars) {
    KVTControl* control = Create();
    control->GetPluginName();
    MenuItem* never = HoldItem(7, 0);
    control->holdProgress.SetHoldProgress(never, 500);
    EXPECT_FALSE(control->holdProgress.Visible()) << "an instant binding never shows a bar";

    std::vector<MenuItem*> held;
    for (int32_t id = 10; id < 16; ++id) held.push_back(HoldItem(id, 1000));
    for (MenuItem* item : held) control->holdProgress.SetHoldProgress(item, 250);
    EXPECT_TRUE(control->holdProgress.Visible());
    auto slots = control->holdProgress.Slots();
    ASSERT_EQ(slots.size(), 5u);
    for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i].actionId, held[i]->id);

    control->holdProgress.SetHoldProgress(held[1], 0);
    EXPECT_EQ(control->holdProgress.Slots()[1].actionId, 0);
    control->holdProgress.SetHoldProgress(held[5], 1500);
    slots = control->holdProgress.Slots();
    EXPECT_EQ(slots[1].actionId, held[5]->id) << "the sixth action takes the freed slot";
    EXPECT_EQ(slots[1].caption, held[5]->Name());

    game.Clear();
    control->DrawHoldProgress();
    std::vector<float> tops, widths;
    bool background = true;  // each bar is a black box, then the coloured fill
    for (const auto& call : game.calls) {
        if (call.entry != "DrawFilledBox") continue;
        if (!background) widths.push_back(call.numbers[2]);
        background = !background;
    }
    for (const auto& call : game.calls)
        if (call.entry == "WriteText") tops.push_back(call.numbers[1]);
    EXPECT_EQ(tops, (std::vector<float>{250, 270, 290, 310, 330}));
    EXPECT_EQ(widths, (std::vector<float>{25, 100, 25, 25, 25})) << "a full bar is clamped to 100";
    std::vector<std::vector<float>> fills;  // the colour set before each coloured fill
    for (size_t i = 0; i + 1 < game.calls.size(); ++i)
        if (game.calls[i].entry == "SetColour" && game.calls[i + 1].entry == "DrawFilledBox" &&
            game.calls[i].numbers != std::vector<float>{0, 0, 0, 1})
            fills.push_back(game.calls[i].numbers);
    const std::vector<float> red{1, 0, 0, 1}, green{0, 1, 0, 1};
    EXPECT_EQ(fills, (std::vector<std::vector<float>>{red, green, red, red, red}))
        << "a held-enough bar is green";

    StoreMode(control, 3);
    EXPECT_FALSE(control->holdProgress.Visible()) << "entering mode 3 clears the overlay";
    for (const HoldProgressSlot& slot : control->holdProgress.Slots())
        EXPECT_EQ(slot.actionId, 0) << "and frees every slot, so five new actions fit";
    for (size_t i = 0; i < 5; ++i) control->holdProgress.SetHoldProgress(held[i], 500);
    game.Clear();
    control->DrawHoldProgress();
    EXPECT_EQ(game.TextsAt(20), (std::vector<std::string>{"Action 10"})) << "mode 3 draws at the top";
    EXPECT_EQ(game.TextsAt(100), (std::vector<std::string>{"Action 14"}));
    for (size_t i = 0; i < 4; ++i) control->holdProgress.SetHoldProgress(held[i], 0);
    game.Clear();
    control->DrawHoldProgress();
    EXPECT_EQ(game.Texts(), (std::vector<std::string>{"320,20:Action 14"})) << "free slots draw nothing";

    for (MenuItem* item : held) control->holdProgress.SetHoldProgress(item, 0);
    EXPECT_FALSE(control->holdProgress.Visible());
    game.Clear();
    control->DrawHoldProgress();
    EXPECT_TRUE(game.calls.empty());
}

TEST_F(MainObject, RepeatedGameModeRunsItsReactionOnce) {
    KVTControl* control = Create();
    control->GetPluginName();
    StoreMode(control, 3);
    control->holdProgress.SetHoldProgress(HoldItem(9, 1000), 100);
    StoreMode(control, 3);
    EXPECT_TRUE(control->holdProgress.Visible()) << "the second store of mode 3 is not a change";
}

// Only the low byte of a host bool counts: 0x100 is false.
TEST_F(MainObject, OnlyTheLowByteOfAHostBoolCounts) {
    KVTControl* control = Create();
    control->GetPluginName();
    control->HandlePluginInput(0, 0, 0x100, 0, 0, 0);
    EXPECT_EQ(control->selectedIndex, 0);
    control->HandlePluginInput(0, 0, 0, 0, 0x100, 0);
    EXPECT_EQ(*control->items[0]->Text(), "[1/4] RurAzu");

    const auto ini = scratch.pluginFolder() / "KVTControls.ini";
    control->HandlePluginInput(0, 0, 1, 0, 0, 0);
    ASSERT_EQ(control->selectedIndex, 1);
    TheMenuBook().unsavedChanges = true;
    control->HandlePluginInput(0, 0, 0, 0, 0, 0x100);
    EXPECT_EQ(scratch.ReadFile(ini), "") << "select 0x100 is no select";
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
}

TEST_F(MainObject, SelectOnAnyOtherLineSavesNothing) {
    KVTControl* control = Create();
    control->GetPluginName();
    TheMenuBook().unsavedChanges = true;
    const auto ini = scratch.pluginFolder() / "KVTControls.ini";
    control->HandlePluginInput(0, 0, 0, 0, 0, 1);  // on "Page"
    EXPECT_EQ(scratch.ReadFile(ini), "");
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
    control->selectedIndex = 2;  // the separator, as a stale index could leave it
    control->HandlePluginInput(0, 0, 0, 0, 0, 1);
    EXPECT_EQ(scratch.ReadFile(ini), "");
}

// Each of the host's H-pattern controls alone is enough for the warning; 14 is no gear.
TEST_F(MainObject, EveryHostGearControlAloneWarns) {
    KVTControl* control = Create();
    control->GetPluginName();
    control->items[0]->SetValue("[3/4] GearGate");
    const uint32_t table = arena.Allocate(0x10), records = arena.Allocate(48 + 20 * 32);
    arena.WriteU32(gameState + offs::kControlTableField, table);
    arena.WriteU32(table + 4, records);
    const std::string warning = "WARNING. Original KVT H-PATTERN Gear1-6-R buttons set.";
    for (uint32_t control_ = 12; control_ <= 21; ++control_) {
        arena.WriteU32(records + 48 + 20 * control_, 1);
        g_settings->gearGateEnabled = true;
        game.Clear();
        control->DrawPluginPage();
        const bool gear = control_ == 13 || (control_ >= 15 && control_ <= 20);
        EXPECT_EQ(game.TextsAt(401) == std::vector<std::string>{warning}, gear) << "control " << control_;
        EXPECT_EQ(g_settings->gearGateEnabled.load(), !gear) << "control " << control_;
        arena.WriteU32(records + 48 + 20 * control_, 0);
    }
}

// The render device is asked for the host window only while the window is
// unknown and a device exists: once at start-up here, never again.
TEST_F(MainObject, HostWindowIsAskedForOnlyUntilKnown) {
    const uint32_t holder = arena.ReadU32(arena.ReadU32(kBase + offs::kRenderRoot) + offs::kRenderChild);
    arena.WriteU32(holder + offs::kRenderDevice, 0);
    KVTControl* control = Create();
    control->GetPluginName();
    EXPECT_EQ(platform::sim::DeviceQueryCount(), 0u) << "no device, no question";
    EXPECT_EQ(Host().hostWindow.load(), 0u);
    StoreMode(control, 2);
    EXPECT_EQ(platform::sim::DeviceQueryCount(), 0u);

    arena.WriteU32(holder + offs::kRenderDevice, device);
    StoreMode(control, 4);
    EXPECT_EQ(platform::sim::DeviceQueryCount(), 1u);
    EXPECT_EQ(Host().hostWindow.load(), kWindow);
    StoreMode(control, 3);
    StoreMode(control, 1);
    EXPECT_EQ(platform::sim::DeviceQueryCount(), 1u) << "a known window is kept";
}

// The host may destroy the main object and create another in the same
// process: settings, start-up and the last mode seen belong to the process.
TEST_F(MainObject, ASecondMainObjectKeepsTheProcessState) {
    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[GearGate]\nClutchThreshold = 0.5\n");
    KVTControl* first = Create();
    first->GetPluginName();
    StoreMode(first, 3);
    const uint32_t requests = Input::GetBackend().startRequests();
    Config::Setting* settings = g_settings;
    ASSERT_EQ(settings->bindingItems.size(), 54u) << "the RurAzu actions and the GearGate rows";
    ASSERT_FALSE(Input::GetBackend().Listeners().empty());
    first->DeletingDestructor(1);
    EXPECT_TRUE(Input::GetBackend().Listeners().empty()) << "the job would call the pages gone";
    EXPECT_EQ(g_settings, settings) << "the settings outlive the main object";

    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini", "[GearGate]\nClutchThreshold = 0.25\n");
    KVTControl* second = Create();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(g_settings, settings) << "created once per process";
    EXPECT_FLOAT_EQ(g_settings->clutchThreshold, 0.5f) << "the file is read once, the document kept";
    EXPECT_EQ(g_settings->bindingItems.size(), 54u) << "the first object's lines left the list";

    Input::GetBackend().StopJob();
    second->GetPluginName();
    EXPECT_TRUE(static_cast<KVTRurazu*>(second->children[0])->listenerRegistered)
        << "the new pages still get their first call";
    EXPECT_EQ(Input::GetBackend().startRequests(), requests) << "no second start-up";
    second->shifterPage->Engine().driving = true;
    StoreMode(second, 3);
    EXPECT_TRUE(second->shifterPage->Engine().driving) << "mode 3 was already the last mode seen";
    StoreMode(second, 1);
    EXPECT_TRUE(second->shifterPage->Engine().driving);
    StoreMode(second, 3);
    EXPECT_EQ(Input::GetBackend().startRequests(), requests + 1) << "the stopped job is asked to start again";
}

TEST(HostLocationsTest, ResolvesWhatExistsAndPicksUpTheWindowLater) {
    ResetHostLocations();
    {
        HostArena noHost(0, 0x1400000);
        EXPECT_FALSE(RefreshHostLocations()) << "no host image: nothing resolves";
        EXPECT_EQ(Host().gameState.load(), 0u);
    }
    HostArena arena(kBase, 0x1400000);
    const uint32_t state = arena.Allocate(0x1000), object2 = arena.Allocate(16), other = arena.Allocate(16);
    arena.WriteU32(kBase + offs::kGameState, state);
    arena.WriteU32(kBase + offs::kHostObject2, object2);
    ASSERT_TRUE(RefreshHostLocations());
    EXPECT_EQ(Host().gameState.load(), state);
    EXPECT_EQ(Host().carSelection.load(), kBase + offs::kCarSelection);
    EXPECT_EQ(Host().renderDevice.load(), 0u);
    EXPECT_EQ(Host().hostWindow.load(), 0u);
    EXPECT_EQ(ReadGameMode(), 0);
    EXPECT_FALSE(HostHPatternBound()) << "a null control table binds nothing";

    const uint32_t root = arena.Allocate(0x40), child = arena.Allocate(0x100), device = arena.Allocate(16);
    arena.WriteU32(kBase + offs::kRenderRoot, root);
    arena.WriteU32(root + offs::kRenderChild, child);
    arena.WriteU32(child + offs::kRenderDevice, device);
    platform::sim::SetDeviceWindow(device, kWindow);
    arena.WriteU32(kBase + offs::kHostObject2, other);
    ASSERT_TRUE(RefreshHostLocations());
    EXPECT_EQ(Host().renderDevice.load(), device);
    EXPECT_EQ(Host().hostWindow.load(), kWindow);
    EXPECT_EQ(Host().hostObject2.load(), object2) << "kept once found";
    ResetHostLocations();
}

}  // namespace
