// The script's expectations: what the last frame drew, what the plug-in
// answered and what it did to the host's memory (the game folder's are in
// game_files.cpp).
#include <cstdlib>

#include "session.h"

namespace simhost {

namespace {

bool ParseDouble(const Token& token, double& value) {
    if (token.quoted || token.text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(token.text.c_str(), &end);
    return *end == '\0';
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Rows and the selection compare what the player sees, so trailing blanks do
// not count there; call and text expectations compare exact arguments.
std::string Visible(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
}

std::string RowTexts(const FrameRow* row) {
    if (row == nullptr) return "no row";
    std::string joined;
    for (const auto& [x, text] : row->texts) {
        if (!joined.empty()) joined += ' ';
        joined += Quoted(text);
    }
    return joined.empty() ? "an empty row" : joined;
}

// Calls with the wanted name, to show next to a failed call expectation.
std::string SameNamed(const CallLog& log, const std::string& name) {
    std::string seen;
    int shown = 0;
    for (const HostCall& call : log) {
        if (call.name != name) continue;
        if (shown++ == 4) return seen + ", ...";
        seen += (seen.empty() ? "" : ", ") + FormatCall(call);
    }
    return seen.empty() ? "no " + name + " call" : seen;
}

}  // namespace

void Session::Expect(const ScriptLine& line) {
    if (line.tokens.size() < 2) return Usage(line, "expect WHAT ...");
    const std::string& kind = line.tokens[1].text;
    if (kind == "call" || kind == "next" || kind == "then" || kind == "first" || kind == "no-call" ||
        kind == "call-count" || kind == "text" || kind == "no-text")
        return ExpectCall(line, kind);
    if (kind == "row" || kind == "no-row" || kind == "selected") return ExpectFrame(line, kind);
    if (kind == "within-frame") {
        if (!pictureMade_) return Fail(line, "no picture made yet");
        if (picturePastEdge_.empty()) return Pass(line);
        return Fail(line, "the last picture draws past the frame's edge: " + picturePastEdge_.front());
    }
    if (kind == "file-exists" || kind == "no-file" || kind == "file-contains" || kind == "file-lacks" ||
        kind == "file-size" || kind == "same-file" || kind == "file-bytes-at")
        return ExpectFile(line, kind);
    ExpectHost(line, kind);
}

void Session::ExpectCall(const ScriptLine& line, const std::string& kind) {
    const std::vector<Token>& t = line.tokens;
    std::string name;
    std::vector<ArgPattern> args;
    uint32_t count = 0;
    if (kind == "text") {
        if (t.size() != 5) return Usage(line, "expect text X Y \"TEXT\"");
        name = "WriteText";
        args.assign(t.begin() + 2, t.end());
        args.back().quoted = true;
    } else if (kind == "no-text") {
        if (t.size() != 3) return Usage(line, "expect no-text \"TEXT\"");
        name = "WriteText";
        args = {ArgPattern{"*", false}, ArgPattern{"*", false}, ArgPattern{t[2].text, true}};
    } else if (kind == "call-count") {
        if (t.size() < 4 || !ParseUnsigned(t[2], count))
            return Usage(line, "expect call-count N NAME ARGS...");
        name = t[3].text;
        args.assign(t.begin() + 4, t.end());
    } else {
        if (t.size() < 3) return Usage(line, "expect " + kind + " NAME ARGS...");
        name = t[2].text;
        args.assign(t.begin() + 3, t.end());
    }
    const std::string wanted = FormatPattern(name, args);
    const std::string frame = "frame " + std::to_string(frames_);
    auto matches = [&](size_t i) { return CallMatches(lastFrame_[i], name, args); };

    if (kind == "no-call" || kind == "no-text" || kind == "call-count") {
        size_t found = 0;
        std::string first;
        for (size_t i = 0; i < lastFrame_.size(); ++i)
            if (matches(i) && found++ == 0) first = FormatCall(lastFrame_[i]);
        size_t want = kind == "call-count" ? count : 0;
        if (found == want) return Pass(line);
        return Fail(line, frame + " has " + std::to_string(found) + " matching " + wanted +
                              (first.empty() ? "" : ", first " + first));
    }
    if (kind == "first" || kind == "next") {
        size_t at = kind == "first" ? 0 : static_cast<size_t>(cursor_ + 1);
        if (at < lastFrame_.size() && matches(at)) {
            cursor_ = static_cast<int>(at);
            return Pass(line);
        }
        return Fail(line, at < lastFrame_.size()
                              ? frame + " call " + std::to_string(at) + " is " + FormatCall(lastFrame_[at])
                              : frame + " has no call " + std::to_string(at));
    }
    size_t from = kind == "then" ? static_cast<size_t>(cursor_ + 1) : 0;
    for (size_t i = from; i < lastFrame_.size(); ++i) {
        if (matches(i)) {
            cursor_ = static_cast<int>(i);
            return Pass(line);
        }
    }
    Fail(line, frame + (from > 0 ? " after call " + std::to_string(from - 1) : "") + " has " +
                   SameNamed(lastFrame_, name));
}

void Session::ExpectFrame(const ScriptLine& line, const std::string& kind) {
    const std::vector<Token>& t = line.tokens;
    const std::string frame = "frame " + std::to_string(frames_);
    if (kind == "selected") {
        if (t.size() != 3) return Usage(line, "expect selected \"TEXT\"|none");
        std::vector<const FrameRow*> rows = HighlightedRows(lastRows_);
        std::string seen;
        for (const FrameRow* row : rows)
            seen +=
                (seen.empty() ? "" : "; ") + std::string("y ") + FormatNumber(row->y) + ": " + RowTexts(row);
        if (!t[2].quoted && t[2].text == "none") {
            if (rows.empty()) return Pass(line);
            return Fail(line, frame + " highlights " + seen);
        }
        if (rows.size() == 1 && !rows[0]->texts.empty() &&
            Visible(rows[0]->texts[0].second) == Visible(t[2].text))
            return Pass(line);
        return Fail(line, rows.empty() ? frame + " has no selection bar" : frame + " highlights " + seen);
    }
    double y = 0;
    if (t.size() < 3 || !ParseDouble(t[2], y))
        return Usage(line, kind == "row" ? "expect row Y \"TEXT\"..." : "expect no-row Y");
    const FrameRow* row = TextRowAt(lastRows_, y);
    if (kind == "no-row") {
        if (row == nullptr) return Pass(line);
        return Fail(line, frame + " has at y " + t[2].text + ": " + RowTexts(row));
    }
    bool same = row != nullptr && row->texts.size() == t.size() - 3;
    for (size_t i = 0; same && i < row->texts.size(); ++i)
        same = Visible(row->texts[i].second) == Visible(t[3 + i].text);
    if (same) return Pass(line);
    Fail(line, frame + " has at y " + t[2].text + ": " + RowTexts(row));
}

void Session::ExpectHost(const ScriptLine& line, const std::string& kind) {
    const std::vector<Token>& t = line.tokens;
    if (kind == "name") {
        if (t.size() != 3) return Usage(line, "expect name \"TEXT\"");
        if (nameSeen_ && lastName_ == t[2].text) return Pass(line);
        std::string seen = nameSeen_ ? "name was " : "no name asked yet";
        if (nameSeen_) seen += Quoted(lastName_);
        return Fail(line, seen);
    }
    if (kind == "same-object") {
        bool same = created_.size() >= 2 && created_.front() != 0;
        for (uint32_t object : created_) same = same && object == created_.front();
        if (same) return Pass(line);
        std::string seen = std::to_string(created_.size()) + " objects:";
        for (uint32_t object : created_) {
            seen += ' ';
            seen += Hex(object);
        }
        return Fail(line, seen);
    }
    if (kind == "abi-ok") {
        if (abiRuns_ > 0 && abiOk_) return Pass(line);
        return Fail(line, abiRuns_ == 0 ? "no abi run yet" : "an entry left the stack or a register wrong");
    }
    if (kind == "word") {
        uint32_t address = 0, value = 0;
        if (t.size() != 4 || !layout_.ResolveAddress(t[2].text, address) || !ParseUnsigned(t[3], value))
            return Usage(line, "expect word LOCATION VALUE");
        uint32_t actual = HostLayout::Read32(address);
        if (actual == value) return Pass(line);
        return Fail(line, t[2].text + " holds " + std::to_string(actual) + " (" + Hex(actual) + ")");
    }
    if (kind == "patched" || kind == "unpatched" || kind == "site-bytes" || kind == "foreign-runs" ||
        kind == "mode-stores")
        return ExpectSite(line, kind);
    if (kind == "device-queries") {
        uint32_t count = 0;
        if (t.size() != 3 || !ParseUnsigned(t[2], count)) return Usage(line, "expect device-queries N");
        if (layout_.DeviceQueries() == count) return Pass(line);
        return Fail(line, "the device was asked " + std::to_string(layout_.DeviceQueries()) + " times");
    }
    if (kind == "foreground") {
        if (t.size() != 2) return Usage(line, "expect foreground");
        HWND front = GetForegroundWindow();
        if (front == window_) return Pass(line);
        return Fail(line, "the foreground window is " +
                              Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(front))));
    }
    if (kind == "message" || kind == "no-message") {
        if (t.size() != 3) return Usage(line, "expect " + kind + " \"PREFIX\"");
        CollectMessages();
        std::string first;
        for (const std::string& message : windowMessages_)
            if (message.compare(0, t[2].text.size(), t[2].text) == 0 && first.empty()) first = message;
        bool found = !first.empty();
        if (found == (kind == "message")) return Pass(line);
        return Fail(line, found ? "received " + first
                                : std::to_string(windowMessages_.size()) + " messages, none like it");
    }
    if (kind == "message-count") {
        uint32_t count = 0;
        if (t.size() != 4 || !ParseUnsigned(t[2], count))
            return Usage(line, "expect message-count N \"PREFIX\"");
        CollectMessages();
        uint32_t found = 0;
        for (const std::string& message : windowMessages_)
            if (message.compare(0, t[3].text.size(), t[3].text) == 0) ++found;
        if (found == count) return Pass(line);
        return Fail(line, "received " + std::to_string(found) + " like it, of " +
                              std::to_string(windowMessages_.size()) + " messages");
    }
    if (kind == "message-sequence") {
        if (t.size() < 3) return Usage(line, "expect message-sequence \"PREFIX\"...");
        CollectMessages();
        // Each prefix is looked for after the message the one before matched;
        // other messages may come between.
        size_t at = 0, matched = 0;
        std::string last;
        for (; matched + 2 < t.size(); ++matched) {
            const std::string& prefix = t[matched + 2].text;
            while (at < windowMessages_.size() && windowMessages_[at].compare(0, prefix.size(), prefix) != 0)
                ++at;
            if (at == windowMessages_.size()) break;
            last = windowMessages_[at++];
        }
        if (matched + 2 == t.size()) return Pass(line);
        std::string seen = matched == 0
                               ? "no message like " + Quoted(t[2].text)
                               : "after " + Quoted(last) + " no message like " + Quoted(t[matched + 2].text);
        seen += "; received";
        for (const std::string& message : windowMessages_) seen += " [" + message + "]";
        return Fail(line, windowMessages_.empty() ? seen + " nothing" : seen);
    }
    if (kind == "vr-calls") return ExpectVrCalls(line);
    Fail(line, "unknown expectation \"" + kind + "\"");
}

}  // namespace simhost
