// SettingId names the menu item groups and every setting; each value's name is
// its INI key.
#pragma once

#include <cstddef>
#include <cstdint>

// Every identifier once, in the order of its value (0 up): its name, which is
// its INI key, and for a RurAzu binding the hold delay (_TRIGGERTYPE: 0
// Instant, 1 Short, 2 Long) and the game-mode rule (_GAMEMODE: 0 any time, 1
// in a race, 2 in the menus) it has until the file says otherwise.
#define KVT_SETTING_IDS(X)                \
    X(UNKNOWN, 0, 0)                      \
    X(SEPARATOR, 0, 0)                    \
    X(KEYBIND, 0, 0)                      \
    X(MENUPAGE_SWITCH, 0, 0)              \
    X(PLUGIN_ENABLED, 0, 0)               \
    X(SAVE_SETTINGS, 0, 0)                \
    X(RURAZU_UP, 0, 0)                    \
    X(RURAZU_DOWN, 0, 0)                  \
    X(RURAZU_LEFT, 0, 0)                  \
    X(RURAZU_RIGHT, 0, 0)                 \
    X(RURAZU_ESC, 0, 0)                   \
    X(RURAZU_BACK, 0, 2)                  \
    X(RURAZU_ENTER, 0, 2)                 \
    X(RURAZU_SPACE, 0, 2)                 \
    X(RURAZU_LSHIFT, 0, 0)                \
    X(RURAZU_LCTRL, 0, 0)                 \
    X(RURAZU_LCTRL_S, 0, 2)               \
    X(RURAZU_PAGEUP, 0, 0)                \
    X(RURAZU_PAGEDOWN, 0, 0)              \
    X(RURAZU_HOME, 0, 0)                  \
    X(RURAZU_END, 0, 0)                   \
    X(RURAZU_DEL, 0, 2)                   \
    X(RURAZU_IGNITION, 0, 1)              \
    X(RURAZU_RESTART_STAGE, 2, 1)         \
    X(RURAZU_CALLFORHELP, 2, 1)           \
    X(RURAZU_RETIRE_STAGE, 2, 1)          \
    X(RURAZU_EXIT_KVT, 2, 0)              \
    X(RURAZU_F1, 0, 1)                    \
    X(RURAZU_F9, 0, 0)                    \
    X(RURAZU_F11, 0, 0)                   \
    X(RURAZU_NUM4, 0, 0)                  \
    X(RURAZU_NUM6, 0, 0)                  \
    X(RURAZU_NUM8, 0, 0)                  \
    X(RURAZU_NUM2, 0, 0)                  \
    X(RURAZU_NUMADD, 0, 0)                \
    X(RURAZU_NUMSUB, 0, 0)                \
    X(RURAZU_NUM0, 0, 0)                  \
    X(RURAZU_MULTIPLY, 0, 0)              \
    X(RURAZU_CUSTOM1, 0, 0)               \
    X(RURAZU_CUSTOM2, 0, 0)               \
    X(RURAZU_CUSTOM3, 0, 0)               \
    X(RURAZU_VR_RESETVIEW, 0, 0)          \
    X(RURAZU_VR_TOGGLEDEBUG, 0, 0)        \
    X(RURAZU_VR_MOVE_SEAT_FORWARD, 0, 0)  \
    X(RURAZU_VR_MOVE_SEAT_RIGHT, 0, 0)    \
    X(RURAZU_VR_MOVE_SEAT_BACKWARD, 0, 0) \
    X(RURAZU_VR_MOVE_SEAT_LEFT, 0, 0)     \
    X(RURAZU_VR_MOVE_SEAT_UP, 0, 0)       \
    X(RURAZU_VR_MOVE_SEAT_DOWN, 0, 0)     \
    X(GEARGATE_SHIFTTYPE, 0, 0)           \
    X(GEARGATE_AUTONEUTRAL, 0, 0)         \
    X(GEARGATE_CLUTCH_REQUIRED, 0, 0)     \
    X(GEARGATE_CLUTCH_THRESHOLD, 0, 0)    \
    X(GEARGATE_GEARSOUNDSVOL, 0, 0)       \
    X(GEARGATE_TYPESOUNDSVOL, 0, 0)       \
    X(GEARGATE_GEAR_1, 0, 0)              \
    X(GEARGATE_GEAR_2, 0, 0)              \
    X(GEARGATE_GEAR_3, 0, 0)              \
    X(GEARGATE_GEAR_4, 0, 0)              \
    X(GEARGATE_GEAR_5, 0, 0)              \
    X(GEARGATE_GEAR_6, 0, 0)              \
    X(GEARGATE_GEAR_R, 0, 0)              \
    X(GEARGATE_SEQUENTIAL_NEUTRAL, 0, 0)  \
    X(GEARGATE_SEQUENTIAL_UP, 0, 0)       \
    X(GEARGATE_SEQUENTIAL_DOWN, 0, 0)     \
    X(GEARGATE_TOGGLE_MODE, 0, 0)

enum SettingId : int32_t {
#define KVT_SETTING_ID(name, triggerType, gameMode) name,
    KVT_SETTING_IDS(KVT_SETTING_ID)
#undef KVT_SETTING_ID
        NUM_OF_ITEMS
};
// The values are the host-facing numbers the settings file and the menu use.
static_assert(RURAZU_UP == 6 && GEARGATE_SHIFTTYPE == 49 && GEARGATE_TOGGLE_MODE == 65 && NUM_OF_ITEMS == 66);

// The INI key of an identifier; the empty text for a value above NUM_OF_ITEMS.
const char* SettingName(int32_t id);

// A RurAzu binding's hold delay and game-mode rule before the file sets them.
struct BindingDefaults {
    int32_t triggerType = 0;
    int32_t gameMode = 0;
};
BindingDefaults DefaultsFor(int32_t id);

// The longest binding text a line keeps: longer ones, typed into the file by
// hand, are cut.
inline constexpr size_t kMaxBindingText = 127;
