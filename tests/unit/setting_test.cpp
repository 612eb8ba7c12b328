// The settings object over a real KVTControls.ini in a scratch game folder:
// defaults written back, binding items, key codes, clamping, saving.
#include "config/setting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/log.h"
#include "core/menu_item.h"
#include "core/setting_id.h"
#include "test_support.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override { g_settings = &settings; }
    void TearDown() override {
        bindings.clear();
        g_settings = nullptr;
    }

    std::filesystem::path IniPath() const { return scratch.pluginFolder() / "KVTControls.ini"; }
    void WriteIni(const std::string& text) { scratch.WriteFile(IniPath(), text); }
    std::string IniText() const { return scratch.ReadFile(IniPath()); }
    MenuItem* Bind(int32_t id, const char* name) {
        bindings.emplace_back(MenuItem::Binding(id, name, "", 0));
        return bindings.back().get();
    }
    void Load() {
        settings.LoadSettingsFile();
        settings.ReadAllSettings();
    }
    // A whole line, whatever the platform's line end.
    bool Contains(const std::string& line) const {
        const std::string text = "\n" + IniText();
        for (size_t at = text.find("\n" + line); at != std::string::npos;
             at = text.find("\n" + line, at + 1)) {
            const size_t end = at + 1 + line.size();
            if (end == text.size() || text[end] == '\r' || text[end] == '\n') return true;
        }
        return false;
    }

    kvt_test::ScratchGame scratch;
    Config::Setting settings;
    std::vector<std::unique_ptr<MenuItem>> bindings;
};

TEST_F(Settings, FirstSaveWritesEverySectionWithItsDefaults) {
    Bind(RURAZU_UP, "Up");
    Bind(RURAZU_EXIT_KVT, "Exit");
    Bind(RURAZU_CUSTOM1, "Custom1");
    Bind(GEARGATE_GEAR_1, "H-Pattern Gear 1");
    Load();
    EXPECT_TRUE(std::filesystem::exists(IniPath()));
    EXPECT_EQ(IniText(), "") << "reading alone never writes the file";
    TheMenuBook().unsavedChanges = true;
    settings.SaveAllSettings();
    EXPECT_FALSE(TheMenuBook().unsavedChanges);

    const std::string text = IniText();
    const size_t main = text.find("[Main]"), rurazu = text.find("[RurAzu]"), gear = text.find("[GearGate]"),
                 keys = text.find("[KeyBind]");
    ASSERT_NE(main, std::string::npos);
    ASSERT_NE(keys, std::string::npos);
    EXPECT_LT(main, rurazu);
    EXPECT_LT(rurazu, gear);
    EXPECT_LT(gear, keys);
    for (const char* line :
         {"VerboseLogEnabled = false", "DelayedInitEnabled = true", "Enabled = false", "SoundVolume = 1",
          "SoundVolumeShiftType = 1", "SoundFilePath = ", "AutoNeutral = true", "ClutchRequired = 1",
          "ClutchThreshold = 0.35", "Type = 2", "RURAZU_UP = ", "RURAZU_UP_TRIGGERTYPE = 0",
          "RURAZU_UP_GAMEMODE = 0", "RURAZU_EXIT_KVT_TRIGGERTYPE = 2", "RURAZU_EXIT_KVT_GAMEMODE = 0",
          "RURAZU_CUSTOM1 = ", "RURAZU_CUSTOM1_KEYCODE = ", "GEARGATE_GEAR_1 = "})
        EXPECT_TRUE(Contains(line)) << line << "\n" << text;
    EXPECT_EQ(text.find("GEARGATE_GEAR_1_TRIGGERTYPE"), std::string::npos);
    EXPECT_EQ(text.find("PollIntervalMs"), std::string::npos) << "an older version's file would gain a line";
}

TEST_F(Settings, SavingWithoutChangesLeavesTheFileAlone) {
    Bind(RURAZU_UP, "Up");
    Load();
    settings.SaveAllSettings();
    const std::string saved = IniText();
    ASSERT_FALSE(saved.empty());
    std::filesystem::remove(IniPath());
    settings.SaveAllSettings();
    EXPECT_FALSE(std::filesystem::exists(IniPath())) << "nothing changed, so nothing was written";

    *bindings[0]->Text() = "#2 Pad";
    settings.SaveAllSettings();
    EXPECT_NE(IniText().find("RURAZU_UP = #2 Pad"), std::string::npos);
}

