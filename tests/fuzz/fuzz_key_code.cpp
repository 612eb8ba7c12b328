// Fuzz target for key-code text: reading never crashes, and every code that
// reads is written in a form that reads back as the same code.
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "config/setting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int32_t code = 0;
    try {
        code = Config::ParseKeyCodeText(text);
    } catch (const std::invalid_argument&) {
        return 0;
    } catch (const std::out_of_range&) {
        return 0;
    }
    const std::string written = Config::KeyCodeText(code);
    if (Config::ParseKeyCodeText(written) != code) std::abort();
    if (Config::KeyCodeText(Config::ParseKeyCodeText(written)) != written) std::abort();
    return 0;
}
