// The INI access layer: one SimpleIni document with its file, typed reads that
// write a missing value back with its default, typed writes, and two dirty flags
// that decide whether a save touches the disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Config {

// Outcomes of the library, plus kUnchanged for a write of the stored text.
enum IniResult : int {
    kIniOk = 0,
    kIniUpdated = 1,
    kIniInserted = 2,
    kIniUnchanged = 3,
    kIniFail = -1,
    kIniNoMemory = -2,
    kIniFileError = -3,
};

class IniFile {
public:
    IniFile();
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the process-wide settings file (Paths().settingsFile) into the document.
    void Load();
    // Writes the document to its path when a flag is set; returns the outcome.
    int Save();

    // The value as stored (trimmed, quotes removed); false when absent, which
    // marks the document for saving so the key gets written.
    bool GetRawValue(const std::string& section, const std::string& key, std::string& out);
    // The same for a key whose absence is as good as its default: nothing marked.
    bool PeekValue(const std::string& section, const std::string& key, std::string& out) const;
    std::string GetString(const std::string& section, const std::string& key, const std::string& def);
    int32_t GetInt(const std::string& section, const std::string& key, int32_t def);
    float GetFloat(const std::string& section, const std::string& key, float def);
    bool GetBool(const std::string& section, const std::string& key, bool def);

    int SetString(const std::string& section, const std::string& key, const std::string& value);
    int SetInt(const std::string& section, const std::string& key, int32_t value);
    int SetFloat(const std::string& section, const std::string& key, float value);
    int SetBool(const std::string& section, const std::string& key, bool value);

    bool missingKey = false;
    bool modified = false;
    // The file was not read cleanly (an open or read error, UTF-16 text, a NUL
    // byte): the save that first replaces it keeps it as path + ".bak", so a
    // player's settings are never thrown away with an unreadable file.
    bool backupOnSave = false;
    std::string path;

    // The document as INI text, as Save would write it.
    std::string ToText() const;

private:
    struct Document;
    std::unique_ptr<Document> doc_;
};

// Profile-file reads over the system's profile functions, for files that are
// not loaded into a document.
bool ReadProfileString(const std::string& section, const std::string& key, const std::string& file,
                       std::string& out);
// Throws std::invalid_argument or std::out_of_range when the text has no leading
// 32-bit number; the caller decides what that means.
int32_t ReadProfileInt(const std::string& section, const std::string& key, int32_t def,
                       const std::string& file);

// Floats as the file stores them: classic locale, general form, 6 digits.
std::string FloatText(float value);

}  // namespace Config
