// A frame as the text a test reads: one line per distinct WriteText row, the
// selection highlight as a ">" in the margin and separator bars as dashes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "call_log.h"

namespace simhost {

// The host's menu units: lines start at x 65, the highlight spans 510 units
// and a separator 440; one character column stands for 8 units.
inline constexpr double kMenuLeft = 65;
inline constexpr double kHighlightWidth = 510;
inline constexpr double kSeparatorWidth = 440;
inline constexpr double kUnitsPerColumn = 8;

struct FrameRow {
    double y = 0;
    bool highlighted = false;
    bool separator = false;
    double separatorX = 0;
    double separatorWidth = 0;
    // Non-empty texts of the row in x order (stable for equal x).
    std::vector<std::pair<double, std::string>> texts;
};

// Rows in y order. A highlight band that covers no text row still shows up as
// an empty highlighted row, so a selection on an undrawn line stays visible.
std::vector<FrameRow> LayoutFrame(const CallLog& calls);

std::string RowLine(const FrameRow& row);
std::string RenderFrame(const std::vector<FrameRow>& rows);

// The row of texts written at exactly this y, or null.
const FrameRow* TextRowAt(const std::vector<FrameRow>& rows, double y);
std::vector<const FrameRow*> HighlightedRows(const std::vector<FrameRow>& rows);

}  // namespace simhost
