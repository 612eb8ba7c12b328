// GearGate's car profiles on real files in a scratch game folder: physics
// files as players and modders write them, the distribution's car lists with
// string, numeric, duplicated and broken entries, and the CarInfo.ini cache
// exactly as it is written and read back.
#include "geargate/car_profiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#include "shared/profile_write_cases.h"
#include "test_support.h"

namespace {
namespace fs = std::filesystem;

class CarProfile : public ::testing::Test {
protected:
    kvt_test::ScratchGame game;

    fs::path PhysicsPath(int slot) const {
        static const char* const kFolders[] = {"c_xsara", "h_accent", "mg_zr",    "m_lancer",
                                               "p_206",   "s_i2003",  "t_coroll", "s_i2000"};
        return game.root() / "Physics" / kFolders[slot] / "common.lsp";
    }
    fs::path CarsIni() const { return game.root() / "cars" / "cars.ini"; }
    fs::path CarInfo() const { return game.pluginFolder() / "CarInfo.ini"; }
    void Write(const fs::path& file, const std::string& text) const { game.WriteFile(file, text); }
    void CarsJson(const std::string& text) const {
        Write(game.root() / "vlmdata" / "cache" / "cars.json", text);
    }
    void CarsData(const std::string& text) const {
        Write(game.root() / "vlmdata" / "cache" / "cars_data.json", text);
    }
    bool Logged(const std::string& message) const {
        return game.LogText().find("] " + message + "\r\n") != std::string::npos;
    }
};

TEST_F(CarProfile, GearCountTakesTheFirstNumberOfGearsLineOneSeparatorOn) {
    const struct {
        const char* text;
        int32_t top;
    } cases[] = {
        {"; gearbox\r\n  \tNumberOfGears\t6\r\nnumberofgears 9\r\n", 5},
        {"NUMBEROFGEARS=12\n", 11},
        {"numberofgears   4 ; sport box\n", 3},
        {"numberofgears \v\f\r 4\n", 3},
        {"numberofgears66\n", 5},
        {"Gear0Upshift 7000\n", 7},
        {"numberofgears\nnumberofgears 5\n", 7},
        {"numberofgears x\n", 7},
        {"numberofgears 9\n", 8},
        {"numberofgears 2147483647\n", 2147483646},
        {"numberofgears 99999999999\n", 7},
        {"numberofgears 99999999999999999999\n", 7},
        {"numberofgears -2147483648\n", 7},
        {"", 7},
    };
    for (const auto& c : cases) {
        Write(PhysicsPath(2), c.text);
        EXPECT_EQ(GearCount(2), c.top) << c.text;
    }
    EXPECT_TRUE(Logged("Warning. Unreadable number of gears in " + PhysicsPath(2).string()));
    EXPECT_EQ(GearCount(8), 7);
    EXPECT_EQ(GearCount(-1), 7);
    EXPECT_EQ(GearCount(4), 7);
    EXPECT_TRUE(Logged("Failed to get number of gears. File not found " + PhysicsPath(4).string()));
}

TEST_F(CarProfile, UpshiftTableHoldsTheCarsGearsUpToItsTopIndex) {
    Write(PhysicsPath(5),
          "numberofgears 7\r\n\tGEAR2UPSHIFT\t7000\r\ngear3upshift 7100\r\nGear3Upshift  7200 rpm\r\n");
    EXPECT_EQ(UpshiftTable(5), (UpshiftValues{0, 0, 7000, 7200, 0, 0, 0, 0}));

    // Gears beyond the car's top index, or beyond the table, are not read.
    Write(PhysicsPath(5), "numberofgears 3\nGear1Upshift 6000.5\nGear3Upshift 5000\n");
    EXPECT_EQ(UpshiftTable(5), (UpshiftValues{0, 6000.5f, 0, 0, 0, 0, 0, 0}));
    Write(PhysicsPath(5), "numberofgears 2000000000\nGear7Upshift 8000\nGear8Upshift 9000\n");
    EXPECT_EQ(UpshiftTable(5), (UpshiftValues{0, 0, 0, 0, 0, 0, 0, 8000}));
    Write(PhysicsPath(5), "Gear0Upshift -1.5\nGear7Upshift 1e3\n");
    EXPECT_EQ(UpshiftTable(5), (UpshiftValues{-1.5f, 0, 0, 0, 0, 0, 0, 1000}));
    Write(PhysicsPath(5), "numberofgears 0\nGear0Upshift 100\n");
    EXPECT_EQ(UpshiftTable(5), UpshiftValues{});

    EXPECT_EQ(UpshiftTable(8), UpshiftValues{});
    EXPECT_EQ(UpshiftTable(0), UpshiftValues{});
    EXPECT_TRUE(Logged("Failed to gear details. File not found " + PhysicsPath(0).string()));
}

TEST_F(CarProfile, AnUnreadableUpshiftValueLeavesTheWholeTableAtZero) {
    for (const char* bad : {"nan", "inf", "-INFINITY", "1e50", "abc", "=7000", ""}) {
        Write(PhysicsPath(1), std::string("Gear1Upshift 6500\nGear2Upshift") + (*bad == '=' ? "" : " ") +
                                  bad + "\nGear3Upshift 7000\n");
        EXPECT_EQ(UpshiftTable(1), UpshiftValues{}) << bad;
    }
    EXPECT_TRUE(Logged("Warning. Unreadable Gear2Upshift value in " + PhysicsPath(1).string()));
}

TEST_F(CarProfile, ConfiguredSlotComesFromTheDistributionsSettings) {
    EXPECT_EQ(ConfiguredSlot(), 5);
    Write(game.root() / "velmora.ini", "[Cars]\nSlot = 3\n");
    EXPECT_EQ(ConfiguredSlot(), 3);
    Write(game.root() / "velmora.ini", "[cars]\nslot = third\n");
    EXPECT_EQ(ConfiguredSlot(), 5);
}

TEST_F(CarProfile, CarNamesMatchTheFirstStringIdOnly) {
    CarsJson(R"([{"id": 123, "name": "numeric"}, 7, ["123"], {"id": {"id": "123"}, "name": "nested"},
                 {"name": "Rally \"4\"", "id": "123"}, {"id": "123", "name": "second"},
                 {"id": "-1", "name": "Minus"}, {"id": "9", "name": 9}, {"id": "8"}])");
    EXPECT_EQ(CarNameFromJson(123), "Rally \"4\"");
    EXPECT_EQ(CarNameFromJson(-1), "Minus");
    EXPECT_EQ(CarNameFromJson(9), "");
    EXPECT_EQ(CarNameFromJson(8), "");
    EXPECT_EQ(CarNameFromJson(12), "");
    // A top-level object's member values are the elements.
    CarsJson("\xEF\xBB\xBF{\"a\": {\"id\": \"5\", \"name\": \"Five\"}, \"id\": \"6\", \"name\": \"top\"}");
    EXPECT_EQ(CarNameFromJson(5), "Five");
    EXPECT_EQ(CarNameFromJson(6), "");
    // A later duplicate name replaces the earlier member in its place.
    CarsJson(R"({"a": {"id": "1", "name": "Gone"}, "b": {"id": "2", "name": "Gone"},
                 "c": {"id": "2", "name": "Two"}, "a": 5, "d": {"id": "3", "name": "Later"},
                 "b": {"id": "3", "name": "Three"}})");
    EXPECT_EQ(CarNameFromJson(1), "");
    EXPECT_EQ(CarNameFromJson(2), "Two");
    EXPECT_EQ(CarNameFromJson(3), "Three");
}

