// The settings object: KVTControls.ini read once at start-up into memory and
// written back only when the player saves from the menu.
#include "config/setting.h"

#include <filesystem>
#include <stdexcept>

#include "core/log.h"
#include "core/menu_item.h"
#include "core/paths.h"
#include "core/setting_id.h"
#include "core/text.h"

Config::Setting* g_settings = nullptr;

namespace Config {
namespace {
uint32_t ClampMark(int32_t value) {
    return value < 0 ? 0 : (value > 2 ? 2 : static_cast<uint32_t>(value));
}

void PrepareCarInfo() {
    const std::string& carInfo = Paths().carInfoFile;
    const std::string sample = carInfo + ".sample";
    std::error_code error;
    if (std::filesystem::exists(carInfo, error) || !std::filesystem::exists(sample, error)) return;
    if (!std::filesystem::copy_file(sample, carInfo, error) || error)
        LogLine("ERROR. Failed to copy " + sample + " to " + carInfo + ": " + error.message());
}
}  // namespace

Setting::Setting() : bindingItems(TheMenuBook().bindingLines) {}
Setting::~Setting() = default;

void CreateSettingsOnce() {
    if (g_settings) return;
    g_settings = new Setting();
    g_settings->LoadSettingsFile();
}

void ResetSettingsForTest() {
    delete g_settings;
    g_settings = nullptr;
    TheMenuBook().unsavedChanges = false;
}

void Setting::LoadSettingsFile() {
    PrepareCarInfo();
    ini.Load();
    g_verboseLog = ini.GetBool("Main", "VerboseLogEnabled", false);
    delayedInitEnabled = ini.GetBool("Main", "DelayedInitEnabled", delayedInitEnabled);
    // Read without writing its default back, unlike the others: a file saved
    // by a version without this key stays byte for byte as it was.
    std::string pollText;
    int32_t poll = kMaxPollIntervalMs;
    if (ini.PeekValue("Main", "PollIntervalMs", pollText) && !pollText.empty())
        poll = ini.GetInt("Main", "PollIntervalMs", kMaxPollIntervalMs);
    if (poll < 1 || poll > kMaxPollIntervalMs) {
        LogLine("Warning. PollIntervalMs = " + std::to_string(poll) + " is not 1 to " +
                std::to_string(kMaxPollIntervalMs) + "; " + std::to_string(kMaxPollIntervalMs) + " is used");
    }
    pollIntervalMs = poll < 1 || poll > kMaxPollIntervalMs ? kMaxPollIntervalMs : poll;
}

void Setting::ReadAllSettings() {
    rurAzuEnabled = ini.GetBool("RurAzu", "Enabled", rurAzuEnabled);
    gearGateEnabled = ini.GetBool("GearGate", "Enabled", gearGateEnabled);
    soundVolume = ini.GetFloat("GearGate", "SoundVolume", soundVolume);
    soundVolumeShiftType = ini.GetFloat("GearGate", "SoundVolumeShiftType", soundVolumeShiftType);
    soundFilePath = ini.GetString("GearGate", "SoundFilePath", soundFilePath);
    autoNeutral = ini.GetBool("GearGate", "AutoNeutral", autoNeutral);

    const std::string clutch = ini.GetString("GearGate", "ClutchRequired", "true");
    if (EqualsNoCase(clutch, "true")) {
        clutchRequired = 1;
    } else if (EqualsNoCase(clutch, "false")) {
        clutchRequired = 0;
    } else {
        try {
            clutchRequired = std::stoi(clutch, nullptr, 10);
        } catch (...) {
            // Not a number either: keep the default the shifter understands.
            LogLine("Failed getting int INI value for section: GearGate, name: ClutchRequired, value: " +
                    clutch);
        }
    }
    clutchThreshold = ini.GetFloat("GearGate", "ClutchThreshold", clutchThreshold);
    shifterType = ini.GetInt("GearGate", "Type", shifterType);

    if (g_verboseLog) {
        LogLine(std::string("DelayedInitEnabled=") + (delayedInitEnabled ? "1" : "0"));
        LogLine(std::string("RurAzu Enabled=") + (rurAzuEnabled ? "1" : "0"));
        LogLine(std::string("GearGate Enabled=") + (gearGateEnabled ? "1" : "0"));
    }

    for (MenuItem* item : bindingItems) {
        const std::string name = SettingName(item->id);
        std::string text = ini.GetString("KeyBind", name, item->TextValue());
        if (text.size() > kMaxBindingText) text.resize(kMaxBindingText);
        item->SetValue(text);  // kept when the text is not one of the line's options

        if (StartsWithNoCase(name, "RURAZU_")) {
            const BindingDefaults defaults = DefaultsFor(item->id);
            item->delayMark = ClampMark(ini.GetInt("KeyBind", name + "_TRIGGERTYPE", defaults.triggerType));
            item->contextMark = ClampMark(ini.GetInt("KeyBind", name + "_GAMEMODE", defaults.gameMode));
        }
        if (StartsWithNoCase(name, "RURAZU_CUSTOM")) {
            const std::string codeText = ini.GetString("KeyBind", name + "_KEYCODE", "");
            int32_t code = 0;
            try {
                code = ParseKeyCodeText(codeText);
            } catch (...) {
                LogLine("ERROR. Invalid KEYCODE option in " + name + "_KEYCODE=" + codeText);
            }
            item->extra = code;
            // Cut like a value, so no hand-edited text of any length reaches the host's drawing.
            if (code != 0) item->Rename(item->Name() + " (" + codeText.substr(0, kMaxBindingText) + ")");
        }
    }
}

void Setting::SaveAllSettings() {
    if (g_verboseLog) LogLine("Saving INI file " + Paths().settingsFile);
    ini.SetBool("RurAzu", "Enabled", rurAzuEnabled);
    ini.SetBool("GearGate", "Enabled", gearGateEnabled);
    ini.SetFloat("GearGate", "SoundVolume", soundVolume);
    ini.SetFloat("GearGate", "SoundVolumeShiftType", soundVolumeShiftType);
    ini.SetBool("GearGate", "AutoNeutral", autoNeutral);
    ini.SetInt("GearGate", "ClutchRequired", clutchRequired);
    ini.SetFloat("GearGate", "ClutchThreshold", clutchThreshold);
    ini.SetInt("GearGate", "Type", shifterType);

    for (MenuItem* item : bindingItems) {
        const std::string name = SettingName(item->id);
        ini.SetString("KeyBind", name, item->TextValue());
        if (StartsWithNoCase(name, "RURAZU_")) {
            ini.SetInt("KeyBind", name + "_GAMEMODE", static_cast<int32_t>(item->contextMark));
            ini.SetInt("KeyBind", name + "_TRIGGERTYPE", static_cast<int32_t>(item->delayMark));
        }
        if (StartsWithNoCase(name, "RURAZU_CUSTOM"))
            ini.SetString("KeyBind", name + "_KEYCODE", KeyCodeText(item->extra));
    }

    // A failed write keeps the changes pending, so the menu does not claim they
    // were saved and the next save tries again.
    if (ini.Save() >= 0) TheMenuBook().unsavedChanges = false;
}

}  // namespace Config
