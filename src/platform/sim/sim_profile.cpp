// Profile files on the simulated platform: the part of the system's profile
// reading and writing that the car-profile lookups rely on, and the one-step
// file replacement the settings save uses.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace platform {
namespace {

// The system's own reading of profile text, kept apart from the plug-in's
// text helpers so that a fault in those is not mirrored here: blanks around
// names and values go, names compare without regard to ASCII case.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// The system strips one pair of matching quotes, double or single, around a
// value; a lone or mismatched quote stays.
std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The first key of that name in any section of that name wins; lines without
// an equals sign and lines starting with ';' name no key.
bool FindProfileValue(const char* file, std::string_view section, std::string_view key, std::string& value) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

    bool inSection = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inSection =
                EqualsNoCase(Trim(line.substr(1, close == std::string::npos ? close : close - 1)), section);
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos) continue;
        if (!EqualsNoCase(Trim(line.substr(0, equals)), key)) continue;
        value = Unquote(Trim(line.substr(equals + 1)));
        return true;
    }
    return false;
}

// The section's name when the trimmed line is a section header.
bool SectionHeader(const std::string& line, std::string& name) {
    if (line.empty() || line.front() != '[') return false;
    const size_t close = line.find(']');
    name = Trim(line.substr(1, close == std::string::npos ? close : close - 1));
    return true;
}

}  // namespace

bool WriteProfileValue(const char* section, const char* key, const char* value, const char* file) {
    // Deleting keys or sections (a null name or value) is not needed.
    if (!section || !key || !value || !file) return false;
    std::string text;
    if (std::ifstream in(file, std::ios::binary); in)
        text.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string entry = std::string(key) + "=" + value + "\r\n";

    // The same lookup as the read: the first key of that name in a section of
    // that name is replaced; else the key goes after the last line of the
    // first such section that is not blank; else a new section ends the file.
    size_t replaceStart = std::string::npos, replaceEnd = 0, insertAt = std::string::npos;
    bool inSection = false, firstSection = false, seenSection = false;
    for (size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = Trim(std::string_view(text).substr(start, end - start));
        std::string name;
        if (SectionHeader(line, name)) {
            inSection = EqualsNoCase(name, section);
            firstSection = inSection && !seenSection;
            seenSection = seenSection || inSection;
            if (firstSection) insertAt = end;
        } else if (inSection && !line.empty() && line.front() != ';') {
            const size_t equals = line.find('=');
            if (equals != std::string::npos && EqualsNoCase(Trim(line.substr(0, equals)), key)) {
                replaceStart = start;
                replaceEnd = end;
                break;
            }
            if (firstSection) insertAt = end;
        }
        start = end;
    }
    if (replaceStart != std::string::npos) {
        text.replace(replaceStart, replaceEnd - replaceStart, entry);
    } else if (insertAt != std::string::npos) {
        std::string lines = entry;
        if (insertAt > 0 && text[insertAt - 1] != '\n') lines.insert(0, "\r\n");
        text.insert(insertAt, lines);
    } else {
        if (!text.empty() && text.back() != '\n') text += "\r\n";
        text += "[" + std::string(section) + "]\r\n" + entry;
    }

    std::FILE* out = OpenFile(file, "wb");
    if (!out) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

uint32_t ReadPrivateProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                  uint32_t size, const char* file) {
    if (!buffer || size == 0) return 0;
    std::string value;
    // Listing section or key names (a null name) is not needed: it reads as missing.
    if (!section || !key || !file || !FindProfileValue(file, section, key, value)) {
        value = defaultText ? defaultText : "";
        // The system drops trailing blanks of the default.
        value.erase(value.find_last_not_of(' ') + 1);
    }
    const size_t length = std::min<size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    return static_cast<uint32_t>(length);
}

bool ReplaceFileWith(const std::string& replacement, const std::string& target) {
    if (sim::IsHeldWithoutSharing(target)) {
        errno = EACCES;
        return false;
    }
    if (std::rename(replacement.c_str(), target.c_str()) != 0) return false;
    sim::NoteFileEvent("replace " + replacement + " -> " + target);
    return true;
}

}  // namespace platform