// Every file an older version saved lacks PollIntervalMs: after a restart, a
// save with nothing changed must leave the player's own spacing alone.
TEST_F(Settings, AnOlderCompleteFileSavesUnchangedAfterARestart) {
    Bind(RURAZU_UP, "Up");
    Load();
    TheMenuBook().unsavedChanges = true;
    settings.SaveAllSettings();
    std::string older = IniText();
    const size_t volume = older.find("SoundVolume = 1");
    ASSERT_NE(volume, std::string::npos);
    older.replace(volume, 15, "SoundVolume=1\n");
    WriteIni(older);

    Config::Setting restarted;
    g_settings = &restarted;
    restarted.LoadSettingsFile();
    restarted.ReadAllSettings();
    restarted.SaveAllSettings();
    g_settings = &settings;
    EXPECT_EQ(IniText(), older);
}

TEST_F(Settings, KeepsTheUsersCommentsOrderAndLetterCase) {
    WriteIni(
        "; my bindings\n[keybind]\nrurazu_up = #1 Pad ; first\n\n[GearGate]\n; volume\nSoundVolume = 0.5\n");
    MenuItem* up = Bind(RURAZU_UP, "Up");
    Load();
    EXPECT_EQ(*up->Text(), "#1 Pad ; first");
    EXPECT_FLOAT_EQ(settings.soundVolume, 0.5f);
    settings.SaveAllSettings();
    const std::string text = IniText();
    EXPECT_EQ(text.rfind("; my bindings", 0), 0u) << text;
    EXPECT_NE(text.find("; volume"), std::string::npos);
    EXPECT_LT(text.find("[keybind]"), text.find("[GearGate]"));
}

TEST_F(Settings, TriggerTypeAndGameModeTakeDefaultsAndAreClamped) {
    WriteIni("[KeyBind]\nRURAZU_UP_TRIGGERTYPE = 7\nRURAZU_UP_GAMEMODE = -1\n");
    MenuItem* up = Bind(RURAZU_UP, "Up");
    MenuItem* exitKvt = Bind(RURAZU_EXIT_KVT, "Exit");
    MenuItem* enter = Bind(RURAZU_ENTER, "Enter");
    MenuItem* restart = Bind(RURAZU_RESTART_STAGE, "Restart");
    MenuItem* f1 = Bind(RURAZU_F1, "F1");
    Load();
    EXPECT_EQ(up->delayMark, 2u);
    EXPECT_EQ(up->contextMark, 0u);
    EXPECT_EQ(exitKvt->delayMark, 2u);
    EXPECT_EQ(exitKvt->contextMark, 0u);
    EXPECT_EQ(enter->delayMark, 0u);
    EXPECT_EQ(enter->contextMark, 2u);
    EXPECT_EQ(restart->delayMark, 2u);
    EXPECT_EQ(restart->contextMark, 1u);
    EXPECT_EQ(f1->delayMark, 0u);
    EXPECT_EQ(f1->contextMark, 1u);
}

TEST_F(Settings, CustomKeyCodesRoundTripAndNameTheLine) {
    WriteIni(
        "[KeyBind]\nRURAZU_CUSTOM1_KEYCODE = a\nRURAZU_CUSTOM2_KEYCODE = 0X6A\nRURAZU_CUSTOM3_KEYCODE = ;\n");
    MenuItem* c1 = Bind(RURAZU_CUSTOM1, "Custom1");
    MenuItem* c2 = Bind(RURAZU_CUSTOM2, "Custom2");
    MenuItem* c3 = Bind(RURAZU_CUSTOM3, "Custom3");
    Load();
    EXPECT_EQ(c1->extra, 65);
    EXPECT_EQ(c1->Name(), "Custom1 (a)");
    EXPECT_EQ(c2->extra, 106);
    EXPECT_EQ(c2->Name(), "Custom2 (0X6A)");
    EXPECT_EQ(c3->extra, 59);
    settings.SaveAllSettings();
    EXPECT_TRUE(Contains("RURAZU_CUSTOM1_KEYCODE = A"));
    EXPECT_TRUE(Contains("RURAZU_CUSTOM2_KEYCODE = 0x6a"));
    EXPECT_TRUE(Contains("RURAZU_CUSTOM3_KEYCODE = 0x3b"));
}

