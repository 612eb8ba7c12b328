// Profile reads over the simulated system call, as the car-profile lookups use
// them, and the one-step file replacement.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "config/ini_file.h"
#include "platform/platform.h"
#include "shared/profile_cases.h"
#include "test_support.h"

namespace {
namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test {
protected:
    kvt_test::ScratchGame game;
    std::string file = (game.root() / "cars" / "cars.ini").string();

    void Write(const std::string& text) { game.WriteFile(file, text); }
    std::string Read(const char* section, const char* key) {
        std::string out = "stale";
        Config::ReadProfileString(section, key, file, out);
        return out;
    }
};

TEST_F(ProfileTest, FindsValuesWithoutRegardToCaseTrimmedAndUnquoted) {
    Write(
        "\xEF\xBB\xBF[Car05]\r\n  VLMCarID =  123 \r\n[cars]\nslot=\"4\"\n; name = hidden\n"
        "name = 'quoted'\nodd = \"half\nmixed = \"x'\n[Car05]\nVLMCarID = 999\n");
    EXPECT_EQ(Read("car05", "vlmcarid"), "123");
    EXPECT_EQ(Read("CARS", "SLOT"), "4");
    EXPECT_EQ(Read("cars", "name"), "quoted");
    EXPECT_EQ(Read("cars", "odd"), "\"half");
    EXPECT_EQ(Read("cars", "mixed"), "\"x'");
    EXPECT_EQ(Read("cars", "; name"), "");
}

TEST_F(ProfileTest, SimulatedReadsAnswerTheSharedTable) {
    for (const kvt_test::ProfileCase& c : kvt_test::kProfileCases) {
        fs::remove(file);
        if (c.fileText) Write(c.fileText);
        char buffer[256];
        std::memset(buffer, 'z', sizeof buffer);
        const uint32_t count = platform::ReadPrivateProfileString(c.section, c.key, c.defaultText, buffer,
                                                                  c.bufferSize, file.c_str());
        EXPECT_EQ(count, c.expectedCount) << c.what;
        EXPECT_STREQ(buffer, c.expected) << c.what;
    }
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGiveTheDefaultCutToTheBuffer) {
    Write("[Car05]\nVLMCarID = 1234567890\n");
    char buffer[8];
    EXPECT_EQ(platform::ReadPrivateProfileString("Car05", "none", "fallback", buffer, 8, file.c_str()), 7u);
    EXPECT_STREQ(buffer, "fallbac");
    EXPECT_EQ(platform::ReadPrivateProfileString("Car06", "VLMCarID", "d", buffer, 8, file.c_str()), 1u);
    EXPECT_STREQ(buffer, "d");
    EXPECT_EQ(platform::ReadPrivateProfileString("Car05", "VLMCarID", "", buffer, 8, "/no/such.ini"), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(platform::ReadPrivateProfileString("Car05", "VLMCarID", "", buffer, 8, file.c_str()), 7u);
    EXPECT_STREQ(buffer, "1234567");

    std::string out = "stale";
    EXPECT_FALSE(Config::ReadProfileString("Car05", "none", file, out));
    EXPECT_EQ(out, "");
    Write("[S]\nlong = " + std::string(300, 'v') + "\n");
    EXPECT_TRUE(Config::ReadProfileString("S", "long", file, out));
    EXPECT_EQ(out, std::string(255, 'v'));
}

TEST_F(ProfileTest, IntegersTakeTheDefaultWhenEmptyAndThrowWhenNoNumber) {
    Write("[S]\nempty =\nlead = 12abc\nneg = -4\nword = abc\nhuge = 99999999999\n");
    EXPECT_EQ(Config::ReadProfileInt("S", "empty", 5, file), 5);
    EXPECT_EQ(Config::ReadProfileInt("S", "missing", -1, file), -1);
    EXPECT_EQ(Config::ReadProfileInt("S", "lead", 0, file), 12);
    EXPECT_EQ(Config::ReadProfileInt("S", "neg", 0, file), -4);
    EXPECT_THROW(Config::ReadProfileInt("S", "word", 0, file), std::invalid_argument);
    EXPECT_THROW(Config::ReadProfileInt("S", "huge", 0, file), std::out_of_range);
}

TEST_F(ProfileTest, ReplaceFileWithSwapsInTheNewFileOrFailsWithErrno) {
    const fs::path target = game.root() / "target.ini";
    const fs::path replacement = game.root() / "target.ini.tmp";
    game.WriteFile(target, "old");
    game.WriteFile(replacement, "new");
    EXPECT_TRUE(platform::ReplaceFileWith(replacement.string(), target.string()));
    EXPECT_EQ(game.ReadFile(target), "new");
    EXPECT_FALSE(fs::exists(replacement));

    const fs::path folder = game.root() / "folder";
    fs::create_directories(folder / "inside");
    game.WriteFile(replacement, "new");
    errno = 0;
    EXPECT_FALSE(platform::ReplaceFileWith(replacement.string(), folder.string()));
    EXPECT_NE(errno, 0);
    EXPECT_EQ(game.ReadFile(replacement), "new");
}

}  // namespace
