// The RurAzu pages as the main object builds them: every action's line, its
// kind and key code, its hint, the press records per page, the order of the
// binding list, and what the settings file gets and gives for them.
#include <gtest/gtest.h>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/setting_id.h"
#include "input/sdl_backend.h"
#include "plugin/kvt_control.h"
#include "rurazu/rurazu_pages.h"
#include "test_support.h"

namespace {

class RurAzuPages : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCoreOnce();
        Config::ResetSettingsForTest();
        Input::ResetBackendForTest();
    }
    void TearDown() override {
        if (g_instance) g_instance->DeletingDestructor(1);
        Input::ResetBackendForTest();
        Config::ResetSettingsForTest();
        ResetCoreOnce();
    }
    KVTControl* Create() { return static_cast<KVTControl*>(KVT_CreatePlugin(&game)); }
    static KVTRurazuBase* Page(KVTControl* control, size_t index) {
        return static_cast<KVTRurazuBase*>(control->children[index]);
    }
    static std::vector<std::string> Labels(const CPluginBase* page) {
        std::vector<std::string> labels;
        for (const MenuItem* item : page->items) labels.push_back(item->Name());
        return labels;
    }

    kvt_test::ScratchGame scratch;
    kvt_test::RecordingGame game;
};

TEST_F(RurAzuPages, EachPageListsItsActionsInOrder) {
    KVTControl* control = Create();
    ASSERT_NE(control, nullptr);
    // Page 1's texts are guarded once, as drawn: tests/e2e/scenarios/menu_first_frame.kvts.
    EXPECT_EQ(Labels(Page(control, 0)).size(), 17u);
    EXPECT_EQ(Labels(Page(control, 1)),
              (std::vector<std::string>{"Ignition", "Restart Stage", "Call for Help", "Retire Stage",
                                        "Exit KVT", "F1", "F9", "F11", "Numpad 4", "Numpad 6", "Numpad 8",
                                        "Numpad 2", "Numpad 0", "Numpad +", "Numpad -", "Numpad *", "Custom1",
                                        "Custom2", "Custom3"}));
    EXPECT_EQ(
        Labels(Page(control, 2)),
        (std::vector<std::string>{"VR Reset View", "VR Debug Toggle", "Move Seat Forward", "Move Seat Right",
                                  "Move Seat Backward", "Move Seat Left", "Move Seat Up", "Move Seat Down"}));

    // The press records cover the actions, not page 1's switch (read while
    // no job runs).
    KVT_ASSERT_JOB_THREAD(Input::GetBackend());
    EXPECT_EQ(Page(control, 0)->firstAction, 1);
    EXPECT_EQ(Page(control, 0)->lastAction, 16);
    EXPECT_EQ(Page(control, 0)->Engine().PressStates().size(), 16u);
    EXPECT_EQ(Page(control, 1)->firstAction, 0);
    EXPECT_EQ(Page(control, 1)->Engine().PressStates().size(), 19u);
    EXPECT_EQ(Page(control, 2)->Engine().PressStates().size(), 8u);

    // The binding list holds each action once, page 1, page 2, VR page, as
    // the pages are made: the GearGate page's rows come between pages 2 and VR.
    ASSERT_EQ(g_settings->bindingItems.size(), 54u);
    EXPECT_EQ(g_settings->bindingItems.front()->id, RURAZU_UP);
    EXPECT_EQ(g_settings->bindingItems[15]->id, RURAZU_DEL);
    EXPECT_EQ(g_settings->bindingItems[16]->id, RURAZU_IGNITION);
    EXPECT_EQ(g_settings->bindingItems[28]->id, RURAZU_NUM0) << "the numeric pad in display order";
    EXPECT_EQ(g_settings->bindingItems[35]->id, GEARGATE_GEAR_1);
    EXPECT_EQ(g_settings->bindingItems[45]->id, GEARGATE_TOGGLE_MODE);
    EXPECT_EQ(g_settings->bindingItems[46]->id, RURAZU_VR_RESETVIEW);
    EXPECT_EQ(g_settings->bindingItems.back()->id, RURAZU_VR_MOVE_SEAT_DOWN);
}

