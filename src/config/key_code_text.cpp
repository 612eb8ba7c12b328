// Key-code text of the custom RurAzu keys: a letter or digit stands for its
// own code, anything else is a number, written back in hexadecimal.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "config/setting.h"

namespace Config {

int32_t ParseKeyCodeText(const std::string& text) {
    if (text.empty()) return 0;
    if (text.size() == 1) {
        const char c = text.front();
        if (c >= '0' && c <= 'Z') return c;
        if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
        return 0;
    }
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    return std::stoi(text, nullptr, hex ? 16 : 10);
}

std::string KeyCodeText(int32_t code) {
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return std::string(1, static_cast<char>(code));
    if (code == 0) return std::string();
    // A negative code in hexadecimal would be read back as a number beyond the
    // 32-bit range; in decimal ("-5") it is read back as itself.
    if (code < 0) return std::to_string(code);
    char text[16];
    std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(code));
    return text;
}

}  // namespace Config
