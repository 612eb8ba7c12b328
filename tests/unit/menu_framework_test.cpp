// The menu framework: selection movement, value editing, drawing of the lines
// and the choice operations of a menu line.
#include <gtest/gtest.h>

#include <memory>

#include "config/setting.h"
#include "core/plugin_base.h"
#include "core/setting_id.h"
#include "test_support.h"

using kvt_test::RecordingGame;

namespace {

class TestPage : public CPluginBase {
public:
    using CPluginBase::CPluginBase;
    const char* GetPluginName() override { return "test"; }
};

// A root with the page selector, the save line and a separator, and two pages:
// "A" with an enable switch, a decimal, an integer and a choice; "B" with one toggle.
class MenuTree : public ::testing::Test {
protected:
    void SetUp() override {
        kvt_test::ForgetProcessState();
        settings = std::make_unique<Config::Setting>();
        g_settings = settings.get();
        root = std::make_unique<TestPage>(&game, "", nullptr, nullptr);
        selector = MenuItem::OwnChoice(MENUPAGE_SWITCH, "Page", UNKNOWN, "switch");
        selector->AddOption("A");
        selector->AddOption("B");
        selector->SetValue("A");
        root->items = {selector, MenuItem::OwnChoice(SAVE_SETTINGS, "Save Settings", SAVE_SETTINGS, ""),
                       MenuItem::OwnChoice(SEPARATOR, "", UNKNOWN, "")};
        pageA = new TestPage(&game, "A", &pageOn, root.get());
        enable = MenuItem::Toggle(PLUGIN_ENABLED, "Enabled", UNKNOWN, "", &pageOn);
        decimal = MenuItem::Decimal(52, "Threshold", UNKNOWN, "", &threshold, 1.0, 0.1);
        integer = MenuItem::Integer(60, "Count", UNKNOWN, "", &count, -2, 2);
        choice = MenuItem::OwnChoice(49, "Type", UNKNOWN, "");
        for (const char* option : {"one", "two", "three"}) choice->AddOption(option);
        choice->SetValue("one");
        pageA->items = {enable, decimal, integer, choice};
        pageB = new TestPage(&game, "B", nullptr, root.get());
        pageB->items = {MenuItem::Toggle(50, "Flag", UNKNOWN, "", &flag)};
        root->children = {pageA, pageB};
    }
    void TearDown() override {
        root.reset();
        g_settings = nullptr;
    }

    // Sends one key to the page shown, then to the root, as the main object does.
    void Press(bool upKey, bool downKey, bool leftKey = false, bool rightKey = false) {
        bool up = upKey, down = downKey;
        CPluginBase* page = root->CurrentPage();
        if (page && page->HandleMenuInput(&selected, 0, &up, &down, leftKey, rightKey, false)) return;
        root->HandleMenuInput(&selected, 0, &up, &down, leftKey, rightKey, false);
    }
    void SelectItem(const MenuItem* item) {
        for (int32_t i = 0; i < 10; ++i)
            if (root->ItemAt(i) == item) selected = i;
    }

