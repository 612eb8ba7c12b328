// The one settings object: the INI document, the plain RurAzu and GearGate
// settings, and every binding item of the menu.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "config/ini_file.h"

class MenuItem;

namespace Config {

inline constexpr int32_t kMaxPollIntervalMs = 25;

class Setting {
public:
    Setting();
    virtual ~Setting();

    // Prepares CarInfo.ini, loads KVTControls.ini and reads the [Main] switches.
    void LoadSettingsFile();
    // Reads every setting and binding item; runs once the pages built their items.
    void ReadAllSettings();
    // Writes every setting and binding item back and saves the file if changed.
    void SaveAllSettings();

    // The document and the lists belong to the host's thread; the flags and
    // numbers below are read by the input job as well, hence atomics. Their
    // keys, defaults and ranges are declared once, in config/setting_list.h.
    IniFile ini;
    // The menu's, which the settings read and write (a save clears the
    // menu's TheMenuBook().unsavedChanges).
    std::vector<MenuItem*>& bindingItems;
    std::atomic<bool> delayedInitEnabled{};
    // How long the input job sleeps between passes while the game is in
    // front: 1 to kMaxPollIntervalMs. Lower is quicker to react and costs
    // more passes.
    std::atomic<int32_t> pollIntervalMs{};
    std::atomic<bool> rurAzuEnabled{};
    std::atomic<bool> gearGateEnabled{};
    std::atomic<float> soundVolume{};
    std::atomic<float> soundVolumeShiftType{};
    std::string soundFilePath;
    std::atomic<bool> autoNeutral{};
    std::atomic<int32_t> clutchRequired{};
    // The Clutch Required row's value: written through the row (its text lock).
    std::string clutchRequiredText;
    std::atomic<float> clutchThreshold{};
    std::atomic<int32_t> shifterType{};
    // The Type row's value: written through the row (its text lock).
    std::string shifterTypeText;
};

// Key-code text of the _KEYCODE keys. ParseKeyCodeText throws
// std::invalid_argument / std::out_of_range for text that is no number.
int32_t ParseKeyCodeText(const std::string& text);
std::string KeyCodeText(int32_t code);

}  // namespace Config

// The process-wide settings object, created by the first main object and
// never destroyed: the input job may still read it while the library unloads.
extern Config::Setting* g_settings;

namespace Config {
// Creates the process-wide settings object and loads KVTControls.ini into it
// on the first call; later main objects find it as it is.
void CreateSettingsOnce();
// Frees the process-wide object, as the end of the process would; for tests
// that play a new process, with no main object or input job alive.
void ResetSettingsForTest();
}  // namespace Config
