// The INI access layer against real files in a scratch game folder: defaults
// written back, dirty flags, text rules, and load and save failures.
#include "config/ini_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <random>

#include "test_support.h"

namespace {
namespace fs = std::filesystem;
using Config::IniFile;

class IniFileTest : public ::testing::Test {
protected:
    kvt_test::ScratchGame game;
    fs::path settings = game.pluginFolder() / "KVTControls.ini";
    IniFile ini;

    void LoadText(const std::string& text) {
        game.WriteFile(settings, text);
        ini.Load();
    }
    std::string FileText() const { return game.ReadFile(settings); }
    bool Logged(const std::string& message) const {
        return game.LogText().find("] " + message + "\r\n") != std::string::npos;
    }
};

TEST_F(IniFileTest, LoadOfMissingFileCreatesItEmptyAndTheFirstReadMarksBothFlags) {
    ini.Load();
    EXPECT_EQ(ini.path, settings.string());
    ASSERT_TRUE(fs::exists(settings));
    EXPECT_EQ(fs::file_size(settings), 0u);
    EXPECT_FALSE(ini.missingKey);
    EXPECT_FALSE(ini.modified);

    EXPECT_EQ(ini.GetInt("Main", "Anything", 5), 5);
    EXPECT_TRUE(ini.missingKey);
    EXPECT_TRUE(ini.modified);
    EXPECT_EQ(game.LogText(), "");
}

TEST_F(IniFileTest, ReadsOfMissingKeysWriteTheirDefaultsInFileForm) {
    ini.Load();
    std::string raw = "stale";
    EXPECT_FALSE(ini.GetRawValue("GearGate", "Nothing", raw));
    EXPECT_EQ(raw, "") << "a missing value leaves no stale text behind";
    EXPECT_EQ(ini.GetString("GearGate", "SoundFilePath", "snd"), "snd");
    EXPECT_EQ(ini.GetInt("GearGate", "Type", -2), -2);
    EXPECT_EQ(ini.GetFloat("GearGate", "ClutchThreshold", 0.35f), 0.35f);
    EXPECT_EQ(ini.GetFloat("GearGate", "SoundVolume", 1.0f), 1.0f);
    EXPECT_TRUE(ini.GetBool("Main", "DelayedInitEnabled", true));

    EXPECT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_FALSE(ini.missingKey || ini.modified);
    EXPECT_EQ(FileText(),
              "[GearGate]\nSoundFilePath = snd\nType = -2\nClutchThreshold = 0.35\nSoundVolume = 1\n"
              "\n\n[Main]\nDelayedInitEnabled = true\n");
    EXPECT_EQ(FileText(), ini.ToText());
}

TEST_F(IniFileTest, WritesReportInsertReplaceOrUnchangedAndOnlyChangesDirtyTheDocument) {
    ini.Load();
    EXPECT_EQ(ini.SetString("KeyBind", "RURAZU_UP", "#1 Wheel"), Config::kIniInserted);
    EXPECT_TRUE(ini.modified);
    ASSERT_EQ(ini.Save(), Config::kIniOk);

    EXPECT_EQ(ini.SetString("keybind", "rurazu_up", "#1 Wheel"), Config::kIniUnchanged);
    EXPECT_EQ(ini.SetInt("KeyBind", "RURAZU_UP_GAMEMODE", 2), Config::kIniInserted);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(ini.SetInt("KeyBind", "RURAZU_UP_GAMEMODE", 2), Config::kIniUnchanged);
    EXPECT_FALSE(ini.modified);
    EXPECT_EQ(ini.SetInt("KeyBind", "RURAZU_UP_GAMEMODE", -1), Config::kIniUpdated);
    EXPECT_TRUE(ini.modified);

    // A long text that changes only near its end is still a change, and saved.
    const std::string head(300, 'x');
    ini.SetString("S", "K", head + "a");
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(ini.SetString("S", "K", head + "a"), Config::kIniUnchanged);
    EXPECT_FALSE(ini.modified);
    EXPECT_EQ(ini.SetString("S", "K", head + "b"), Config::kIniUpdated);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_NE(FileText().find(head + "b"), std::string::npos);
}

TEST_F(IniFileTest, SavingTwiceWithoutChangesTouchesTheFileOnce) {
    ini.Load();
    ini.GetBool("RurAzu", "Enabled", false);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    game.WriteFile(settings, "marker");

    EXPECT_EQ(ini.SetBool("RurAzu", "Enabled", false), Config::kIniUnchanged);
    EXPECT_FALSE(ini.GetBool("rurazu", "enabled", true));
    EXPECT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(FileText(), "marker");
}

TEST_F(IniFileTest, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
    LoadText("[keybind]\nrurazu_up = #3 W\n");
    EXPECT_EQ(ini.GetString("KeyBind", "RURAZU_UP", ""), "#3 W");
    EXPECT_FALSE(ini.missingKey);
    EXPECT_EQ(ini.SetString("KEYBIND", "Rurazu_Up", "#4 W"), Config::kIniUpdated);
    EXPECT_EQ(ini.ToText(), "[keybind]\nrurazu_up = #4 W\n");
}

TEST_F(IniFileTest, ValuesAreTrimmedAndLoseOneQuoteAtEachEnd) {
    LoadText(
        "[S]\na = \"  spaced out  \"\nb = \"\"twice\"\"\nc = \"open\nd = close\"\n"
        "e = \f\v x \f\nf = \" \"\n");
    const std::pair<const char*, const char*> cases[] = {
        {"a", "spaced out"}, {"b", "\"twice\""}, {"c", "open"}, {"d", "close"}, {"e", "x"}, {"f", ""},
    };
    for (const auto& [key, expected] : cases) EXPECT_EQ(ini.GetString("S", key, "default"), expected) << key;
    EXPECT_FALSE(ini.missingKey || ini.modified);
}

TEST_F(IniFileTest, EmptyIntegerTakesTheDefaultButEmptyTextIsKept) {
    LoadText("[S]\nn =\ns =\n");
    EXPECT_EQ(ini.GetInt("S", "n", 4), 4);
    EXPECT_EQ(ini.GetString("S", "s", "d"), "");
    EXPECT_FALSE(ini.missingKey);
    EXPECT_TRUE(ini.modified);
    EXPECT_EQ(ini.ToText(), "[S]\nn = 4\ns = \n");
}

TEST_F(IniFileTest, IntegersReadLikeStoiAndBadTextIsLoggedButNotRewritten) {
    LoadText("[S]\na = 12abc\nb = abc\nc = 99999999999\nd = \"-7\"\ne = +5\n");
    EXPECT_EQ(ini.GetInt("S", "a", 1), 12);
    EXPECT_EQ(ini.GetInt("S", "b", 3), 3);
    EXPECT_EQ(ini.GetInt("S", "c", 3), 3);
    EXPECT_EQ(ini.GetInt("S", "d", 1), -7);
    EXPECT_EQ(ini.GetInt("S", "e", 1), 5);
    EXPECT_TRUE(Logged("Failed getting int INI value for section: S, name: b, value: abc"));
    EXPECT_TRUE(Logged("Failed getting int INI value for section: S, name: c, value: 99999999999"));
    EXPECT_EQ(game.LogText().find("name: a,"), std::string::npos);
    EXPECT_FALSE(ini.modified);
}

TEST_F(IniFileTest, BoolsGoByTheFirstCharacterOfTheTrimmedValue) {
    LoadText("[S]\nupper = TRUE\none = 1\nlow = f\nblank = \" 0\"\nfeed = \f0\nyes = yes\n");
    EXPECT_TRUE(ini.GetBool("S", "upper", false));
    EXPECT_TRUE(ini.GetBool("S", "one", false));
    EXPECT_FALSE(ini.GetBool("S", "low", true));
    EXPECT_FALSE(ini.GetBool("S", "blank", true));
    EXPECT_FALSE(ini.GetBool("S", "feed", true));
    EXPECT_FALSE(ini.GetBool("S", "yes", false));
    EXPECT_TRUE(ini.GetBool("S", "yes", true));
    EXPECT_TRUE(Logged("Failed getting bool INI value for section: S, name: yes, value: yes"));
    EXPECT_FALSE(ini.modified);
}

TEST_F(IniFileTest, FloatsReadInTheCLocaleAndWriteInShortestForm) {
    const std::string zeros(400, '0');
    LoadText("[S]\na = 0.35\nb = 2.5abc\nc = abc\ne = -0x10\nf = 1e-400\ng =\ni = 0." + zeros + "1e50\n");
    EXPECT_EQ(ini.GetFloat("S", "a", 9), 0.35f);
    EXPECT_EQ(ini.GetFloat("S", "b", 9), 2.5f);
    EXPECT_EQ(ini.GetFloat("S", "c", 9), 0.0f);
    EXPECT_EQ(ini.GetFloat("S", "e", 9), -16.0f);
    EXPECT_EQ(ini.GetFloat("S", "f", 9), 0.0f);
    EXPECT_EQ(ini.GetFloat("S", "i", 9), 0.0f);
    EXPECT_EQ(game.LogText(), "");
    EXPECT_EQ(ini.GetFloat("S", "g", 0.1f), 0.1f);
    EXPECT_EQ(ini.GetString("S", "g", ""), "0.1");

    EXPECT_EQ(Config::FloatText(1.0f), "1");
    EXPECT_EQ(Config::FloatText(-2.5f), "-2.5");
    EXPECT_EQ(Config::FloatText(1234567.0f), "1.23457e+06");
}

// A NaN clutch threshold would make every comparison false, an infinite one
// every comparison true: such values count as no number, and say so.
TEST_F(IniFileTest, InfiniteOrNanFloatsCountAsNoNumberAndAreLogged) {
    const std::string zeros(400, '0');
    LoadText("[GearGate]\nClutchThreshold = nan\nSoundVolume = 1e999\nv = -inf\nw = 1e39\nx = 1" + zeros +
             "e-50\ny = INFINITY\nz = -nan(0x7)\nu = 1e+400\n");
    const std::pair<const char*, const char*> cases[] = {
        {"ClutchThreshold", "nan"}, {"SoundVolume", "1e999"}, {"v", "-inf"},   {"w", "1e39"}, {"x", nullptr},
        {"y", "INFINITY"},          {"z", "-nan(0x7)"},       {"u", "1e+400"},
    };
    for (const auto& [key, text] : cases) {
        const float value = ini.GetFloat("GearGate", key, 0.35f);
        EXPECT_EQ(value, 0.0f) << key;
        EXPECT_FALSE(std::signbit(value)) << key;
        const std::string shown = text ? text : "1" + zeros + "e-50";
        EXPECT_TRUE(Logged("Failed getting float INI value for section: GearGate, name: " + std::string(key) +
                           ", value: " + shown))
            << key;
    }
    EXPECT_FALSE(ini.modified) << "the player's text stays in the file";
}

TEST_F(IniFileTest, CommentsAndOrderSurviveLoadAndSave) {
    const std::string text =
        "; file comment\n; second\n\n\n; zeta comment\n[Zeta]\nb = 2\n\n; about a\na = 1\n\n\n"
        "[Alpha]\nx = y\n";
    LoadText(text);
    ini.SetInt("zeta", "A", 5);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    std::string expected = text;
    expected.replace(expected.find("a = 1"), 5, "a = 5");
    EXPECT_EQ(FileText(), expected);
}

TEST_F(IniFileTest, CommentsAfterTheLastEntryAreKept) {
    LoadText("[S]\na = 1\n\n; about the end\n# another\n\n");
    ini.SetInt("S", "b", 2);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(FileText(), "[S]\na = 1\nb = 2\n\n; about the end\n# another\n");
    ini.Load();
    EXPECT_EQ(ini.GetInt("S", "b", 0), 2);
    ini.SetInt("S", "b", 3);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(FileText(), "[S]\na = 1\nb = 3\n\n; about the end\n# another\n") << "no comment is doubled";

    LoadText("; only a comment\n");
    ini.SetInt("S", "a", 1);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(FileText(), "; only a comment\n\n\n[S]\na = 1\n");
}

TEST_F(IniFileTest, OddInputLoadsWithoutHarm) {
    LoadText("\xEF\xBB\xBF[main]\r\nverboselogenabled = true\r\n");
    EXPECT_TRUE(ini.GetBool("Main", "VerboseLogEnabled", false));
    ini.SetBool("Main", "DelayedInitEnabled", true);
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(FileText(), "[main]\nverboselogenabled = true\nDelayedInitEnabled = true\n");

    // A first key named with a mark's bytes keeps them through a save: the
    // saved file must not read as marked (or as UTF-16) next time.
    for (const std::string mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        const std::string markedKey = mark + "k";
        LoadText("\xEF\xBB\xBF\n" + markedKey + " = 1\n");
        ini.SetInt("", markedKey, 2);
        ASSERT_EQ(ini.Save(), Config::kIniOk);
        ini.Load();
        EXPECT_FALSE(ini.backupOnSave);
        EXPECT_EQ(ini.GetInt("", markedKey, 0), 2);
    }

    LoadText("[S]\nlong = " + std::string(100000, 'x') + "\n");
    EXPECT_EQ(ini.GetString("S", "long", "").size(), 100000u);

    // A header without its bracket is dropped; what follows stays in the section before.
    LoadText("[A]\nx = 1\n[Sec\r  key = \"unbalanced");
    EXPECT_EQ(ini.GetString("A", "key", ""), "unbalanced");
    EXPECT_EQ(ini.ToText(), "[A]\nx = 1\nkey = \"unbalanced\n");

    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random() % 256);
    LoadText(noise);
    ini.GetString("KeyBind", "RURAZU_UP", "");
    ASSERT_EQ(ini.Save(), Config::kIniOk);
    const std::string saved = ini.ToText();
    ini.Load();
    EXPECT_EQ(ini.ToText(), saved);
}

