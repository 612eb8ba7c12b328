// Fuzz target for the host's car physics files: whatever the bytes, the gear
// count and the upshift table come out as a plain reading of the file with
// the standard conversions would give them, and never as NaN or infinity.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

#include "core/paths.h"
#include "core/text.h"
#include "geargate/car_profiles.h"
#include "platform/sim/sim_platform.h"

namespace {
constexpr int32_t kSlot = 3;
std::string g_folder;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

// The value after a key, as the standard conversions read it; false where
// they throw. Hexadecimal floats are no upshift value of a physics file.
bool ReferenceInt(const std::string& text, int32_t& value) {
    try {
        value = std::stoi(text);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
bool ReferenceFloat(const std::string& text, float& value) {
    if (text.find_first_of("xX") != std::string::npos) return false;
    try {
        value = std::stof(text);
        return std::isfinite(value);
    } catch (const std::exception&) {
        return false;
    }
}

struct Reference {
    int32_t top = 7;
    UpshiftValues table{};
    bool tableKnown = true;  // false where the file holds a hexadecimal float
};

Reference Read(const std::string& bytes) {
    Reference r;
    std::istringstream in(bytes);
    std::string raw;
    bool counted = false;
    std::string lines;
    while (std::getline(in, raw)) {
        const std::string line = Trim(raw);
        if (!counted && StartsWithNoCase(line, "numberofgears")) {
            counted = true;
            int32_t count = 0;
            if (line.size() >= 14 && ReferenceInt(line.substr(14), count) &&
                count != std::numeric_limits<int32_t>::min())
                r.top = count - 1;
        }
    }
    std::istringstream again(bytes);
    while (std::getline(again, raw)) {
        const std::string line = Trim(raw);
        for (int32_t n = 0; n <= r.top && n < 8; ++n) {
            const std::string key = "Gear" + std::to_string(n) + "Upshift";
            if (!StartsWithNoCase(line, key)) continue;
            const std::string value = line.substr(key.size());
            if (value.find_first_of("xX") != std::string::npos) r.tableKnown = false;
            if (!ReferenceFloat(value, r.table[n])) {
                r.table = UpshiftValues{};
                return r;
            }
        }
    }
    return r;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/kvt-fuzz-physics-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    g_folder = folder;
    std::atexit(RemoveFolder);
    platform::sim::SetHostExecutablePath(g_folder + "/game.exe");
    ComputePaths();
    std::filesystem::create_directories(g_folder + "/Physics/m_lancer");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    FILE* file = std::fopen((g_folder + "/Physics/m_lancer/common.lsp").c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    const Reference expected = Read(bytes);
    if (GearCount(kSlot) != expected.top) std::abort();
    const UpshiftValues table = UpshiftTable(kSlot);
    for (float value : table)
        if (!std::isfinite(value)) std::abort();
    if (expected.tableKnown && table != expected.table) std::abort();
    return 0;
}
