// Laying out a recorded frame as text.
#include "frame_text.h"

#include <algorithm>
#include <cmath>

namespace simhost {

namespace {

struct Band {
    double top;
    double height;
};

bool Covers(const Band& band, double y) {
    return y >= band.top && y < band.top + band.height;
}

size_t ColumnOf(double x) {
    double column = std::round((x - kMenuLeft) / kUnitsPerColumn);
    return column < 0 ? 0 : static_cast<size_t>(column);
}

double Number(const HostCall& call, size_t index) {
    return index < call.args.size() && !call.args[index].isText ? call.args[index].number : 0;
}

}  // namespace

std::vector<FrameRow> LayoutFrame(const CallLog& calls) {
    std::vector<FrameRow> rows;
    std::vector<Band> highlights;
    for (const HostCall& call : calls) {
        if (call.name == "WriteText" && call.args.size() == 3 && call.args[2].isText) {
            const std::string& text = call.args[2].text;
            double x = Number(call, 0), y = Number(call, 1);
            auto row = std::find_if(rows.begin(), rows.end(),
                                    [&](const FrameRow& r) { return !r.separator && r.y == y; });
            if (row == rows.end()) {
                rows.push_back(FrameRow{});
                rows.back().y = y;
                row = rows.end() - 1;
            }
            if (!text.empty()) row->texts.emplace_back(x, text);
        } else if (call.name == "DrawSelectionBar" && call.args.size() == 4) {
            if (Number(call, 2) == kSeparatorWidth) {
                FrameRow row;
                row.y = Number(call, 1);
                row.separator = true;
                row.separatorX = Number(call, 0);
                row.separatorWidth = Number(call, 2);
                rows.push_back(row);
            } else {
                highlights.push_back(Band{Number(call, 1), Number(call, 3)});
            }
        }
    }
    for (FrameRow& row : rows)
        std::stable_sort(row.texts.begin(), row.texts.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    // A band is one unit taller than the line spacing, so it reaches the top
    // of the next line; it marks only the first text row it covers.
    for (const Band& band : highlights) {
        FrameRow* first = nullptr;
        for (FrameRow& row : rows)
            if (!row.separator && Covers(band, row.y) && (first == nullptr || row.y < first->y)) first = &row;
        if (first != nullptr) {
            first->highlighted = true;
        } else {
            FrameRow row;
            row.y = band.top;
            row.highlighted = true;
            rows.push_back(row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const FrameRow& a, const FrameRow& b) {
        return a.y < b.y || (a.y == b.y && !a.separator && b.separator);
    });
    return rows;
}

std::string RowLine(const FrameRow& row) {
    std::string line = row.highlighted ? "> " : "  ";
    const size_t margin = line.size();
    if (row.separator) {
        line.append(ColumnOf(row.separatorX), ' ');
        line.append(static_cast<size_t>(std::max(1.0, row.separatorWidth / kUnitsPerColumn)), '-');
        return line;
    }
    for (const auto& [x, text] : row.texts) {
        size_t column = margin + ColumnOf(x);
        if (line.size() > margin && column < line.size() + 1) column = line.size() + 1;
        line.append(column - line.size(), ' ');
        line += text;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::string RenderFrame(const std::vector<FrameRow>& rows) {
    std::string text;
    for (const FrameRow& row : rows) text += RowLine(row) + "\n";
    return text;
}

const FrameRow* TextRowAt(const std::vector<FrameRow>& rows, double y) {
    for (const FrameRow& row : rows)
        if (!row.separator && row.y == y) return &row;
    return nullptr;
}

std::vector<const FrameRow*> HighlightedRows(const std::vector<FrameRow>& rows) {
    std::vector<const FrameRow*> found;
    for (const FrameRow& row : rows)
        if (row.highlighted) found.push_back(&row);
    return found;
}

}  // namespace simhost
