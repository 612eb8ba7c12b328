// Printing of recorded host calls and matching them against a script's words.
#include "call_log.h"

#include <gtest/gtest.h>

namespace simhost {
namespace {

HostCall Call(const std::string& name, std::initializer_list<double> numbers, const char* text = nullptr) {
    HostCall call{name, {}};
    for (double n : numbers) call.args.push_back(CallArg{false, n, ""});
    if (text != nullptr) call.args.push_back(CallArg{true, 0, text});
    return call;
}

std::vector<ArgPattern> Words(std::initializer_list<const char*> words) {
    std::vector<ArgPattern> patterns;
    for (const char* word : words) patterns.push_back(ArgPattern{word, false});
    return patterns;
}

TEST(CallLog, IntegersPrintBareFractionsKeepSixDigits) {
    EXPECT_EQ(FormatNumber(65), "65");
    EXPECT_EQ(FormatNumber(-3), "-3");
    EXPECT_EQ(FormatNumber(0.5), "0.5");
    EXPECT_EQ(FormatNumber(static_cast<float>(120.0 / 255.0)), "0.470588");
}

TEST(CallLog, CallsPrintLikeTheSourceWithQuotedEscapedText) {
    EXPECT_EQ(FormatCall(Call("DrawSelectionBar", {0, 54, 510, 18})), "DrawSelectionBar(0, 54, 510, 18)");
    EXPECT_EQ(FormatCall(Call("WriteText", {65, 20}, "say \"hi\" \\ bye")),
              "WriteText(65, 20, \"say \\\"hi\\\" \\\\ bye\")");
    EXPECT_EQ(FormatCall(Call("HostSlot1", {})), "HostSlot1()");
}

TEST(CallLog, MatchNeedsTheNameAndEveryArgument) {
    HostCall bar = Call("DrawSelectionBar", {65, 71, 440, 3});
    EXPECT_TRUE(CallMatches(bar, "DrawSelectionBar", Words({"65", "71", "440", "3"})));
    EXPECT_FALSE(CallMatches(bar, "DrawSelectionBar", Words({"65", "71", "440", "4"})));
    EXPECT_FALSE(CallMatches(bar, "DrawFilledBox", Words({"65", "71", "440", "3"})));
    EXPECT_FALSE(CallMatches(bar, "DrawSelectionBar", Words({"65", "71", "440"})));
    EXPECT_FALSE(CallMatches(bar, "DrawSelectionBar", Words({"65", "71", "440", "3", "0"})));
}

TEST(CallLog, StarMatchesOneArgumentAndDotsTheRest) {
    HostCall bar = Call("DrawSelectionBar", {0, 37, 510, 18});
    EXPECT_TRUE(CallMatches(bar, "DrawSelectionBar", Words({"*", "*", "510", "*"})));
    EXPECT_FALSE(CallMatches(bar, "DrawSelectionBar", Words({"*", "*", "440", "*"})));
    EXPECT_TRUE(CallMatches(bar, "DrawSelectionBar", Words({"0", "..."})));
    EXPECT_TRUE(CallMatches(bar, "DrawSelectionBar", Words({"..."})));
    EXPECT_FALSE(CallMatches(bar, "DrawSelectionBar", Words({"1", "..."})));
    // Quoted, they are ordinary texts.
    HostCall star = Call("WriteText", {1, 2}, "*");
    EXPECT_TRUE(CallMatches(star, "WriteText", {ArgPattern{"1"}, ArgPattern{"2"}, ArgPattern{"*", true}}));
    EXPECT_FALSE(CallMatches(Call("WriteText", {1, 2}, "x"), "WriteText",
                             {ArgPattern{"1"}, ArgPattern{"2"}, ArgPattern{"*", true}}));
}

TEST(CallLog, NumbersMatchWithinFloatPrecisionOnly) {
    HostCall colour = Call("SetColour", {static_cast<float>(204.0 / 255.0), 0, 0, 1});
    EXPECT_TRUE(CallMatches(colour, "SetColour", Words({"0.8", "0", "0", "1"})));
    EXPECT_FALSE(CallMatches(colour, "SetColour", Words({"0.81", "0", "0", "1"})));
    EXPECT_FALSE(CallMatches(Call("SetTextStyle", {1}), "SetTextStyle", Words({"1x"})));
    EXPECT_FALSE(CallMatches(Call("SetTextStyle", {1}), "SetTextStyle", {ArgPattern{"1", true}}));
}

TEST(CallLog, TextsMatchExactlyIncludingTrailingBlanks) {
    HostCall value = Call("WriteText", {265, 37}, "[1/4] RurAzu ");
    EXPECT_TRUE(CallMatches(value, "WriteText",
                            {ArgPattern{"265"}, ArgPattern{"37"}, ArgPattern{"[1/4] RurAzu ", true}}));
    EXPECT_FALSE(CallMatches(value, "WriteText",
                             {ArgPattern{"265"}, ArgPattern{"37"}, ArgPattern{"[1/4] RurAzu", true}}));
    EXPECT_FALSE(CallMatches(value, "WriteText", Words({"265", "37", "265"})));
}

TEST(CallLog, PatternsPrintTheWayTheyWereWritten) {
    EXPECT_EQ(FormatPattern("WriteText", {ArgPattern{"65"}, ArgPattern{"*"}, ArgPattern{"a\"b", true}}),
              "WriteText(65, *, \"a\\\"b\")");
}

}  // namespace
}  // namespace simhost