// The code is read from the whole text, but the label shows no more of it than
// a value line would, so the host never draws a 100 000-character name.
TEST_F(Settings, CustomLabelShowsAtMostAValuesLengthOfItsKeyCode) {
    const std::string codeText = "0x" + std::string(100000, '0') + "6a";
    WriteIni("[KeyBind]\nRURAZU_CUSTOM1_KEYCODE = " + codeText + "\n");
    MenuItem* c1 = Bind(RURAZU_CUSTOM1, "Custom1");
    Load();
    EXPECT_EQ(c1->extra, 106);
    EXPECT_EQ(c1->Name(), "Custom1 (" + codeText.substr(0, 127) + ")");
    settings.SaveAllSettings();
    EXPECT_TRUE(Contains("RURAZU_CUSTOM1_KEYCODE = 0x6a"));
}

TEST_F(Settings, BadKeyCodeIsLoggedAndCountsAsNone) {
    WriteIni("[KeyBind]\nRURAZU_CUSTOM1_KEYCODE = zz\nRURAZU_CUSTOM2_KEYCODE = -\n");
    MenuItem* c1 = Bind(RURAZU_CUSTOM1, "Custom1");
    MenuItem* c2 = Bind(RURAZU_CUSTOM2, "Custom2");
    Load();
    EXPECT_EQ(c1->extra, 0);
    EXPECT_EQ(c1->Name(), "Custom1");
    EXPECT_EQ(c2->extra, 0);
    EXPECT_EQ(c2->Name(), "Custom2");
    EXPECT_NE(scratch.LogText().find("ERROR. Invalid KEYCODE option in RURAZU_CUSTOM1_KEYCODE=zz"),
              std::string::npos)
        << scratch.LogText();
}

TEST_F(Settings, BindingTextIsCutAndMustBeAnAllowedOption) {
    const std::string longText(200, 'b');
    WriteIni("[KeyBind]\nRURAZU_UP = " + longText + "\nRURAZU_DOWN = #9 Pad\n");
    MenuItem* up = Bind(RURAZU_UP, "Up");
    MenuItem* down = Bind(RURAZU_DOWN, "Down");
    down->AddOption("#1 Pad");
    down->SetValue("#1 Pad");
    Load();
    EXPECT_EQ(*up->Text(), longText.substr(0, 127));
    EXPECT_EQ(*down->Text(), "#1 Pad") << "a text outside the allowed list is ignored";
}

TEST_F(Settings, ClutchRequiredReadsWordsAndNumbers) {
    for (auto [text, expected] : std::vector<std::pair<std::string, int32_t>>{
             {"TRUE", 1}, {"False", 0}, {"3", 3}, {"10", 10}, {"nonsense", 1}}) {
        WriteIni("[GearGate]\nClutchRequired = " + text + "\n");
        Config::Setting fresh;
        fresh.LoadSettingsFile();
        fresh.ReadAllSettings();
        EXPECT_EQ(fresh.clutchRequired, expected) << text;
    }
}

TEST_F(Settings, PollIntervalTakesOneTo25AndWarnsOfAnythingElse) {
    for (auto [text, expected] : std::vector<std::pair<std::string, int32_t>>{
             {"", 25}, {"5", 5}, {"1", 1}, {"25", 25}, {"0", 25}, {"26", 25}, {"-3", 25}}) {
        WriteIni(text.empty() ? "[Main]\n" : "[Main]\nPollIntervalMs = " + text + "\n");
        Config::Setting fresh;
        fresh.LoadSettingsFile();
        EXPECT_EQ(fresh.pollIntervalMs, expected) << text;
        const bool warned = scratch.LogText().find("Warning. PollIntervalMs = " + text +
                                                   " is not 1 to 25; 25 is used") != std::string::npos;
        EXPECT_EQ(warned, !text.empty() && expected != std::stoi(text)) << text;
    }
}

