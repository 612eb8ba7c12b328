// Splitting a session script into lines of tokens.
#include "script_text.h"

#include <cstdlib>

namespace simhost {

static bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool TokenizeLine(const std::string& line, std::vector<Token>& tokens, std::string& error) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (IsSpace(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        Token token;
        if (line[i] == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\') {
                    if (i >= line.size()) {
                        error = "escape at the end of the line";
                        return false;
                    }
                    c = line[i++];
                    // Line ends are part of what file expectations compare.
                    if (c == 'r') c = '\r';
                    if (c == 'n') c = '\n';
                }
                token.text += c;
            }
            if (!closed) {
                error = "unterminated quote";
                return false;
            }
            if (i < line.size() && !IsSpace(line[i])) {
                error = "text right after a closing quote";
                return false;
            }
        } else {
            while (i < line.size() && !IsSpace(line[i])) token.text += line[i++];
        }
        tokens.push_back(token);
    }
    return true;
}

std::vector<ScriptLine> ParseScript(const std::string& text, std::vector<std::string>& errors) {
    std::vector<ScriptLine> lines;
    size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ++number;
        ScriptLine line;
        line.number = number;
        std::string error;
        if (!TokenizeLine(text.substr(start, end - start), line.tokens, error))
            errors.push_back(std::to_string(number) + ": " + error);
        else if (!line.tokens.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool ParseUnsigned(const Token& token, uint32_t& value) {
    if (token.quoted || token.text.empty()) return false;
    char* end = nullptr;
    value = static_cast<uint32_t>(std::strtoll(token.text.c_str(), &end, 0));
    return *end == '\0';
}

}  // namespace simhost
