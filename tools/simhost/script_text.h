// The session script as text: lines of words, "quoted texts" with backslash
// escapes for quotes and backslashes, and # comments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "call_log.h"

namespace simhost {

using Token = ArgPattern;

struct ScriptLine {
    int number = 0;
    std::vector<Token> tokens;
};

// A # starts a comment only where a word could start, so "#3 Wheel" inside
// quotes and a word such as a#b stay intact. Returns false with a reason on an
// unterminated quote or a dangling escape.
bool TokenizeLine(const std::string& line, std::vector<Token>& tokens, std::string& error);

// Blank and comment-only lines are dropped; malformed lines are reported in
// errors as "<line>: <reason>" and dropped too.
std::vector<ScriptLine> ParseScript(const std::string& text, std::vector<std::string>& errors);

// An unquoted number (decimal, or 0x hexadecimal) into value; false for
// anything else.
bool ParseUnsigned(const Token& token, uint32_t& value);

}  // namespace simhost
