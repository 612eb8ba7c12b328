// Hex byte texts and the descriptions of how two files, or a file and the
// bytes a script wants at an offset, differ.
#include "file_bytes.h"

#include <gtest/gtest.h>

namespace simhost {
namespace {

TEST(FileBytes, HexTextsBecomeBytesInEitherCaseWithBlanksBetweenBytes) {
    std::string bytes, error;
    ASSERT_TRUE(ParseHexBytes("FFFE5B00", bytes, error));
    EXPECT_EQ(bytes, std::string("\xFF\xFE\x5B\x00", 4));
    ASSERT_TRUE(ParseHexBytes("ef bb\tBF", bytes, error));
    EXPECT_EQ(bytes, "\xEF\xBB\xBF");
    EXPECT_EQ(HexBytes(std::string("\x00\x0D\x0A\xFF", 4)), "000D0AFF");
    ASSERT_TRUE(ParseHexBytes(HexBytes("[Main]\r\n"), bytes, error));
    EXPECT_EQ(bytes, "[Main]\r\n");
}

TEST(FileBytes, MalformedHexTextsSayWhy) {
    std::string bytes, error;
    EXPECT_FALSE(ParseHexBytes("FFF", bytes, error));
    EXPECT_EQ(error, "an odd number of hex digits");
    EXPECT_FALSE(ParseHexBytes("F F", bytes, error));
    EXPECT_EQ(error, "a blank inside a byte");
    EXPECT_FALSE(ParseHexBytes("0x41", bytes, error));
    EXPECT_EQ(error, "'x' is not a hex digit");
    EXPECT_FALSE(ParseHexBytes("  ", bytes, error));
    EXPECT_EQ(error, "no bytes");
}

TEST(FileBytes, SameFileNamesTheMissingOnesOrTheFirstDifference) {
    EXPECT_EQ(SameFileProblem("a", std::string("x\0y", 3), "b", std::string("x\0y", 3)), "");
    EXPECT_EQ(SameFileProblem("a", std::string(), "b", std::string()), "");
    EXPECT_EQ(SameFileProblem("a", std::nullopt, "b", std::string("x")), "a is missing");
    EXPECT_EQ(SameFileProblem("a", std::string("x"), "b", std::nullopt), "b is missing");
    EXPECT_EQ(SameFileProblem("a", std::nullopt, "b", std::nullopt), "a and b are missing");
    EXPECT_EQ(SameFileProblem("a", std::string("abcd"), "b", std::string("abXd")),
              "a has 4 bytes, b has 4 bytes, first difference at byte 2");
    // One the other's beginning: they part where the shorter one ends.
    EXPECT_EQ(SameFileProblem("a", std::string("abc"), "b", std::string("abcdef")),
              "a has 3 bytes, b has 6 bytes, first difference at byte 3");
    EXPECT_EQ(SameFileProblem("a", std::string("\xFF\xFE[", 3), "b", std::string("[")),
              "a has 3 bytes, b has 1 bytes, first difference at byte 0");
}

TEST(FileBytes, BytesAtAnOffsetShowWhatTheFileHoldsThere) {
    const std::string bom("\xFF\xFE\x5B\x00", 4);
    EXPECT_EQ(BytesAtProblem("f", bom, 0, "\xFF\xFE"), "");
    EXPECT_EQ(BytesAtProblem("f", bom, 2, std::string("\x5B\x00", 2)), "");
    EXPECT_EQ(BytesAtProblem("f", "[Main]", 0, "\xFF\xFE"), "f has 6 bytes, at 0: 5B4D");
    // Past the end, or running over it, is a difference, not a match of what there is.
    EXPECT_EQ(BytesAtProblem("f", bom, 3, std::string("\x00\x00", 2)), "f has 4 bytes, at 3: 00");
    EXPECT_EQ(BytesAtProblem("f", bom, 4, "\x0D"), "f has 4 bytes, at 4: nothing");
    EXPECT_EQ(BytesAtProblem("f", "", 0, "\x0D"), "f has 0 bytes, at 0: nothing");
}

}  // namespace
}  // namespace simhost
