// The one settings object: the INI document, the plain RurAzu and GearGate
// settings, and every binding item of the menu.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/ini_file.h"

class MenuItem;

namespace Config {

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

    IniFile ini;
    std::vector<MenuItem*> bindingItems;
    bool unsavedChanges = false;
    bool delayedInitEnabled = true;
    bool rurAzuEnabled = false;
    bool gearGateEnabled = false;
    float soundVolume = 1.0f;
    float soundVolumeShiftType = 1.0f;
    std::string soundFilePath;
    bool autoNeutral = true;
    int32_t clutchRequired = 1;
    std::string clutchRequiredText;
    float clutchThreshold = 0.35f;
    int32_t shifterType = 2;
    std::string shifterTypeText;
};

// Key-code text of the _KEYCODE keys. ParseKeyCodeText throws
// std::invalid_argument / std::out_of_range for text that is no number.
int32_t ParseKeyCodeText(const std::string& text);
std::string KeyCodeText(int32_t code);

}  // namespace Config

// The process-wide settings object, created by the main object.
extern Config::Setting* g_settings;
