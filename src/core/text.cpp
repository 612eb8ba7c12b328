// Text helpers shared by every room.
#include "core/text.h"

#include <cctype>

#include "platform/platform.h"

namespace {
char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
bool IsTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.empty() || prefix.size() > text.size()) return false;
    return EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string Trim(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsTrimmed(text[first])) ++first;
    while (last > first && IsTrimmed(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

std::wstring Utf8ToWide(std::string_view text) {
    return platform::Utf8ToWide(text);
}

std::string WideToCodePage(std::wstring_view text) {
    return platform::WideToCodePage(text);
}