TEST_F(RurAzuPages, KeyActionsCarryTheirKeyAndSpecialOnesDoNot) {
    KVTControl* control = Create();
    const MenuItem* onOff = control->FindItem(PLUGIN_ENABLED);
    ASSERT_NE(onOff, nullptr);
    EXPECT_EQ(onOff->type, ITEM_TOGGLE);
    EXPECT_EQ(onOff->Flag(), &g_settings->rurAzuEnabled);
    EXPECT_EQ(onOff->description, "[< >] Enable/Disable control mapping");
    EXPECT_NE(onOff->group, KEYBIND);

    const std::string hint = "[ENTER] Bind [DEL] Unbind [< >] Delay Instant/=Short/==Long";
    struct Expected {
        int32_t id;
        int32_t type;
        int32_t extra;
        std::string description;
    };
    for (const Expected& e : std::vector<Expected>{
             {RURAZU_UP, ITEM_BINDING, 0x26, hint + " (Menu navigation)"},
             {RURAZU_BACK, ITEM_BINDING, 0x08, hint + " (Prev menu)"},
             {RURAZU_LSHIFT, ITEM_BINDING, 0xA0, hint},
             {RURAZU_LCTRL_S, ITEM_CHOICE, -1, hint + " (Save changes in Setup Editor)"},
             {RURAZU_DEL, ITEM_BINDING, 0x2E, hint},
             {RURAZU_IGNITION, ITEM_CHOICE, -1, hint + " (Engine ignition)"},
             {RURAZU_EXIT_KVT, ITEM_CHOICE, -1, hint + " (Exit and close KVT)"},
             {RURAZU_F11, ITEM_BINDING, 0x7A, hint + " (Screenshot)"},
             {RURAZU_NUM0, ITEM_BINDING, 0x60, hint},
             {RURAZU_MULTIPLY, ITEM_BINDING, 0x6A, hint},
             {RURAZU_CUSTOM1, ITEM_BINDING, 0, hint + " (See plugins KVTControls.ini file)"},
             {RURAZU_VR_MOVE_SEAT_DOWN, ITEM_CHOICE, -1, hint + " (Move seat down)"},
         }) {
        const MenuItem* item = control->FindItem(e.id);
        ASSERT_NE(item, nullptr) << SettingName(e.id);
        EXPECT_EQ(item->type, e.type) << SettingName(e.id);
        EXPECT_EQ(item->group, KEYBIND) << SettingName(e.id);
        EXPECT_EQ(item->extra, e.extra) << SettingName(e.id);
        EXPECT_EQ(item->description, e.description) << SettingName(e.id);
        EXPECT_EQ(item->TextValue(), "") << SettingName(e.id);
    }
}

TEST_F(RurAzuPages, SettingsGiveBindingsMarksAndCustomKeys) {
    scratch.WriteFile(scratch.pluginFolder() / "KVTControls.ini",
                      "[KeyBind]\nRURAZU_ENTER = #3 Pro Wheel\nRURAZU_ENTER_TRIGGERTYPE = 2\n"
                      "RURAZU_IGNITION = H0.1 Pro Wheel\nRURAZU_CUSTOM1_KEYCODE = F\n");
    KVTControl* control = Create();
    const MenuItem* enter = control->FindItem(RURAZU_ENTER);
    EXPECT_EQ(enter->TextValue(), "#3 Pro Wheel");
    EXPECT_EQ(enter->delayMark, 2u);
    EXPECT_EQ(enter->contextMark, 2u) << "Enter's default rule: menus";
    EXPECT_EQ(enter->ValueText(), "#3 Pro Wheel [==] [menu]");
    EXPECT_EQ(control->FindItem(RURAZU_IGNITION)->TextValue(), "H0.1 Pro Wheel");
    const MenuItem* custom = control->FindItem(RURAZU_CUSTOM1);
    EXPECT_EQ(custom->extra, 0x46);
    EXPECT_EQ(custom->Name(), "Custom1 (F)");
    EXPECT_EQ(control->FindItem(RURAZU_CUSTOM2)->extra, 0) << "no code: nothing to send";

    g_settings->SaveAllSettings();
    const std::string text = scratch.ReadFile(scratch.pluginFolder() / "KVTControls.ini");
    for (const char* line : {"RURAZU_UP = \n", "RURAZU_UP_GAMEMODE = 0\n", "RURAZU_UP_TRIGGERTYPE = 0\n",
                             "RURAZU_RETIRE_STAGE_TRIGGERTYPE = 2\n", "RURAZU_CUSTOM1_KEYCODE = F\n",
                             "RURAZU_CUSTOM3_KEYCODE = \n", "RURAZU_VR_MOVE_SEAT_DOWN_GAMEMODE = 0\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

}  // namespace
