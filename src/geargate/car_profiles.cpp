// GearGate's per-car profiles from the host's physics files and cars.ini, the
// distribution's velmora.ini and the plug-in's CarInfo.ini cache. These are
// outside data: any of them may be missing, cut short, huge or edited by hand,
// so every reader gives the car's fallback values, never an exception into
// the host.
#include "geargate/car_profiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <string_view>
#include <vector>

#include "config/ini_file.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/text.h"
#include "geargate/car_profile_files.h"
#include "platform/platform.h"

using car_files::Guarded;

namespace {

constexpr int32_t kDefaultTopGear = 7;
constexpr int32_t kDefaultSlot = 5;
constexpr int32_t kNoCarId = -1;
// The host counts gears from this character of a "numberofgears" line on: the
// key and exactly one separator come before it.
constexpr size_t kGearCountValueAt = 14;

constexpr const char* kPhysicsFiles[kCarSlots] = {
    "\\Physics\\c_xsara\\common.lsp",  "\\Physics\\h_accent\\common.lsp", "\\Physics\\mg_zr\\common.lsp",
    "\\Physics\\m_lancer\\common.lsp", "\\Physics\\p_206\\common.lsp",    "\\Physics\\s_i2003\\common.lsp",
    "\\Physics\\t_coroll\\common.lsp", "\\Physics\\s_i2000\\common.lsp",
};

bool SlotInRange(int32_t slot) {
    return slot >= 0 && slot < kCarSlots;
}

std::string PhysicsFile(int32_t slot) {
    return HostPath(kPhysicsFiles[slot]);
}
std::string CarsIni() {
    return HostPath("\\cars\\cars.ini");
}

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Skips leading blanks (tabs included) and a sign, as the C conversions do;
// negative is set when the sign is a minus.
const char* SkipToNumber(std::string_view text, bool& negative) {
    const char* first = text.data();
    const char* const last = first + text.size();
    while (first < last && IsCSpace(*first)) ++first;
    if (first < last && (*first == '+' || *first == '-')) negative = *first++ == '-';
    return first;
}

// Base 10 in the manner of the standard string-to-int conversion: trailing
// characters are ignored; no digits or a value beyond 32 bits is no number.
bool ParseInt(std::string_view text, int32_t& value) {
    bool negative = false;
    const char* first = SkipToNumber(text, negative);
    const char* const last = text.data() + text.size();
    if (first == last || *first < '0' || *first > '9') return false;
    int64_t magnitude = 0;
    if (std::from_chars(first, last, magnitude).ec != std::errc()) return false;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < std::numeric_limits<int32_t>::min() ||
        signedValue > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(signedValue);
    return true;
}

// A decimal float, whatever locale the host has set. Infinity, NaN and values
// beyond a float are no upshift value the engine could compare with.
bool ParseFloat(std::string_view text, float& value) {
    bool negative = false;
    const char* first = SkipToNumber(text, negative);
    const char* const last = text.data() + text.size();
    if (first == last || *first == '+' || *first == '-') return false;
    float parsed = 0.0f;
    if (std::from_chars(first, last, parsed, std::chars_format::general).ec != std::errc()) return false;
    if (!std::isfinite(parsed)) return false;
    value = negative ? -parsed : parsed;
    return true;
}

// Lines of a text file, split at line feeds and trimmed, read in chunks.
class LineReader {
public:
    explicit LineReader(const std::string& path) : file_(platform::OpenFile(path, "rb")), chunk_(16384) {}
    ~LineReader() {
        if (file_) std::fclose(file_);
    }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool IsOpen() const { return file_ != nullptr; }

