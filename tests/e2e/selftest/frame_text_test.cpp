// The simulated host's text rendering of a frame: rows, columns, highlight and
// separators, from hand-made call logs.
#include "frame_text.h"

#include <gtest/gtest.h>

namespace simhost {
namespace {

HostCall Text(double x, double y, const std::string& text) {
    HostCall call{"WriteText", {}};
    call.args.push_back(CallArg{false, x, ""});
    call.args.push_back(CallArg{false, y, ""});
    call.args.push_back(CallArg{true, 0, text});
    return call;
}

HostCall Bar(double x, double y, double width, double height) {
    HostCall call{"DrawSelectionBar", {}};
    for (double n : {x, y, width, height}) call.args.push_back(CallArg{false, n, ""});
    return call;
}

std::vector<std::string> Lines(const CallLog& log) {
    std::vector<std::string> lines;
    for (const FrameRow& row : LayoutFrame(log)) lines.push_back(RowLine(row));
    return lines;
}

TEST(FrameText, RowsFollowYAndTextsFollowXWhateverTheCallOrder) {
    CallLog log = {Text(265, 54, "B2"), Text(65, 37, "A1"), Text(65, 54, "B1"), Text(265, 37, "A2")};
    std::vector<std::string> expected = {"  A1" + std::string(23, ' ') + "A2",
                                         "  B1" + std::string(23, ' ') + "B2"};
    EXPECT_EQ(Lines(log), expected);
}

TEST(FrameText, ColumnIsEightUnitsFromTheMenuLeftEdge) {
    std::vector<std::string> lines = Lines({Text(65, 10, "x"), Text(145, 10, "y")});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "  x         y");  // (145 - 65) / 8 = column 10
}

TEST(FrameText, TextLeftOfTheMenuEdgeStartsAtColumnZero) {
    EXPECT_EQ(Lines({Text(0, 10, "far left")}), std::vector<std::string>{"  far left"});
}

TEST(FrameText, CloseTextsKeepOneBlankBetweenThem) {
    EXPECT_EQ(Lines({Text(65, 10, "Overlapping text"), Text(81, 10, "next")}),
              std::vector<std::string>{"  Overlapping text next"});
}

TEST(FrameText, TextThatWouldTouchItsNeighbourGetsOneBlank) {
    // "abcd" ends at column 4, exactly where x 97 would start the next text.
    EXPECT_EQ(Lines({Text(65, 10, "abcd"), Text(97, 10, "next")}), std::vector<std::string>{"  abcd next"});
    EXPECT_EQ(Lines({Text(65, 10, "abcd"), Text(105, 10, "next")}), std::vector<std::string>{"  abcd next"});
    EXPECT_EQ(Lines({Text(65, 10, "abcd"), Text(113, 10, "next")}), std::vector<std::string>{"  abcd  next"});
}

TEST(FrameText, HighlightMarksOnlyTheFirstRowItsBandCovers) {
    // The band is 18 high at y 37, so it also touches y 54 (37 + 17).
    CallLog log = {Bar(0, 37, 510, 18), Text(65, 37, "Page"), Text(65, 54, "Save Settings")};
    std::vector<FrameRow> rows = LayoutFrame(log);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].highlighted);
    EXPECT_FALSE(rows[1].highlighted);
    EXPECT_EQ(RowLine(rows[0]), "> Page");
    EXPECT_EQ(HighlightedRows(rows).size(), 1u);
}

TEST(FrameText, HighlightOnAnUndrawnLineStillShows) {
    std::vector<FrameRow> rows = LayoutFrame({Text(65, 37, "Page"), Bar(0, 92, 510, 18)});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].y, 92);
    EXPECT_TRUE(rows[1].highlighted);
    EXPECT_TRUE(rows[1].texts.empty());
    EXPECT_EQ(RowLine(rows[1]), ">");
}

TEST(FrameText, SeparatorIsARowOfDashesAtItsColumn) {
    std::vector<FrameRow> rows =
        LayoutFrame({Text(65, 54, "Save"), Bar(65, 71, 440, 3), Text(65, 78, "Help")});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[1].separator);
    EXPECT_EQ(RowLine(rows[1]), "  " + std::string(55, '-'));
    EXPECT_EQ(RowLine(LayoutFrame({Bar(145, 71, 440, 3)})[0]),
              "  " + std::string(10, ' ') + std::string(55, '-'));
}

TEST(FrameText, SeparatorIsNeverTheHighlightedRow) {
    std::vector<FrameRow> rows = LayoutFrame({Bar(65, 71, 440, 3), Bar(0, 71, 510, 5)});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].separator);
    EXPECT_TRUE(rows[0].highlighted);
    EXPECT_TRUE(rows[1].separator);
    EXPECT_FALSE(rows[1].highlighted);
}

TEST(FrameText, EmptyTextsAreDroppedButTheirRowRemains) {
    std::vector<FrameRow> rows =
        LayoutFrame({Text(65, 54, "Save Settings"), Text(265, 54, ""), Text(65, 90, "")});
    const FrameRow* save = TextRowAt(rows, 54);
    ASSERT_NE(save, nullptr);
    ASSERT_EQ(save->texts.size(), 1u);
    EXPECT_EQ(save->texts[0].second, "Save Settings");
    const FrameRow* blank = TextRowAt(rows, 90);
    ASSERT_NE(blank, nullptr);
    EXPECT_TRUE(blank->texts.empty());
    EXPECT_EQ(TextRowAt(rows, 37), nullptr);
}

TEST(FrameText, TrailingBlanksOfTheLastTextAreNotPrinted) {
    EXPECT_EQ(Lines({Text(65, 37, "Page"), Text(265, 37, "[1/4] RurAzu ")})[0],
              "  Page" + std::string(21, ' ') + "[1/4] RurAzu");
}

TEST(FrameText, OtherCallsDoNotMakeRows) {
    HostCall colour{"SetPresetColour", {CallArg{false, 4, ""}}};
    HostCall box{"DrawFilledBox", {}};
    for (double n : {320.0, 250.0, 60.0, 19.0}) box.args.push_back(CallArg{false, n, ""});
    EXPECT_TRUE(LayoutFrame({colour, box}).empty());
    EXPECT_EQ(RenderFrame(LayoutFrame({colour, Text(65, 20, "Title")})), "  Title\n");
}

}  // namespace
}  // namespace simhost
