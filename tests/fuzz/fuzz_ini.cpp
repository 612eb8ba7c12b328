// Fuzz target for KVTControls.ini as it lies on disk: whatever the bytes are
// (UTF-8, UTF-16, NULs, noise), loading never crashes; a file that was not
// read cleanly is kept byte for byte as .bak by the save that replaces it,
// while a save with nothing to write leaves the file alone and keeps no .bak;
// and what a save writes reads back cleanly with the same typed values.
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "config/ini_file.h"
#include "core/paths.h"
#include "core/text.h"
#include "platform/sim/sim_platform.h"

namespace {
using Names = std::vector<std::pair<std::string, std::string>>;

struct Reading {
    std::string text;
    int32_t number;
    uint32_t real;
    bool flag;
    bool operator==(const Reading&) const = default;
};

std::string g_folder;

std::string TrimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Section and key names roughly as the library finds them; a name it did not
// take is still a fair question, since both documents are asked the same. The
// library reads up to the first NUL, and so must the names, or a name cut
// short by c_str() would carry blanks no saved file can hold.
Names NamesIn(std::string text) {
    text.resize(std::min(text.size(), text.find('\0')));
    Names names = {
        {"Main", "VerboseLogEnabled"}, {"GearGate", "SoundVolume"}, {"keybind", "RURAZU_UP"}, {"", "k"}};
    std::string section;
    size_t start = 0;
    while (start < text.size() && names.size() < 64) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = TrimBlanks(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            section = TrimBlanks(line.substr(1, line.find(']') - 1));
        } else if (const size_t equals = line.find('='); equals != std::string::npos && equals > 0) {
            names.emplace_back(section, TrimBlanks(line.substr(0, equals)));
        }
    }
    return names;
}

std::vector<Reading> ReadAll(Config::IniFile& ini, const Names& names) {
    std::vector<Reading> readings;
    for (const auto& [section, key] : names) {
        Reading r;
        r.text = ini.GetString(section, key, "s");
        r.number = ini.GetInt(section, key, 7);
        r.real = std::bit_cast<uint32_t>(ini.GetFloat(section, key, 0.5f));
        r.flag = ini.GetBool(section, key, true);
        readings.push_back(std::move(r));
    }
    return readings;
}

std::string ReadBytes(const std::string& path, bool& found) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    found = file != nullptr;
    if (!file) return bytes;
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

// The text the document holds: UTF-16 input is read after its conversion.
std::string LoadedText(const std::string& bytes) {
    if (bytes.size() >= 2 && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0))
        return Utf16ToUtf8(std::string_view(bytes).substr(2), bytes[0] == '\xFE');
    return bytes;
}

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/kvt-fuzz-ini-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    g_folder = folder;
    std::atexit(RemoveFolder);
    platform::sim::SetHostExecutablePath(g_folder + "/game.exe");
    ComputePaths();
    std::filesystem::create_directories(Paths().pluginFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string& path = Paths().settingsFile;
    const std::string backup = path + ".bak";
    std::remove(backup.c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);

    const Names names = NamesIn(LoadedText(text));
    Config::IniFile first;
    first.Load();
    const bool unclean = first.backupOnSave;
    // The first pass writes defaults back; from then on the reads are stable.
    ReadAll(first, names);
    const std::vector<Reading> before = ReadAll(first, names);
    // The two flags are what decides whether the save replaces the file; with
    // neither set it writes nothing, and so keeps no backup either.
    const bool rewrites = first.missingKey || first.modified;
    if (first.Save() != Config::kIniOk) std::abort();
    bool present = false;
    if (ReadBytes(path, present) != (rewrites ? first.ToText() : text)) std::abort();
    bool kept = false;
    const std::string backupBytes = ReadBytes(backup, kept);
    if (kept != (unclean && rewrites)) std::abort();
    if (kept && backupBytes != text) std::abort();

    Config::IniFile second;
    second.Load();
    // What a save writes always reads cleanly; a file it left alone reads as before.
    if (second.backupOnSave != (unclean && !rewrites)) std::abort();
    if (ReadAll(second, names) != before) std::abort();
    return 0;
}