    bool Next(std::string& line) {
        std::string raw;
        bool any = false;
        while (true) {
            if (pos_ == length_) {
                length_ = file_ ? std::fread(chunk_.data(), 1, chunk_.size(), file_) : 0;
                pos_ = 0;
                if (length_ == 0) break;
            }
            const char* start = chunk_.data() + pos_;
            const void* feed = std::memchr(start, '\n', length_ - pos_);
            const size_t take = feed ? static_cast<const char*>(feed) - start : length_ - pos_;
            raw.append(start, take);
            any = true;
            pos_ += take;
            if (feed) {
                ++pos_;
                break;
            }
        }
        line = Trim(raw);
        return any;
    }

private:
    std::FILE* file_;
    // On the heap: the lookups also run on the input job's thread.
    std::vector<char> chunk_;
    size_t pos_ = 0;
    size_t length_ = 0;
};

// What follows a key; tabs or spaces before the number are skipped by the
// number's reading.
std::string_view ValueAfter(std::string_view line, size_t at) {
    return line.substr(std::min(at, line.size()));
}

int32_t ReadGearCount(int32_t slot) {
    const std::string path = PhysicsFile(slot);
    LineReader reader(path);
    if (!reader.IsOpen()) {
        LogLine("Failed to get number of gears. File not found " + path);
        return kDefaultTopGear;
    }
    std::string line;
    while (reader.Next(line)) {
        if (!StartsWithNoCase(line, "numberofgears")) continue;
        int32_t count = 0;
        // The lowest count has no index below it.
        if (!ParseInt(ValueAfter(line, kGearCountValueAt), count) ||
            count == std::numeric_limits<int32_t>::min()) {
            LogLine("Warning. Unreadable number of gears in " + path);
            return kDefaultTopGear;
        }
        return count - 1;
    }
    return kDefaultTopGear;
}

UpshiftValues ReadUpshiftTable(int32_t slot) {
    const UpshiftValues zeros{};
    const std::string path = PhysicsFile(slot);
    LineReader reader(path);
    if (!reader.IsOpen()) {
        LogLine("Failed to gear details. File not found " + path);
        return zeros;
    }
    const int32_t top = GearCount(slot);
    // Gears above the table's last index have no entry, however many the car has.
    const int32_t last = std::min<int32_t>(top, static_cast<int32_t>(zeros.size()) - 1);
    std::string keys[std::tuple_size_v<UpshiftValues>];
    for (int32_t n = 0; n <= last; ++n) keys[n] = "Gear" + std::to_string(n) + "Upshift";

    UpshiftValues table = zeros;
    std::string line;
    while (reader.Next(line)) {
        for (int32_t n = 0; n <= last; ++n) {
            if (!StartsWithNoCase(line, keys[n])) continue;
            if (!ParseFloat(ValueAfter(line, keys[n].size()), table[n])) {
                LogLine("Warning. Unreadable " + keys[n] + " value in " + path);
                return zeros;
            }
        }
    }
    return table;
}

// A name that came from outside goes into the cache as one line.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

int32_t LookUpType(int32_t carId, CarSource& source) {
    source = CarSource::kNone;
    const std::string& cache = Paths().carInfoFile;
    const std::string section = "Car" + std::to_string(carId);
    int32_t value = kNoCarId;
    try {
        value = Config::ReadProfileInt(section, "h_pattern", kNoCarId, cache);
    } catch (const std::exception&) {
        LogLine("Failed to read shifter mode from " + cache);
        return shifter_types::kUnknown;
    }
    source = CarSource::kCache;
    if (value == kNoCarId) {
        source = CarSource::kCarFiles;
        const std::string name = OneLine(CarNameFromJson(carId));
        value = TypeFromJson(carId);
        if (!platform::WriteProfileValue(section.c_str(), "car_name", name.c_str(), cache.c_str()) ||
            !platform::WriteProfileValue(section.c_str(), "h_pattern", std::to_string(value).c_str(),
                                         cache.c_str())) {
            LogLine("Failed to read shifter mode from " + cache);
            source = CarSource::kNone;
            return shifter_types::kUnknown;
        }
    }
    if (value == shifter_types::kSequential || value == shifter_types::kHPattern) return value;
    source = CarSource::kNone;
    return shifter_types::kUnknown;
}

int32_t CarIdInSlot(int32_t slot) {
    return Config::ReadProfileInt("Car0" + std::to_string(slot), "VLMCarID", kNoCarId, CarsIni());
}

}  // namespace

int32_t GearCount(int32_t slot) {
    if (!SlotInRange(slot)) return kDefaultTopGear;
    return Guarded(kDefaultTopGear, "Reading the number of gears.", [&] { return ReadGearCount(slot); });
}

UpshiftValues UpshiftTable(int32_t slot) {
    if (!SlotInRange(slot)) return UpshiftValues{};
    return Guarded(UpshiftValues{}, "Reading the gear details.", [&] { return ReadUpshiftTable(slot); });
}

int32_t ConfiguredSlot() {
    return Guarded(kDefaultSlot, "Reading the configured slot.", [] {
        const std::string path = HostPath("\\velmora.ini");
        try {
            return Config::ReadProfileInt("cars", "slot", kDefaultSlot, path);
        } catch (const std::exception&) {
            LogLine("Failed to read " + path);
            return kDefaultSlot;
        }
    });
}

const char* CarSourceText(CarSource source) {
    switch (source) {
        case CarSource::kCache:
            return "CarInfo.ini";
        case CarSource::kCarFiles:
            return "car files";
        case CarSource::kDefault:
            return "default";
        case CarSource::kChosen:
            return "your choice";
        default:
            return "not found";
    }
}

int32_t TypeForCarId(int32_t carId, CarSource* source) {
    CarSource found = CarSource::kNone;
    const int32_t type = Guarded(shifter_types::kUnknown, "Reading the shifter mode.",
                                 [&] { return LookUpType(carId, found); });
    if (source) *source = type == shifter_types::kUnknown ? CarSource::kNone : found;
    return type;
}

int32_t CarIdForSlot(int32_t slot) {
    if (!SlotInRange(slot)) return kNoCarId;
    return Guarded(kNoCarId, "Reading the car id.", [&] {
        try {
            return CarIdInSlot(slot);
        } catch (const std::exception&) {
            LogLine("Failed to read " + CarsIni());
            return kNoCarId;
        }
    });
}

int32_t DetectTypeForSlot(int32_t slot, CarSource* source) {
    if (source) *source = CarSource::kNone;
    if (!SlotInRange(slot)) return shifter_types::kUnknown;
    return Guarded(shifter_types::kUnknown, "Detecting the shifter type.",
                   [&] { return TypeForCarId(CarIdForSlot(slot), source); });
}

int32_t ClutchRequiredForSlot(int32_t slot, CarSource* source) {
    if (source) *source = CarSource::kNone;
    if (!SlotInRange(slot)) return 0;
    return Guarded(1, "Reading the clutch requirement.", [&] {
        try {
            const int32_t carId = CarIdInSlot(slot);
            const int32_t required = Config::ReadProfileInt("Car" + std::to_string(carId), "clutch_required",
                                                            kNoCarId, Paths().carInfoFile);
            if (source) *source = required == kNoCarId ? CarSource::kDefault : CarSource::kCache;
            return required != 0 ? 1 : 0;
        } catch (const std::exception&) {
            LogLine("Failed to read " + CarsIni());
            return 1;
        }
    });
}
