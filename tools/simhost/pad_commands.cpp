// The player's controllers (through the controller stand-in) and waiting for
// what the plug-in writes in its log.
#include <cstdlib>

#include "host_window.h"
#include "session.h"

namespace simhost {

namespace {

constexpr const char* kDefaultPadName = "KVT Test Wheel";
constexpr uint32_t kDefaultWaitMs = 30000;

// A hat position by its direction, as SDL numbers them (up 1, right 2, down
// 4, left 8, diagonals the sums), or by that number.
bool ParseHat(const Token& token, uint32_t& value) {
    static constexpr struct {
        const char* name;
        uint32_t value;
    } kDirections[] = {{"centre", 0},   {"up", 1},         {"right", 2},      {"down", 4},   {"left", 8},
                       {"up-right", 3}, {"down-right", 6}, {"down-left", 12}, {"up-left", 9}};
    for (const auto& direction : kDirections)
        if (token.text == direction.name) return value = direction.value, true;
    return ParseUnsigned(token, value) && value <= 15;
}

bool ParseAxisValue(const Token& token, int& value) {
    if (token.quoted || token.text.empty()) return false;
    char* end = nullptr;
    const long parsed = std::strtol(token.text.c_str(), &end, 10);
    if (*end != '\0' || parsed < -32768 || parsed > 32767) return false;
    value = static_cast<int>(parsed);
    return true;
}

size_t CountIn(const std::string& text, const std::string& wanted) {
    size_t count = 0;
    for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + wanted.size()))
        ++count;
    return count;
}

}  // namespace

// pad [P] plug ["NAME"] | unplug | button B down|up | hat H DIRECTION |
// axis A VALUE | wait [MS]; P is the pad's slot, 1 (the default) to 4.
void Session::Pad(const ScriptLine& line) {
    static const char* const kForm =
        "pad [P] plug [\"NAME\"] | unplug | button B down|up | hat H centre|up|right|down|left|up-right|... "
        "| "
        "axis A VALUE | wait [MS]";
    const std::vector<Token>& t = line.tokens;
    size_t at = 1;
    uint32_t slot = 1, named = 0;
    if (at < t.size() && !t[at].quoted && ParseUnsigned(t[at], named)) {
        slot = named;
        ++at;
    }
    if (slot < 1 || slot > kPadSlots || at >= t.size()) return Usage(line, kForm);
    PadState& pad = pads_[slot - 1];
    const std::string& verb = t[at].text;
    const size_t arguments = t.size() - at - 1;
    const std::string target = std::to_string(slot);
    std::string sent;
    uint32_t which = 0, value = 0;
    int axisValue = 0;
    if (verb == "plug" && arguments <= 1) {
        pad.name = arguments == 1 ? t[at + 1].text : kDefaultPadName;
        pad.plugged = true;
        sent = "plug " + target + " " + pad.name;
    } else if (verb == "unplug" && arguments == 0) {
        pad.plugged = false;
        sent = "unplug " + target;
    } else if (verb == "button" && arguments == 2 && ParseUnsigned(t[at + 1], which) &&
               (t[at + 2].text == "down" || t[at + 2].text == "up")) {
        sent = "button " + target + " " + std::to_string(which) + (t[at + 2].text == "down" ? " 1" : " 0");
    } else if (verb == "hat" && arguments == 2 && ParseUnsigned(t[at + 1], which) &&
               ParseHat(t[at + 2], value)) {
        sent = "hat " + target + " " + std::to_string(which) + " " + std::to_string(value);
    } else if (verb == "axis" && arguments == 2 && ParseUnsigned(t[at + 1], which) &&
               ParseAxisValue(t[at + 2], axisValue)) {
        sent = "axis " + target + " " + std::to_string(which) + " " + std::to_string(axisValue);
    } else if (verb == "wait" && arguments <= 1) {
        uint32_t limit = kDefaultWaitMs;
        if (arguments == 1 && !ParseUnsigned(t[at + 1], limit)) return Usage(line, kForm);
        return PadWait(line, pad, limit);
    } else {
        return Usage(line, kForm);
    }
    const std::string error = padLink_.Send(sent);
    if (!error.empty()) return Fail(line, error);
    Say("pad " + sent);
}

// Until Windows lists the pad as its last plug or unplug left it: only then
// can the plug-in's controller layer find it (or have lost it). Pads of one
// name are told apart by their number: Windows must list that name as often
// as the stand-in's slots hold it plugged.
void Session::PadWait(const ScriptLine& line, const PadState& pad, uint32_t limitMs) {
    if (pad.name.empty()) return Fail(line, "this pad was never plugged");
    NoteCommand(line.number, JoinTokens(line.tokens, 0), limitMs);
    int wanted = 0;
    for (const PadState& slot : pads_)
        if (slot.plugged && slot.name == pad.name) ++wanted;
    std::string error;
    int listed = 0;
    DWORD waited = 0;
    const bool settled = PollPumping(
        limitMs, 100,
        [&] {
            listed = padLink_.Listed(pad.name, error);
            return !error.empty() || listed == wanted;
        },
        waited);
    if (!error.empty()) return Fail(line, error);
    const std::string after = " after " + std::to_string(waited) + " ms";
    if (!settled) {
        if (wanted <= 1 && listed <= 1)
            return Fail(line, pad.name + (listed ? " is still listed" : " is not listed") + after);
        return Fail(line, pad.name + " is listed " + std::to_string(listed) + " times, with " +
                              std::to_string(wanted) + " plugged," + after);
    }
    Pass(line);
    Say("pad wait: " + pad.name +
        (wanted > 1 ? " listed " + std::to_string(listed) + " times"
         : listed   ? " listed"
                    : " gone") +
        after);
}

// wait-log N "TEXT" [MS]: until the plug-in's log holds TEXT at least N
// times (a controller found or lost shows there), or fails after MS.
void Session::WaitLog(const ScriptLine& line) {
    const std::vector<Token>& t = line.tokens;
    uint32_t count = 0, limit = kDefaultWaitMs;
    if ((t.size() != 3 && t.size() != 4) || !ParseUnsigned(t[1], count) || count == 0 || !t[2].quoted ||
        (t.size() == 4 && !ParseUnsigned(t[3], limit)))
        return Usage(line, "wait-log N \"TEXT\" [MS]");
    NoteCommand(line.number, JoinTokens(t, 0), limit);
    const std::string path = GamePath("Plugins/KVTControls/KVTControls.log");
    size_t seen = 0;
    DWORD waited = 0;
    const bool found = PollPumping(
        limit, 50,
        [&] {
            seen = CountIn(ReadBytes(path).value_or(std::string()), t[2].text);
            return seen >= count;
        },
        waited);
    if (!found)
        return Fail(line, "the log holds it " + std::to_string(seen) + " times after " +
                              std::to_string(waited) + " ms");
    Pass(line);
    Say("wait-log: after " + std::to_string(waited) + " ms");
}

}  // namespace simhost
