// The INI access layer: the one SimpleIni document of KVTControls.ini, the
// typed reads and writes the settings use, and the load and save that report
// failures in the log. SimpleIni stays inside this file; the bytes on disk
// are ini_file_bytes.cpp's.
#include "config/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <locale>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "config/ini_file_bytes.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/text.h"
#include "platform/platform.h"

// The package's header keeps its template bodies behind SI_IMPLEMENTATION, and
// its default converter needs a source file the package does not ship; without
// conversion the texts pass byte for byte, which is what UTF-8 mode wants.
#define SI_IMPLEMENTATION
#define SI_NO_CONVERSION
#include <SimpleIni.h>

namespace Config {

struct IniFile::Document {
    // CSimpleIniA compares section and key names without regard to case.
    CSimpleIniA ini{/*a_bIsUtf8=*/true, /*a_bMultiKey=*/false, /*a_bMultiLine=*/false};
    // The library keeps a comment only in front of a section or key, so the
    // player's comments after the last entry are held here and written back.
    std::vector<std::string> trailingLines;
    Document() { ini.SetSpaces(true); }
};

namespace {

int LibraryCode(SI_Error code) {
    return static_cast<int>(code);
}

// A text beginning with one of these is taken for something else by the next
// load: a UTF-8 mark is skipped, a UTF-16 mark converts the file.
bool BeginsLikeAMark(const std::string& text) {
    return text.compare(0, 3, kUtf8Bom) == 0 || text.compare(0, 2, kUtf16LeBom) == 0 ||
           text.compare(0, 2, kUtf16BeBom) == 0;
}

// SimpleIni's own text for the document, then the trailing comments. A first
// key whose name begins with a byte-order mark's bytes would lose them (or
// the whole file) to the next load; writing the library's UTF-8 signature in
// front keeps the name.
int RenderDocument(const CSimpleIniA& ini, const std::vector<std::string>& trailingLines, std::string& text) {
    try {
        SI_Error code = ini.Save(text, false);
        if (code >= 0 && BeginsLikeAMark(text)) {
            text.clear();
            code = ini.Save(text, true);
        }
        if (code >= 0 && !trailingLines.empty()) {
            if (!text.empty() && text.back() != '\n') text += SI_NEWLINE_A;
            for (const std::string& line : trailingLines) text += line + SI_NEWLINE_A;
        }
        return LibraryCode(code);
    } catch (const std::bad_alloc&) {
        return kIniNoMemory;
    } catch (const std::length_error&) {
        return kIniNoMemory;
    }
}

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// from_chars leaves the value alone when it is out of range, where the C
// conversion gives infinity for overflow and zero for underflow. The text's
// scale (digits before the point, less zeros after it, plus the exponent)
// tells which of the two it was.
bool Overflows(std::string_view number, bool hex) {
    const char exponentMark = hex ? 'p' : 'e';
    int64_t scale = 0;
    bool point = false;
    bool significant = false;
    size_t i = 0;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.') {
            point = true;
        } else if (c == exponentMark || c == exponentMark - 'a' + 'A') {
            break;
        } else if (!significant && c == '0') {
            if (point) --scale;
        } else {
            significant = true;
            if (!point) ++scale;
        }
    }
    int64_t exponent = 0;
    bool negative = false;
    if (++i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
    for (; i < number.size() && exponent < 1000000000; ++i) exponent = exponent * 10 + (number[i] - '0');
    return (hex ? scale * 4 : scale) + (negative ? -exponent : exponent) > 0;
}

// The C locale's text-to-number conversion (leading blanks, a sign, decimal or
// 0x hexadecimal, inf and nan), whatever locale the process has set.
float CLocaleFloat(const std::string& text) {
    const char* first = text.data();
    const char* const last = first + text.size();
    while (first < last && IsCSpace(*first)) ++first;
    bool negative = false;
    if (first < last && (*first == '+' || *first == '-')) negative = *first++ == '-';
    std::chars_format format = std::chars_format::general;
    if (last - first >= 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        format = std::chars_format::hex;
        first += 2;
    }
    // A second sign is no number for the C conversion (and "0x-1" is just 0).
    if (first == last || *first == '-' || *first == '+') return 0.0f;
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value, format);
    if (error == std::errc::invalid_argument) return 0.0f;
    if (error == std::errc::result_out_of_range) {
        const bool hex = format == std::chars_format::hex;
        value = Overflows(std::string_view(first, static_cast<size_t>(end - first)), hex) ? HUGE_VAL : 0.0;
    }
    return static_cast<float>(negative ? -value : value);
}
}  // namespace

IniFile::IniFile() : doc_(std::make_unique<Document>()) {}
IniFile::~IniFile() = default;

void IniFile::Load() {
    const std::string& settings = Paths().settingsFile;
    if (!settings.empty()) {
        path = settings;
        // Creates a missing file empty and leaves an existing one untouched.
        if (FILE* touch = platform::OpenFile(path, "ab")) std::fclose(touch);
    }
    missingKey = false;
    modified = false;
    backupOnSave = false;
    doc_->ini.Reset();
    doc_->trailingLines.clear();

    std::string bytes;
    int error = 0;
    int code = ReadWholeFile(path, bytes, error);
    if (code == kIniOk && !bytes.empty()) {
        try {
            bool bigEndian = false;
            size_t nulOffset = bytes.find('\0');
            if (ConvertUtf16(bytes, bigEndian, nulOffset)) {
                LogLine("WARNING. Converted " + path + " from UTF-16 (" + (bigEndian ? "big" : "little") +
                        "-endian) to UTF-8");
                backupOnSave = true;
            }
            if (nulOffset != std::string::npos) {
                LogLine("WARNING. " + path + " holds a NUL byte at offset " + std::to_string(nulOffset) +
                        "; nothing after it is read");
                backupOnSave = true;
            }
            BlankUnclosedSectionLines(bytes);
            code = LibraryCode(doc_->ini.LoadData(bytes.data(), bytes.size()));
            doc_->trailingLines = TrailingCommentLines(bytes);
        } catch (const std::bad_alloc&) {
            code = kIniNoMemory;
        }
    }
    if (code == kIniOk) return;
    backupOnSave = true;
    LogLine("Error loading INI file " + path + " (ErrorCode=" + std::to_string(code) + ")");
    if (code == kIniFileError) LogLine("Errno: " + std::to_string(error));
}

