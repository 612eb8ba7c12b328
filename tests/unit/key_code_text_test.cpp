// Key-code text of the custom RurAzu keys: the documented forms, round trips
// over the whole code range, and texts that are no number.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "config/setting.h"

namespace {
using Config::KeyCodeText;
using Config::ParseKeyCodeText;

TEST(KeyCodeText, ReadsAndRewritesTheDocumentedForms) {
    struct Case {
        const char* text;
        int32_t code;
        const char* written;
    };
    const Case cases[] = {
        {"", 0, ""},           {"a", 65, "A"},      {"z", 90, "Z"},       {"7", 55, "7"},
        {";", 59, "0x3b"},     {"@", 64, "0x40"},   {"-", 0, ""},         {"\xE9", 0, ""},
        {"0X6A", 106, "0x6a"}, {"0x05", 5, "0x05"}, {"106", 106, "0x6a"}, {" 65", 65, "A"},
        {"12abc", 12, "0x0c"}, {"0xZZ", 0, ""},     {"-5", -5, "-5"},     {"0x1000", 4096, "0x1000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseKeyCodeText(c.text), c.code) << '"' << c.text << '"';
        EXPECT_EQ(KeyCodeText(c.code), c.written) << c.code;
    }
}

TEST(KeyCodeText, EveryCodeReadsBackAsItself) {
    auto roundTrips = [](int32_t code) { return ParseKeyCodeText(KeyCodeText(code)) == code; };
    for (int32_t code = -1000; code <= 1000; ++code) EXPECT_TRUE(roundTrips(code)) << code;
    for (int32_t code : {INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1, 0x10000, -0x10000})
        EXPECT_TRUE(roundTrips(code)) << code;
}

TEST(KeyCodeText, TextsThatAreNoNumberThrowForTheCallerToReport) {
    EXPECT_THROW(ParseKeyCodeText("ab"), std::invalid_argument);
    EXPECT_THROW(ParseKeyCodeText("--"), std::invalid_argument);
    EXPECT_THROW(ParseKeyCodeText("99999999999"), std::out_of_range);
    EXPECT_THROW(ParseKeyCodeText("0x100000000"), std::out_of_range);
}

}  // namespace