TEST_F(CarProfile, ShifterTypesByPrefixWithoutRegardToCase) {
    CarsData(R"([{"car_id": "1", "shifterType": "sequential"}, {"car_id": "2", "shifterType": "SEQ"},
                 {"car_id": "3", "shifterType": "H-pattern"}, {"car_id": "4", "shifterType": "h+ dogleg"},
                 {"car_id": "5", "shifterType": "H"}, {"car_id": "6", "shifterType": ""},
                 {"car_id": "7", "shifterType": "Hpattern"}, {"car_id": 8, "shifterType": "Seq"},
                 {"car_id": "9", "shifterType": 1}, {"car_id": "10"},
                 {"car_id": "11", "shifterType": "Seq", "shifterType": "H-"},
                 {"car_id": "12", "shifterType": "H-"}, {"car_id": "12", "shifterType": "Seq"},
                 {"car_id": "13", "shifterType": "Seq", "shifterType": {"shifterType": "Seq"}},
                 {"car_id": "14", "car_id": ["14"], "shifterType": "Seq"},
                 {"car_id": "15", "shifterType": "Seq"}, {"car_id": "16"}])");
    const int32_t expected[] = {3, 0, 0, 1, 1, 3, 3, 3, 3, 3, 3, 1, 1, 3, 3, 0, 3};
    for (int32_t id = 1; id <= 16; ++id) EXPECT_EQ(TypeFromJson(id), expected[id]) << id;
}

