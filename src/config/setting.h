// The one settings object: the INI document, the plain RurAzu and GearGate
// settings, and every binding item of the menu.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/ini_file.h"
#include "platform/mutex.h"

class MenuItem;

namespace Config {

inline constexpr int32_t kMaxPollIntervalMs = 25;
// How many identical controllers' marks the settings file remembers.
inline constexpr size_t kRememberedControllersRoom = 16;

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

    // Where identical controllers' marks are remembered ([Controllers],
    // Twin1...): the input job's texts, read at the start and written at
    // every save, at most kRememberedControllersRoom of them. Any thread.
    std::vector<std::string> RememberedControllers() const KVT_EXCLUDES(controllersLock_);
    void RememberControllers(const std::vector<std::string>& texts) KVT_EXCLUDES(controllersLock_);

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

private:
    mutable kvt::Mutex controllersLock_;
    std::vector<std::string> rememberedControllers_ KVT_GUARDED_BY(controllersLock_);
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
