// A player's KVTControls.ini is never destroyed: a file that could not be read
// cleanly (held by another program, UTF-16, a NUL byte) is kept byte for byte
// as KVTControls.ini.bak by the save that first replaces it, and every save
// is on the disk before it replaces the old file.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/ini_file.h"
#include "config/setting.h"
#include "core/menu_item.h"
#include "core/setting_id.h"
#include "core/text.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

namespace {
namespace fs = std::filesystem;
using Config::IniFile;

// UTF-16 as a Windows editor saves it: byte-order mark, CR LF line ends.
std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return bytes;
}

class Recovery : public ::testing::Test {
protected:
    void TearDown() override { platform::sim::HoldWithoutSharing(settings.string(), false); }

    kvt_test::ScratchGame game;
    fs::path settings = game.pluginFolder() / "KVTControls.ini";
    fs::path backup = settings.string() + ".bak";
    IniFile ini;

    std::string Text(const fs::path& file) const { return game.ReadFile(file); }
    bool Logged(const std::string& message) const {
        return game.LogText().find("] " + message + "\r\n") != std::string::npos;
    }
    std::string BackupLine() const {
        return "WARNING. " + settings.string() + " was not loaded cleanly; its previous content is kept as " +
               backup.string();
    }
};

TEST_F(Recovery, FileHeldByAnotherProgramIsKeptByTheFirstSaveOnly) {
    const std::string players =
        "; mine\r\n[GearGate]\r\nClutchThreshold = 0.5\r\n[KeyBind]\r\nRURAZU_UP = #3 W\r\n";
    game.WriteFile(settings, players);
    game.WriteFile(backup, "an older backup");
    platform::sim::HoldWithoutSharing(settings.string(), true);
    ini.Load();
    EXPECT_TRUE(Logged("Error loading INI file " + settings.string() + " (ErrorCode=-3)"));
    EXPECT_TRUE(Logged("Errno: " + std::to_string(EACCES)));
    EXPECT_TRUE(ini.backupOnSave);
    EXPECT_EQ(ini.GetFloat("GearGate", "ClutchThreshold", 0.35f), 0.35f) << "defaults while unreadable";

    // Still held at save time: the save fails and changes nothing on disk.
    EXPECT_EQ(ini.Save(), Config::kIniFileError);
    EXPECT_EQ(Text(backup), "an older backup");
    EXPECT_TRUE(ini.modified);

    platform::sim::HoldWithoutSharing(settings.string(), false);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(Text(backup), players) << "byte for byte, replacing the older backup";
    EXPECT_TRUE(Logged(BackupLine()));
    EXPECT_EQ(Text(settings), "[GearGate]\nClutchThreshold = 0.35\n");
    EXPECT_FALSE(ini.backupOnSave);

    fs::remove(backup);
    ini.SetFloat("GearGate", "ClutchThreshold", 0.4f);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_FALSE(fs::exists(backup)) << "only the save that first replaces the unread file keeps it";
}

TEST_F(Recovery, CleanLoadsAndMissingFilesMakeNoBackup) {
    game.WriteFile(settings, "[S]\nk = 1\n");
    ini.Load();
    EXPECT_FALSE(ini.backupOnSave);
    ini.SetInt("S", "k", 2);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_FALSE(fs::exists(backup));

    // Unreadable at start-up but gone by the time of the save: nothing to keep.
    platform::sim::HoldWithoutSharing(settings.string(), true);
    ini.Load();
    platform::sim::HoldWithoutSharing(settings.string(), false);
    fs::remove(settings);
    ini.SetInt("S", "k", 3);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(Text(settings), "[S]\nk = 3\n");
}

TEST_F(Recovery, Utf16FilesAreReadAndSavedAsUtf8KeepingTheOriginal) {
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        const std::string original =
            Utf16("[GearGate]\r\nClutchThreshold = 0.5\r\n[KeyBind]\r\nRURAZU_UP = #3 W\xE9\r\n", bigEndian);
        game.WriteFile(settings, original);
        ini.Load();
        EXPECT_TRUE(Logged("WARNING. Converted " + settings.string() + " from UTF-16 (" +
                           (bigEndian ? "big" : "little") + "-endian) to UTF-8"));
        EXPECT_EQ(ini.GetFloat("GearGate", "ClutchThreshold", 0.35f), 0.5f);
        EXPECT_EQ(ini.GetString("KeyBind", "RURAZU_UP", ""), "#3 W\xC3\xA9") << "U+00E9 as UTF-8";
        EXPECT_FALSE(ini.modified);
        ini.SetBool("GearGate", "Enabled", true);
        ASSERT_EQ(ini.Save(), Config::kIniOk);
        EXPECT_EQ(Text(backup), original);
        EXPECT_EQ(
            Text(settings),
            "[GearGate]\nClutchThreshold = 0.5\nEnabled = true\n\n\n[KeyBind]\nRURAZU_UP = #3 W\xC3\xA9\n");
    }
}

