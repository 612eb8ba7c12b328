// The settings object: KVTControls.ini read once at start-up into memory and
// written back only when the player saves from the menu.
#include "config/setting.h"

#include <filesystem>
#include <stdexcept>

#include "config/setting_list.h"
#include "core/log.h"
#include "core/menu_item.h"
#include "core/paths.h"
#include "core/setting_id.h"
#include "core/text.h"

Config::Setting* g_settings = nullptr;

namespace Config {
namespace {
// A declared setting's default, read and write, by the type of its field.
void ApplyDefault(const Declared& d, std::atomic<bool>& field) {
    field = d.defaultValue != 0;
}
void ApplyDefault(const Declared& d, std::atomic<int32_t>& field) {
    field = static_cast<int32_t>(d.defaultValue);
}
void ApplyDefault(const Declared& d, std::atomic<float>& field) {
    field = static_cast<float>(d.defaultValue);
}
void ApplyDefault(const Declared&, std::string& field) {
    field.clear();
}

// A missing key reads as the declared default, whatever the field holds.
void Read(IniFile& ini, const Declared& d, std::atomic<bool>& field) {
    field = ini.GetBool(d.section, d.key, d.defaultValue != 0);
}
void Read(IniFile& ini, const Declared& d, std::atomic<float>& field) {
    field = ini.GetFloat(d.section, d.key, static_cast<float>(d.defaultValue));
}
void Read(IniFile& ini, const Declared& d, std::string& field) {
    field = ini.GetString(d.section, d.key, "");
}
void Read(IniFile& ini, const Declared& d, std::atomic<int32_t>& field) {
    int32_t value = static_cast<int32_t>(d.defaultValue);
    std::string text;
    if (d.trueFalseToo) {
        text = ini.GetString(d.section, d.key, value != 0 ? "true" : "false");
        if (EqualsNoCase(text, "true")) {
            value = 1;
        } else if (EqualsNoCase(text, "false")) {
            value = 0;
        } else {
            try {
                value = std::stoi(text, nullptr, 10);
            } catch (...) {
                // Not a number either: keep the default.
                LogLine(std::string("Failed getting int INI value for section: ") + d.section +
                        ", name: " + d.key + ", value: " + text);
            }
        }
    } else if (d.writesDefault || (ini.PeekValue(d.section, d.key, text) && !text.empty())) {
        value = ini.GetInt(d.section, d.key, value);
    }
    if (d.low < d.high && (value < d.low || value > d.high)) {
        const int32_t fallback = static_cast<int32_t>(d.defaultValue);
        LogLine(std::string("Warning. ") + d.key + " = " + std::to_string(value) + " is not " +
                std::to_string(static_cast<int32_t>(d.low)) + " to " +
                std::to_string(static_cast<int32_t>(d.high)) + "; " + std::to_string(fallback) + " is used");
        value = fallback;
    }
    field = value;
}

void Write(IniFile& ini, const Declared& d, const std::atomic<bool>& field) {
    ini.SetBool(d.section, d.key, field);
}
void Write(IniFile& ini, const Declared& d, const std::atomic<int32_t>& field) {
    ini.SetInt(d.section, d.key, field);
}
void Write(IniFile& ini, const Declared& d, const std::atomic<float>& field) {
    ini.SetFloat(d.section, d.key, field);
}
void Write(IniFile& ini, const Declared& d, const std::string& field) {
    ini.SetString(d.section, d.key, field);
}

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

constexpr const char* kControllersSection = "Controllers";
std::string TwinKey(size_t index) {
    return "Twin" + std::to_string(index);
}
}  // namespace

Setting::Setting() : bindingItems(TheMenuBook().bindingLines) {
    ForEachSetting(*this, [](const Declared& d, auto& field) {
        if (!d.global) ApplyDefault(d, field);
    });
}
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
    ForEachSetting(*this, [&](const Declared& d, auto& field) {
        if (d.atStart) Read(ini, d, field);
    });
}

void Setting::ReadAllSettings() {
    ForEachSetting(*this, [&](const Declared& d, auto& field) {
        if (!d.atStart) Read(ini, d, field);
    });

    if (g_verboseLog) {
        LogLine(std::string("DelayedInitEnabled=") + (delayedInitEnabled ? "1" : "0"));
        LogLine(std::string("RurAzu Enabled=") + (rurAzuEnabled ? "1" : "0"));
        LogLine(std::string("GearGate Enabled=") + (gearGateEnabled ? "1" : "0"));
    }

    std::vector<std::string> remembered;
    for (size_t i = 1; i <= kRememberedControllersRoom; ++i) {
        std::string text;
        if (ini.PeekValue(kControllersSection, TwinKey(i), text) && !text.empty()) remembered.push_back(text);
    }
    RememberControllers(remembered);

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

std::vector<std::string> Setting::RememberedControllers() const {
    kvt::MutexLock lock(controllersLock_);
    return rememberedControllers_;
}

void Setting::RememberControllers(const std::vector<std::string>& texts) {
    kvt::MutexLock lock(controllersLock_);
    rememberedControllers_ = texts;
}

void Setting::SaveAllSettings() {
    if (g_verboseLog) LogLine("Saving INI file " + Paths().settingsFile);
    ForEachSetting(*this, [&](const Declared& d, const auto& field) {
        if (d.saved) Write(ini, d, field);
    });

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

    // Only a player with twins gets the section; a slot no longer used is
    // emptied, as the document keeps every key it read.
    const std::vector<std::string> remembered = RememberedControllers();
    for (size_t i = 1; i <= kRememberedControllersRoom; ++i) {
        const size_t at = i - 1;
        std::string stored;
        if (at < remembered.size()) {
            ini.SetString(kControllersSection, TwinKey(i), remembered[at]);
        } else if (ini.PeekValue(kControllersSection, TwinKey(i), stored) && !stored.empty()) {
            ini.SetString(kControllersSection, TwinKey(i), "");
        }
    }

    // A failed write keeps the changes pending, so the menu does not claim they
    // were saved and the next save tries again.
    if (ini.Save() >= 0) TheMenuBook().unsavedChanges = false;
}

}  // namespace Config
