// Every plain setting of KVTControls.ini, declared once: its section and key,
// its default and range, the menu row that sets it, when it is read and
// whether "Save Settings" writes it. Reading (with its range), saving, the
// defaults, and the guide's table of settings all walk this one list; the
// bindings' keys are the setting identifiers' (core/setting_id.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "config/setting.h"
#include "core/log.h"
#include "core/setting_id.h"

namespace Config {

struct Declared {
    const char* section;
    const char* key;
    double defaultValue = 0;    // a switch's: 1 on
    double low = 0, high = 0;   // a number's range, where low < high: outside it, the default
    int32_t row = UNKNOWN;      // the menu row that sets it
    bool atStart = false;       // read as the file loads, before the pages exist
    bool saved = true;          // written back by "Save Settings"
    bool writesDefault = true;  // a missing key is added, with its default, at the next save
    bool trueFalseToo = false;  // a number that also takes "true" (1) and "false" (0)
    bool global = false;        // not the settings object's own: its default is not set there
    const char* note = "";      // what the guide says of it where no menu row explains it
};

// visit(declared, field) for every plain setting, in the order the file is
// read and written.
template <typename Visit>
void ForEachSetting(Setting& s, Visit&& visit) {
    visit(Declared{.section = "Main",
                   .key = "VerboseLogEnabled",
                   .atStart = true,
                   .saved = false,
                   .global = true,
                   .note = "true writes every step into KVTControls.log, not only warnings and errors. Read "
                           "when the game starts; not on the menu, set it by hand."},
          g_verboseLog);
    visit(Declared{.section = "Main",
                   .key = "DelayedInitEnabled",
                   .defaultValue = 1,
                   .atStart = true,
                   .saved = false,
                   .note = "true starts reading controllers when the game first shows its menus rather than "
                           "when it loads the plug-in. Read when the game starts; not on the menu."},
          s.delayedInitEnabled);
    visit(Declared{.section = "Main",
                   .key = "PollIntervalMs",
                   .defaultValue = kMaxPollIntervalMs,
                   .low = 1,
                   .high = kMaxPollIntervalMs,
                   .atStart = true,
                   .saved = false,
                   // A file saved by a version without this key stays byte for byte as it was.
                   .writesDefault = false,
                   .note = "How often, in milliseconds, controllers and the keyboard are read while the game "
                           "is in front: 1 to 25. A press waits for the next reading: at 25 about 12 ms on "
                           "average and 25 at most, at 5 about 2.5 and 5, for a little more processor time "
                           "(measured figures below the table). Read when the game starts; not on the menu, "
                           "and not in the file until you add it."},
          s.pollIntervalMs);
    visit(Declared{.section = "RurAzu", .key = "Enabled", .row = PLUGIN_ENABLED}, s.rurAzuEnabled);
    visit(Declared{.section = "GearGate", .key = "Enabled", .row = PLUGIN_ENABLED}, s.gearGateEnabled);
    visit(
        Declared{
            .section = "GearGate", .key = "SoundVolume", .defaultValue = 1, .row = GEARGATE_GEARSOUNDSVOL},
        s.soundVolume);
    visit(Declared{.section = "GearGate",
                   .key = "SoundVolumeShiftType",
                   .defaultValue = 1,
                   .row = GEARGATE_TYPESOUNDSVOL},
          s.soundVolumeShiftType);
    visit(Declared{.section = "GearGate",
                   .key = "SoundFilePath",
                   .saved = false,
                   .note = "The folder of the four shifter sounds: empty for Plugins\\KVTControls, a full "
                           "path, or a path inside the game folder. Not on the menu."},
          s.soundFilePath);
    visit(
        Declared{.section = "GearGate", .key = "AutoNeutral", .defaultValue = 1, .row = GEARGATE_AUTONEUTRAL},
        s.autoNeutral);
    visit(Declared{.section = "GearGate",
                   .key = "ClutchRequired",
                   .defaultValue = 1,
                   .row = GEARGATE_CLUTCH_REQUIRED,
                   .trueFalseToo = true},
          s.clutchRequired);
    visit(Declared{.section = "GearGate",
                   .key = "ClutchThreshold",
                   .defaultValue = 0.35,
                   .row = GEARGATE_CLUTCH_THRESHOLD},
          s.clutchThreshold);
    visit(Declared{.section = "GearGate", .key = "Type", .defaultValue = 2, .row = GEARGATE_SHIFTTYPE},
          s.shifterType);
}

}  // namespace Config