TEST_F(Recovery, NulByteIsReportedWithItsOffsetAndTheWholeFileKept) {
    const std::string head = "[Main]\nVerboseLogEnabled = true\n";
    const std::string withNul = head + '\0' + "[KeyBind]\nRURAZU_UP = #1 Pad\n";
    game.WriteFile(settings, withNul);
    ini.Load();
    EXPECT_TRUE(Logged("WARNING. " + settings.string() + " holds a NUL byte at offset " +
                       std::to_string(head.size()) + "; nothing after it is read"));
    EXPECT_TRUE(ini.GetBool("Main", "VerboseLogEnabled", false));
    ini.SetBool("Main", "VerboseLogEnabled", false);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(Text(backup), withNul) << "the lines after the NUL survive in the backup";

    // In UTF-16 the offset is the NUL character's place in the file.
    game.WriteFile(settings, Utf16("[S]", false) + std::string(2, '\0') + Utf16("k = 1", false).substr(2));
    ini.Load();
    EXPECT_TRUE(
        Logged("WARNING. " + settings.string() + " holds a NUL byte at offset 8; nothing after it is read"));
    EXPECT_TRUE(ini.backupOnSave);
}

TEST_F(Recovery, SavedDataReachesTheDiskBeforeItReplacesTheFile) {
    ini.Load();
    ini.SetInt("S", "k", 1);
    platform::sim::TakeFileEvents();
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    const std::string temporary = settings.string() + ".tmp";
    EXPECT_EQ(platform::sim::TakeFileEvents(),
              (std::vector<std::string>{"flush " + temporary,
                                        "replace " + temporary + " -> " + settings.string()}));
}

TEST(Utf16Text, SurrogatesPairUpAndBrokenUnitsBecomeReplacements) {
    auto le = [](std::initializer_list<unsigned> units) {
        std::string bytes;
        for (unsigned u : units) {
            bytes += static_cast<char>(u & 0xFF);
            bytes += static_cast<char>(u >> 8);
        }
        return bytes;
    };
    EXPECT_EQ(Utf16ToUtf8(le({'a', 0xE9, 0x20AC}), false), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(le({0xD83D, 0xDE00}), false), "\xF0\x9F\x98\x80") << "a pair is one character";
    EXPECT_EQ(Utf16ToUtf8(le({0xD83D, 'x'}), false), "\xEF\xBF\xBDx") << "a high surrogate alone";
    EXPECT_EQ(Utf16ToUtf8(le({0xDE00, 'x'}), false), "\xEF\xBF\xBDx") << "a low surrogate alone";
    EXPECT_EQ(Utf16ToUtf8(le({0xD83D}), false), "\xEF\xBF\xBD") << "a high surrogate at the end";
    EXPECT_EQ(Utf16ToUtf8(le({'a'}) + "b", false), "a\xEF\xBF\xBD") << "an odd last byte";
    EXPECT_EQ(Utf16ToUtf8(std::string("\x00\x41\x01\x00", 4), true), "A\xC4\x80");
    EXPECT_EQ(Utf16ToUtf8("", false), "");
    // The edges of the surrogate ranges.
    EXPECT_EQ(Utf16ToUtf8(le({0xDBFF, 0xDFFF}), false), "\xF4\x8F\xBF\xBF") << "U+10FFFF";
    EXPECT_EQ(Utf16ToUtf8(le({0xDFFF}), false), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(le({0xD7FF, 0xE000}), false), "\xED\x9F\xBF\xEE\x80\x80") << "no surrogates";
    // Nothing past the given bytes is read, even where memory goes on.
    const std::string wider = le({0xD83D}) + "b\xDC";
    EXPECT_EQ(Utf16ToUtf8(std::string_view(wider).substr(0, 3), false), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// The settings object over the same files: a player's bindings survive a
// start with an unreadable file and a "Save Settings" right after it.
TEST(SettingsRecovery, SaveAfterAnUnreadableStartKeepsThePlayersFile) {
    kvt_test::ScratchGame game;
    const fs::path settingsFile = game.pluginFolder() / "KVTControls.ini";
    const std::string players = "[KeyBind]\r\nRURAZU_UP = #3 Wheel\r\n";
    game.WriteFile(settingsFile, players);
    platform::sim::HoldWithoutSharing(settingsFile.string(), true);
    Config::Setting settings;
    g_settings = &settings;
    std::unique_ptr<MenuItem> up(MenuItem::Binding(RURAZU_UP, "Up", "", 0));
    settings.LoadSettingsFile();
    settings.ReadAllSettings();
    platform::sim::HoldWithoutSharing(settingsFile.string(), false);
    EXPECT_EQ(*up->Text(), "");

    settings.SaveAllSettings();
    EXPECT_EQ(game.ReadFile(settingsFile.string() + ".bak"), players);
    EXPECT_NE(game.ReadFile(settingsFile).find("RURAZU_UP = \n"), std::string::npos);
    up.reset();
    g_settings = nullptr;
}

}  // namespace