TEST_F(IniFileTest, LoadFailureIsLoggedAndLeavesAnEmptyDocument) {
    fs::create_directory(settings);
    ini.Load();
    EXPECT_TRUE(Logged("Error loading INI file " + settings.string() + " (ErrorCode=-3)"));
    EXPECT_TRUE(Logged("Errno: " + std::to_string(EISDIR)));
    EXPECT_EQ(ini.GetInt("Main", "X", 6), 6);
    EXPECT_TRUE(ini.missingKey);
}

TEST_F(IniFileTest, FailedSaveKeepsTheOldFileAndTheFlagsAndTheNextSaveRetries) {
    LoadText("[S]\nk = old\n");
    ini.SetString("S", "k", "new");
    const fs::path temporary = settings.string() + ".tmp";
    fs::create_directory(temporary);

    EXPECT_EQ(ini.Save(), Config::kIniFileError);
    EXPECT_EQ(FileText(), "[S]\nk = old\n");
    EXPECT_TRUE(ini.modified);
    EXPECT_TRUE(Logged("Error saving INI file " + settings.string() + " (ErrorCode=-3)"));
    EXPECT_TRUE(Logged("Error reason: " + std::to_string(EISDIR)));

    fs::remove(temporary);
    EXPECT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(FileText(), "[S]\nk = new\n");
    EXPECT_FALSE(ini.modified);
    EXPECT_FALSE(fs::exists(temporary));
}