    RecordingGame game;
    std::unique_ptr<Config::Setting> settings;
    std::unique_ptr<TestPage> root;
    TestPage* pageA = nullptr;
    TestPage* pageB = nullptr;
    MenuItem *selector = nullptr, *enable = nullptr, *decimal = nullptr, *integer = nullptr,
             *choice = nullptr;
    std::atomic<bool> pageOn{true};
    std::atomic<bool> flag{false};
    std::atomic<float> threshold{0.5f};
    std::atomic<int32_t> count{0};
    int32_t selected = 0;
};

TEST_F(MenuTree, SelectionWrapsSkipsTheSeparatorAndMovesOnceForTwoHandlers) {
    // Root 3 lines + page A 4 lines: T = 7.
    Press(true, false);
    EXPECT_EQ(selected, 6) << "up from the first line goes to the current page's last line";
    Press(false, true);
    EXPECT_EQ(selected, 0) << "down from the last line goes to the first";
    Press(false, true);
    EXPECT_EQ(selected, 1);
    Press(false, true);
    EXPECT_EQ(selected, 3) << "the separator at 2 is skipped";
    Press(true, false);
    EXPECT_EQ(selected, 1) << "and skipped going up as well";
}

TEST_F(MenuTree, PageSwitchChangesTheLinesBelowTheRootButNotPendingChanges) {
    Press(false, false, false, true);
    EXPECT_EQ(*selector->Text(), "B");
    EXPECT_EQ(root->CurrentPage(), pageB);
    EXPECT_EQ(root->ItemAt(3), pageB->items[0]);
    EXPECT_EQ(root->ItemAt(4), nullptr);
    Press(false, false, false, true);
    EXPECT_EQ(*selector->Text(), "A") << "right on the last option wraps to the first";
    Press(false, false, true, false);
    EXPECT_EQ(*selector->Text(), "B") << "left on the first option wraps to the last";
    EXPECT_FALSE(TheMenuBook().unsavedChanges);
}

TEST_F(MenuTree, ChoiceSteppingTreatsAnUnknownValueAsTheFirstOption) {
    SelectItem(choice);
    Press(false, false, true, false);
    EXPECT_EQ(*choice->Text(), "three");
    Press(false, false, false, true);
    EXPECT_EQ(*choice->Text(), "one");
    *choice->Text() = "not an option";
    Press(false, false, false, true);
    EXPECT_EQ(*choice->Text(), "two");
    *choice->Text() = "not an option";
    Press(false, false, true, false);
    EXPECT_EQ(*choice->Text(), "three");
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
}

TEST_F(MenuTree, NumbersStayWithinTheirBounds) {
    SelectItem(decimal);
    threshold = 0.95f;
    Press(false, false, false, true);
    EXPECT_FLOAT_EQ(threshold, 1.0f);
    Press(false, false, false, true);
    EXPECT_FLOAT_EQ(threshold, 1.0f) << "at the maximum a step up stays at the maximum";
    threshold = -0.5f;
    Press(false, false, false, true);
    EXPECT_FLOAT_EQ(threshold, 0.0f) << "below the minimum the value is raised to it";
    Press(false, false, true, false);
    EXPECT_FLOAT_EQ(threshold, 0.0f);

    SelectItem(integer);
    for (int i = 0; i < 5; ++i) Press(false, false, true, false);
    EXPECT_EQ(count, -2);
    for (int i = 0; i < 9; ++i) Press(false, false, false, true);
    EXPECT_EQ(count, 2);
    count = INT32_MAX;
    integer->intMax = INT32_MAX;
    Press(false, false, false, true);
    EXPECT_EQ(count, INT32_MAX) << "no overflow past the largest value";
}

TEST_F(MenuTree, DisabledPageKeepsOnlyItsSwitchEditableAndGreysTheRest) {
    pageOn = false;
    SelectItem(decimal);
    const float before = threshold;
    Press(false, false, false, true);
    EXPECT_EQ(threshold, before);
    EXPECT_FALSE(TheMenuBook().unsavedChanges);

    root->DrawMenuItems(selected, 65, 37);
    pageA->DrawMenuItems(selected, 65, 88);
    int grey = 0, normal = 0;
    for (const auto& call : game.calls) {
        if (call.entry == "SetColour" && call.numbers == std::vector<float>{120, 120, 120, 10}) ++grey;
        if (call.entry == "SetPresetColour" && call.numbers[0] == 3) ++normal;
    }
    EXPECT_EQ(grey, 3) << "decimal, integer and choice of the disabled page";
    EXPECT_EQ(normal, 3) << "the root's two lines and the page's switch";

    SelectItem(enable);
    Press(false, false, false, true);
    EXPECT_TRUE(pageOn);
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
}

TEST_F(MenuTree, DrawingPlacesLinesSeparatorAndSelectionBar) {
    selected = 3;  // the page's first line
    float y = root->DrawMenuItems(selected, 65, 37);
    EXPECT_EQ(y, 37 + 17 + 17 + 4);
    y = pageA->DrawMenuItems(selected, 65, y);
    EXPECT_EQ(y, 75 + 4 * 17);
    EXPECT_EQ(game.SelectionBarY(), 75);
    bool separator = false;
    for (const auto& call : game.calls)
        if (call.entry == "DrawSelectionBar" && call.numbers == std::vector<float>{65, 71, 440, 3})
            separator = true;
    EXPECT_TRUE(separator);
    EXPECT_EQ(game.TextsAt(75), (std::vector<std::string>{"Enabled", "ENABLED"}));
    EXPECT_EQ(game.TextsAt(92), (std::vector<std::string>{"Threshold", "0.500"}));
    EXPECT_EQ(game.TextsAt(109), (std::vector<std::string>{"Count", "0"}));
}

TEST_F(MenuTree, SaveLineShowsPendingChangesOnlyAfterAnEdit) {
    EXPECT_EQ(root->items[1]->ValueText(), "");
    SelectItem(integer);
    Press(false, false, false, true);
    EXPECT_EQ(root->items[1]->ValueText(), "[PENDING CHANGES]");
}

TEST(MenuItemText, BindingShowsItsMarksAndLongTextIsCut) {
    Config::Setting settings;
    g_settings = &settings;
    std::unique_ptr<MenuItem> item(MenuItem::Binding(RURAZU_UP, "Up", "", 0));
    item->SetValue("#3 Wheel");
    item->delayMark = 2;
    item->contextMark = 2;
    EXPECT_EQ(item->ValueText(), "#3 Wheel [==] [menu]");
    item->delayMark = 0;
    item->contextMark = 1;
    EXPECT_EQ(item->ValueText(), "#3 Wheel [race]");
    item->SetValue(std::string(300, 'x'));
    EXPECT_EQ(item->ValueText().size(), kMaxValueText);
    EXPECT_EQ(settings.bindingItems, std::vector<MenuItem*>{item.get()});
    item.reset();
    EXPECT_TRUE(settings.bindingItems.empty()) << "a destroyed item leaves the list";
    g_settings = nullptr;
}

TEST(MenuItemText, OptionsMatchWithoutCaseAndGuardTheValue) {
    std::unique_ptr<MenuItem> item(MenuItem::OwnChoice(49, "Type", UNKNOWN, ""));
    EXPECT_EQ(item->OptionIndex("x"), -1);
    EXPECT_EQ(item->AddOption("Sequential"), 0);
    EXPECT_EQ(item->AddOption("H-Pattern"), 1);
    EXPECT_EQ(item->AddOption("SEQUENTIAL"), 0);
    EXPECT_EQ(item->options->size(), 2u);
    item->SetValue("nonsense");
    EXPECT_EQ(*item->Text(), "");
    item->SetValue("h-pattern");
    EXPECT_EQ(*item->Text(), "h-pattern");
    item->SelectOption(5);
    EXPECT_EQ(*item->Text(), "h-pattern");
    item->SelectOption(0);
    EXPECT_EQ(*item->Text(), "Sequential");

    std::atomic<bool> on{true};
    std::unique_ptr<MenuItem> toggle(MenuItem::Toggle(4, "On", UNKNOWN, "", &on));
    toggle->SetValue("x");
    EXPECT_EQ(toggle->AddOption("x"), -1);
    EXPECT_EQ(toggle->ValueText(), "ENABLED");
}

TEST_F(MenuTree, LookupsFindItemsPagesAndBoundDevices) {
    EXPECT_EQ(root->FindItem(50), pageB->items[0]);
    EXPECT_EQ(root->FindItem(999), nullptr);
    EXPECT_EQ(root->FindChildPage("a"), nullptr) << "page names match exactly";
    MenuItem* binding = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    pageB->items.push_back(binding);
    binding->SetValue("#3 My Wheel");
    EXPECT_TRUE(pageB->UsesDevice("My Wheel"));
    EXPECT_FALSE(pageB->UsesDevice("My"));
    EXPECT_FALSE(pageA->UsesDevice("My Wheel"));
    // A controller bound only through an axis must still be opened.
    binding->SetValue("A0<-16384 KVT Pedals");
    EXPECT_TRUE(pageB->UsesDevice("KVT Pedals"));
    EXPECT_FALSE(pageB->UsesDevice("My Wheel"));
}

}  // namespace