TEST_F(CarProfile, AWholeDistributionsListIsReadToItsEnd) {
    std::string list = "[";
    for (int32_t id = 1; id <= 3000; ++id)
        list += "{\"car_id\": \"" + std::to_string(id) + "\", \"shifterType\": \"" +
                (id == 3000 ? "Seq" : "H-") + "\", \"notes\": \"" + std::string(40, 'n') + "\"},\n";
    CarsData(list + "{}]");
    ASSERT_GT(list.size(), 200000u);
    EXPECT_EQ(TypeFromJson(3000), 0);
    EXPECT_EQ(TypeFromJson(2999), 1);
    CarsData(list);
    EXPECT_EQ(TypeFromJson(3000), 3);
}

TEST_F(CarProfile, ABrokenOrMissingCarListNamesNoCar) {
    EXPECT_EQ(TypeFromJson(1), 3);
    EXPECT_EQ(CarNameFromJson(1), "");
    const std::string good = R"([{"car_id": "1", "shifterType": "Seq", "id": "1", "name": "One"})";
    for (const std::string& broken :
         {good, good + "] x", good + ", {\"n\": 1e999}]", std::string("\"just text\""),
          good + ", {\"name\": \"\xC3\"}]", std::string("")}) {
        CarsData(broken);
        CarsJson(broken);
        EXPECT_EQ(TypeFromJson(1), 3) << broken;
        EXPECT_EQ(CarNameFromJson(1), "") << broken;
    }
    CarsData(good + "]");
    EXPECT_EQ(TypeFromJson(1), 0);
}

TEST_F(CarProfile, AFirstLookupCachesTheCarAndLaterOnesReadOnlyTheCache) {
    const std::string sample = "; CarInfo\r\n[Car7]\r\ncar_name=Other\r\nh_pattern=0\r\n";
    Write(CarInfo(), sample);
    Write(CarsIni(), "[Car05]\r\nVLMCarID=123\r\n");
    CarsJson(R"([{"id": "123", "name": "Rally\r\nh_pattern=0"}])");
    CarsData(R"([{"car_id": "123", "shifterType": "H-pattern"}])");
    EXPECT_EQ(DetectTypeForSlot(5), 1);
    EXPECT_EQ(game.ReadFile(CarInfo()),
              sample + "[Car123]\r\ncar_name=Rally  h_pattern=0\r\nh_pattern=1\r\n");

    CarsData(R"([{"car_id": "123", "shifterType": "Sequential"}])");
    EXPECT_EQ(TypeForCarId(123), 1);
    EXPECT_EQ(TypeForCarId(7), 0);

    // h_pattern -1 asks the car lists again and rewrites the entry in place.
    Write(CarInfo(), "[Car123]\r\nh_pattern=-1\r\n[Car7]\r\nh_pattern=1\r\n");
    EXPECT_EQ(TypeForCarId(123), 0);
    EXPECT_EQ(game.ReadFile(CarInfo()),
              "[Car123]\r\nh_pattern=0\r\ncar_name=Rally  h_pattern=0\r\n[Car7]\r\nh_pattern=1\r\n");
}

TEST_F(CarProfile, UnknownCarsAreCachedAsUnknown) {
    Write(CarsIni(), "[Car03]\r\nVLMCarID=44\r\n");
    CarsJson(R"([{"id": 44, "name": "Numeric"}])");
    CarsData(R"([{"car_id": 44, "shifterType": "Seq"}])");
    EXPECT_EQ(DetectTypeForSlot(3), 3);
    EXPECT_EQ(DetectTypeForSlot(2), 3);
    EXPECT_EQ(DetectTypeForSlot(8), 3);
    EXPECT_EQ(game.ReadFile(CarInfo()),
              "[Car44]\r\ncar_name=\r\nh_pattern=3\r\n[Car-1]\r\ncar_name=\r\nh_pattern=3\r\n");

    CarsData(R"([{"car_id": "44", "shifterType": "Seq"}])");
    EXPECT_EQ(DetectTypeForSlot(3), 3);
}

