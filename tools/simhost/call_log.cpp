// Printing and matching of recorded host calls.
#include "call_log.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace simhost {

std::string FormatNumber(double value) {
    char buffer[64];
    if (std::fabs(value) < 1e9 && value == std::floor(value))
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
    else
        std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

static std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string FormatCall(const HostCall& call) {
    std::string line = call.name + "(";
    for (size_t i = 0; i < call.args.size(); ++i) {
        if (i > 0) line += ", ";
        const CallArg& arg = call.args[i];
        line += arg.isText ? Quote(arg.text) : FormatNumber(arg.number);
    }
    return line + ")";
}

static bool ArgMatches(const CallArg& arg, const ArgPattern& pattern) {
    if (!pattern.quoted && pattern.text == "*") return true;
    if (arg.isText) return arg.text == pattern.text;
    if (pattern.quoted || pattern.text.empty()) return false;
    char* end = nullptr;
    double expected = std::strtod(pattern.text.c_str(), &end);
    if (end == nullptr || *end != '\0') return false;
    return std::fabs(arg.number - expected) <= 1e-6 * std::fmax(1.0, std::fabs(expected));
}

bool CallMatches(const HostCall& call, const std::string& name, const std::vector<ArgPattern>& args) {
    if (call.name != name) return false;
    bool open = !args.empty() && !args.back().quoted && args.back().text == "...";
    size_t fixed = open ? args.size() - 1 : args.size();
    if (open ? call.args.size() < fixed : call.args.size() != fixed) return false;
    for (size_t i = 0; i < fixed; ++i)
        if (!ArgMatches(call.args[i], args[i])) return false;
    return true;
}

std::string FormatPattern(const std::string& name, const std::vector<ArgPattern>& args) {
    std::string line = name + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) line += ", ";
        line += args[i].quoted ? Quote(args[i].text) : args[i].text;
    }
    return line + ")";
}

}  // namespace simhost