TEST_F(IniFileTest, SaveIntoAMissingFolderFailsUntilThePathIsFixed) {
    ini.Load();
    ini.GetInt("Main", "X", 1);
    ini.path = (game.root() / "missing" / "KVTControls.ini").string();
    EXPECT_EQ(ini.Save(), Config::kIniFileError);
    EXPECT_TRUE(Logged("Error reason: " + std::to_string(ENOENT)));
    EXPECT_TRUE(ini.missingKey && ini.modified);

    ini.path = settings.string();
    EXPECT_EQ(ini.Save(), Config::kIniOk);
    EXPECT_EQ(FileText(), "[Main]\nX = 1\n");
}

TEST_F(IniFileTest, WriteThatFailsPartWayLeavesTheOldFileWhole) {
    LoadText("[S]\nk = old\n");
    ini.SetString("S", "big", std::string(200000, 'x'));

    // A file size limit makes the write fail after 64 KiB, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 65536;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = ini.Save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(code, Config::kIniFileError);
    EXPECT_EQ(FileText(), "[S]\nk = old\n");
    EXPECT_TRUE(Logged("Error reason: " + std::to_string(EFBIG)));
    EXPECT_FALSE(fs::exists(settings.string() + ".tmp"));
    EXPECT_TRUE(ini.modified);
}

}  // namespace
