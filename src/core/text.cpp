// Text helpers shared by every room.
#include "core/text.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace {
char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
bool IsTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

constexpr uint32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, uint32_t code) {
    auto byte = [&out](uint32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xC0 | (code >> 6));
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        byte(0xE0 | (code >> 12));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else {
        byte(0xF0 | (code >> 18));
        byte(0x80 | ((code >> 12) & 0x3F));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    }
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

void CutAtWord(char* text, size_t maxChars) {
    if (std::strlen(text) <= maxChars || maxChars < 4) return;
    size_t end = maxChars - 3, blank = end;
    while (blank > 0 && text[blank] != ' ') --blank;
    if (blank > 0) end = blank;  // one long word is cut where it must be
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == ',')) --end;
    std::memcpy(text + end, "...", 4);
}

std::string Trim(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsTrimmed(text[first])) ++first;
    while (last > first && IsTrimmed(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unitAt = [&](size_t at) -> uint32_t {
        const uint32_t first = static_cast<unsigned char>(bytes[at]);
        const uint32_t second = static_cast<unsigned char>(bytes[at + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    size_t at = 0;
    while (at + 1 < bytes.size()) {
        uint32_t code = unitAt(at);
        at += 2;
        if (code >= 0xD800 && code <= 0xDBFF && at + 1 < bytes.size()) {
            const uint32_t low = unitAt(at);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF) code = kReplacement;
        AppendUtf8(out, code);
    }
    if (at < bytes.size()) AppendUtf8(out, kReplacement);
    return out;
}

std::wstring Utf8ToWide(std::string_view text) {
    return platform::Utf8ToWide(text);
}

std::string WideToCodePage(std::wstring_view text) {
    return platform::WideToCodePage(text);
}

void CopyCut(std::string_view text, char* out, size_t size) {
    if (size == 0) return;
    const size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}