TEST_F(CarProfile, CachedValuesOtherThanTheTwoTypesAreUnknown) {
    CarsData(R"([{"car_id": "1", "shifterType": "Seq"}, {"car_id": "2", "shifterType": "Seq"}])");
    Write(CarInfo(), "[Car1]\nh_pattern=1abc\n[Car2]\nh_pattern=2\n[Car3]\nh_pattern=abc\n");
    EXPECT_EQ(TypeForCarId(1), 1);
    EXPECT_EQ(TypeForCarId(2), 3);
    EXPECT_EQ(TypeForCarId(3), 3);
    EXPECT_TRUE(Logged("Failed to read shifter mode from " + CarInfo().string()));
    EXPECT_EQ(game.ReadFile(CarInfo()),
              "[Car1]\nh_pattern=1abc\n[Car2]\nh_pattern=2\n[Car3]\nh_pattern=abc\n");
}

TEST_F(CarProfile, ACacheThatCannotBeWrittenGivesUnknown) {
    CarsData(R"([{"car_id": "1", "shifterType": "Seq"}])");
    platform::sim::HoldWithoutSharing(CarInfo().string(), true);
    EXPECT_EQ(TypeForCarId(1), 3);
    platform::sim::HoldWithoutSharing(CarInfo().string(), false);
    EXPECT_TRUE(Logged("Failed to read shifter mode from " + CarInfo().string()));
    EXPECT_EQ(TypeForCarId(1), 0);
}

TEST_F(CarProfile, ABadCarIdInCarsIniLooksUpTheNoCarEntry) {
    Write(CarsIni(), "[Car06]\nVLMCarID=none\n");
    Write(CarInfo(), "[Car-1]\nh_pattern=0\n");
    EXPECT_EQ(DetectTypeForSlot(6), 0);
    EXPECT_TRUE(Logged("Failed to read " + CarsIni().string()));
}

TEST_F(CarProfile, ClutchIsRequiredUnlessTheCacheSaysZero) {
    Write(CarsIni(),
          "[Car00]\nVLMCarID=10\n[Car01]\nVLMCarID=11\n[Car02]\nVLMCarID=12\n[Car03]\nVLMCarID=13\n");
    Write(CarInfo(), "[Car10]\nclutch_required=0\n[Car11]\nclutch_required=2\n[Car-1]\nclutch_required=0\n");
    EXPECT_EQ(ClutchRequiredForSlot(0), 0);
    EXPECT_EQ(ClutchRequiredForSlot(1), 1);
    EXPECT_EQ(ClutchRequiredForSlot(2), 1);
    EXPECT_EQ(ClutchRequiredForSlot(4), 0);
    EXPECT_EQ(ClutchRequiredForSlot(8), 0);
    EXPECT_EQ(ClutchRequiredForSlot(-1), 0);
    EXPECT_FALSE(Logged("Failed to read " + CarsIni().string()));

    Write(CarInfo(), "[Car10]\nclutch_required=off\n[Car-1]\nclutch_required=0\n");
    EXPECT_EQ(ClutchRequiredForSlot(0), 1);
    EXPECT_TRUE(Logged("Failed to read " + CarsIni().string()));
    Write(CarsIni(), "[Car04]\nVLMCarID=99999999999\n");
    EXPECT_EQ(ClutchRequiredForSlot(4), 1);
}

// The cache is written through the system's profile write; the simulated one
// must answer the table the real one answers under Wine.
TEST_F(CarProfile, SimulatedCacheWritesAnswerTheSharedTable) {
    const std::string path = CarInfo().string();
    for (const kvt_test::ProfileWriteCase& c : kvt_test::kProfileWriteCases) {
        fs::remove(CarInfo());
        if (c.fileText) Write(CarInfo(), c.fileText);
        for (const kvt_test::ProfileWrite& w : c.writes)
            EXPECT_TRUE(platform::WriteProfileValue(w.section, w.key, w.value, path.c_str())) << c.what;
        for (const kvt_test::ProfileRead& r : c.reads) {
            char buffer[256] = {};
            platform::ReadPrivateProfileString(r.section, r.key, "default", buffer, sizeof buffer,
                                               path.c_str());
            EXPECT_STREQ(buffer, r.expected) << c.what << ": " << r.section << "." << r.key;
        }
    }
    EXPECT_FALSE(
        platform::WriteProfileValue("Car1", "h_pattern", "1", (game.root() / "no" / "CarInfo.ini").c_str()));
}

}  // namespace