int IniFile::Save() {
    if (!missingKey && !modified) return kIniOk;
    std::string text;
    int error = 0;
    int code = RenderDocument(doc_->ini, doc_->trailingLines, text);
    if (code >= 0 && backupOnSave) code = KeepOriginal(path, error);
    if (code >= 0) code = WriteReplacing(path, text, error);
    if (code < 0) {
        LogLine("Error saving INI file " + path + " (ErrorCode=" + std::to_string(code) + ")");
        if (code == kIniFileError) LogLine("Error reason: " + std::to_string(error));
        return code;
    }
    missingKey = false;
    modified = false;
    backupOnSave = false;
    return kIniOk;
}

std::string IniFile::ToText() const {
    std::string text;
    return RenderDocument(doc_->ini, doc_->trailingLines, text) >= 0 ? text : std::string();
}

bool IniFile::GetRawValue(const std::string& section, const std::string& key, std::string& out) {
    if (PeekValue(section, key, out)) return true;
    missingKey = true;
    return false;
}

bool IniFile::PeekValue(const std::string& section, const std::string& key, std::string& out) const {
    const char* stored = doc_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!stored) {
        out.clear();
        return false;
    }
    out = Trim(stored);
    if (!out.empty() && out.front() == '"') out = Trim(std::string_view(out).substr(1));
    if (!out.empty() && out.back() == '"') {
        out.pop_back();
        out = Trim(out);
    }
    return true;
}

std::string IniFile::GetString(const std::string& section, const std::string& key, const std::string& def) {
    std::string value;
    if (GetRawValue(section, key, value)) return value;
    SetString(section, key, def);
    return def;
}

int32_t IniFile::GetInt(const std::string& section, const std::string& key, int32_t def) {
    std::string value;
    if (GetRawValue(section, key, value) && !value.empty()) {
        try {
            return std::stoi(value);
        } catch (const std::logic_error&) {
            LogLine("Failed getting int INI value for section: " + section + ", name: " + key +
                    ", value: " + value);
            return def;
        }
    }
    SetInt(section, key, def);
    return def;
}

float IniFile::GetFloat(const std::string& section, const std::string& key, float def) {
    std::string value;
    if (GetRawValue(section, key, value) && !value.empty()) {
        const float number = CLocaleFloat(value);
        if (std::isfinite(number)) return number;
        // Infinity or NaN would pass for a number and then fail every comparison
        // made with it (a clutch threshold, a volume): it counts as no number.
        LogLine("Failed getting float INI value for section: " + section + ", name: " + key +
                ", value: " + value);
        return 0.0f;
    }
    SetFloat(section, key, def);
    return def;
}

bool IniFile::GetBool(const std::string& section, const std::string& key, bool def) {
    std::string value;
    if (GetRawValue(section, key, value) && !value.empty()) {
        switch (value.front()) {
            case 't':
            case 'T':
            case '1':
                return true;
            case 'f':
            case 'F':
            case '0':
                return false;
            default:
                LogLine("Failed getting bool INI value for section: " + section + ", name: " + key +
                        ", value: " + value);
                return def;
        }
    }
    SetBool(section, key, def);
    return def;
}

int IniFile::SetString(const std::string& section, const std::string& key, const std::string& value) {
    const char* stored = doc_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    // The whole text decides: a change past any fixed length is still a change
    // the player expects to find in the file.
    if (stored && value == stored) return kIniUnchanged;
    int code;
    try {
        code = LibraryCode(doc_->ini.SetValue(section.c_str(), key.c_str(), value.c_str()));
    } catch (const std::bad_alloc&) {
        code = kIniNoMemory;
    }
    if (code == kIniUpdated || code == kIniInserted) modified = true;
    return code;
}

int IniFile::SetInt(const std::string& section, const std::string& key, int32_t value) {
    return SetString(section, key, std::to_string(value));
}

int IniFile::SetFloat(const std::string& section, const std::string& key, float value) {
    return SetString(section, key, FloatText(value));
}

int IniFile::SetBool(const std::string& section, const std::string& key, bool value) {
    return SetString(section, key, value ? "true" : "false");
}

std::string FloatText(float value) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

bool ReadProfileString(const std::string& section, const std::string& key, const std::string& file,
                       std::string& out) {
    char buffer[256] = {};
    if (platform::ReadPrivateProfileString(section.c_str(), key.c_str(), "", buffer, sizeof buffer,
                                           file.c_str()) > 0) {
        out = buffer;
        return true;
    }
    out.clear();
    return false;
}

int32_t ReadProfileInt(const std::string& section, const std::string& key, int32_t def,
                       const std::string& file) {
    std::string text;
    ReadProfileString(section, key, file, text);
    if (text.empty()) return def;
    return std::stoi(text);
}

}  // namespace Config