TEST_F(Settings, MainSwitchesAndVerboseLines) {
    WriteIni(
        "[Main]\nVerboseLogEnabled = 1\nDelayedInitEnabled = f\n[RurAzu]\nEnabled = TRUE\n[GearGate]\n"
        "Enabled = 1\nAutoNeutral = false\n");
    Load();
    EXPECT_TRUE(g_verboseLog);
    EXPECT_FALSE(settings.delayedInitEnabled);
    EXPECT_TRUE(settings.rurAzuEnabled);
    EXPECT_TRUE(settings.gearGateEnabled);
    EXPECT_FALSE(settings.autoNeutral);
    const std::string log = scratch.LogText();
    const size_t a = log.find("] DelayedInitEnabled=0"), b = log.find("] RurAzu Enabled=1"),
                 c = log.find("] GearGate Enabled=1");
    ASSERT_NE(a, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    g_verboseLog = false;
}

TEST_F(Settings, SaveWritesTheValuesInMemory) {
    Load();
    settings.clutchThreshold = 0.5f;
    settings.shifterType = 1;
    settings.clutchRequired = 0;
    settings.soundVolume = 0.25f;
    settings.autoNeutral = false;
    settings.gearGateEnabled = true;
    settings.SaveAllSettings();
    for (const char* line : {"ClutchThreshold = 0.5", "Type = 1", "ClutchRequired = 0", "SoundVolume = 0.25",
                             "AutoNeutral = false", "Enabled = true"})
        EXPECT_TRUE(Contains(line)) << line << "\n" << IniText();
}

TEST_F(Settings, FailedSaveKeepsTheChangesPending) {
    Bind(RURAZU_UP, "Up");
    Load();
    std::filesystem::remove(IniPath());
    std::filesystem::create_directory(IniPath());  // the file cannot be replaced now
    TheMenuBook().unsavedChanges = true;
    settings.SaveAllSettings();
    EXPECT_TRUE(TheMenuBook().unsavedChanges);
    EXPECT_NE(scratch.LogText().find("Error saving INI file "), std::string::npos);
    std::filesystem::remove(IniPath());
    settings.SaveAllSettings();
    EXPECT_FALSE(TheMenuBook().unsavedChanges) << "the next save retries and succeeds";
    EXPECT_TRUE(Contains("[KeyBind]"));
}

TEST_F(Settings, CarInfoComesFromItsSampleOnlyWhenMissing) {
    const auto carInfo = scratch.pluginFolder() / "CarInfo.ini";
    scratch.WriteFile(scratch.pluginFolder() / "CarInfo.ini.sample", "[car]\nx=1\n");
    settings.LoadSettingsFile();
    EXPECT_EQ(scratch.ReadFile(carInfo), "[car]\nx=1\n");
    EXPECT_EQ(scratch.LogText(), "") << "a good copy says nothing";
    scratch.WriteFile(carInfo, "mine");
    Config::Setting again;
    again.LoadSettingsFile();
    EXPECT_EQ(scratch.ReadFile(carInfo), "mine");
}

}  // namespace

namespace {

TEST(SettingIdNames, EveryIdentifierNamesItsKey) {
    EXPECT_STREQ(SettingName(UNKNOWN), "UNKNOWN");
    EXPECT_STREQ(SettingName(RURAZU_CUSTOM1), "RURAZU_CUSTOM1");
    EXPECT_STREQ(SettingName(48), "RURAZU_VR_MOVE_SEAT_DOWN");
    EXPECT_STREQ(SettingName(GEARGATE_SHIFTTYPE), "GEARGATE_SHIFTTYPE");
    EXPECT_STREQ(SettingName(65), "GEARGATE_TOGGLE_MODE");
    EXPECT_STREQ(SettingName(NUM_OF_ITEMS), "NUM_OF_ITEMS");
    EXPECT_EQ(NUM_OF_ITEMS, 66);
    EXPECT_STREQ(SettingName(67), "");
    EXPECT_STREQ(SettingName(-1), "");
}

}  // namespace
