// Byte comparisons behind same-file and file-bytes-at.
#include "file_bytes.h"

#include <algorithm>

namespace simhost {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool ParseHexBytes(const std::string& hex, std::string& bytes, std::string& error) {
    bytes.clear();
    int high = -1;
    for (char c : hex) {
        if (c == ' ' || c == '\t') {
            // A blank inside a byte would silently pair digits of two bytes.
            if (high >= 0) {
                error = "a blank inside a byte";
                return false;
            }
            continue;
        }
        int value = HexValue(c);
        if (value < 0) {
            error = std::string("'") + c + "' is not a hex digit";
            return false;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes += static_cast<char>(high * 16 + value);
            high = -1;
        }
    }
    if (high >= 0) {
        error = "an odd number of hex digits";
        return false;
    }
    if (bytes.empty()) {
        error = "no bytes";
        return false;
    }
    return true;
}

std::string HexBytes(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0xF];
    }
    return hex;
}

std::string SameFileProblem(const std::string& nameA, const std::optional<std::string>& a,
                            const std::string& nameB, const std::optional<std::string>& b) {
    if (!a && !b) return nameA + " and " + nameB + " are missing";
    if (!a) return nameA + " is missing";
    if (!b) return nameB + " is missing";
    if (*a == *b) return "";
    auto [at, ignored] = std::mismatch(a->begin(), a->begin() + std::min(a->size(), b->size()), b->begin());
    return nameA + " has " + std::to_string(a->size()) + " bytes, " + nameB + " has " +
           std::to_string(b->size()) + " bytes, first difference at byte " + std::to_string(at - a->begin());
}

std::string BytesAtProblem(const std::string& name, const std::string& content, uint32_t offset,
                           const std::string& wanted) {
    std::string held = offset < content.size() ? content.substr(offset, wanted.size()) : std::string();
    if (held == wanted) return "";
    return name + " has " + std::to_string(content.size()) + " bytes, at " + std::to_string(offset) + ": " +
           (held.empty() ? "nothing" : HexBytes(held));
}

}  // namespace simhost
