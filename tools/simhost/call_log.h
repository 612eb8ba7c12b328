// One frame's record of host calls: what the plug-in asked the host to draw,
// in order, with its arguments, and how a script line names such a call.
#pragma once

#include <string>
#include <vector>

namespace simhost {

struct CallArg {
    bool isText = false;
    double number = 0;
    std::string text;
};

struct HostCall {
    std::string name;
    std::vector<CallArg> args;
};

using CallLog = std::vector<HostCall>;

// A script's picture of one argument: "*" unquoted matches anything.
struct ArgPattern {
    std::string text;
    bool quoted = false;
};

// Integers print bare (65, not 65.000000) so a log line reads like the call in
// the source; fractions keep six significant digits.
std::string FormatNumber(double value);
std::string FormatCall(const HostCall& call);

// The name must be equal and every argument must match; a trailing unquoted
// "..." accepts any further arguments. Numbers match within a millionth of
// their size, since they travel as 32-bit floats.
bool CallMatches(const HostCall& call, const std::string& name, const std::vector<ArgPattern>& args);
std::string FormatPattern(const std::string& name, const std::vector<ArgPattern>& args);

}  // namespace simhost
