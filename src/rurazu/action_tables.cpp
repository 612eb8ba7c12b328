// The three pages' action tables.
#include "rurazu/action_tables.h"

#include "core/setting_id.h"

namespace {
// Windows virtual-key codes of the keys the actions send.
constexpr int32_t kVkBack = 0x08, kVkReturn = 0x0D, kVkEscape = 0x1B, kVkSpace = 0x20, kVkPrior = 0x21,
                  kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24, kVkLeft = 0x25, kVkUp = 0x26,
                  kVkRight = 0x27, kVkDown = 0x28, kVkDelete = 0x2E, kVkNumpad0 = 0x60, kVkNumpad2 = 0x62,
                  kVkNumpad4 = 0x64, kVkNumpad6 = 0x66, kVkNumpad8 = 0x68, kVkMultiply = 0x6A, kVkAdd = 0x6B,
                  kVkSubtract = 0x6D, kVkF1 = 0x70, kVkF9 = 0x78, kVkF11 = 0x7A, kVkLShift = 0xA0,
                  kVkLControl = 0xA2;
constexpr int32_t kCustomKey = 0;  // the code comes from the settings

constexpr RurAzuAction kPage1[] = {
    {"Up", RURAZU_UP, kVkUp, " (Menu navigation)"},
    {"Down", RURAZU_DOWN, kVkDown, " (Menu navigation)"},
    {"Left", RURAZU_LEFT, kVkLeft, " (Menu navigation)"},
    {"Right", RURAZU_RIGHT, kVkRight, " (Menu navigation)"},
    {"Esc", RURAZU_ESC, kVkEscape, " (Prev menu/Pause race)"},
    {"Backspace", RURAZU_BACK, kVkBack, " (Prev menu)"},
    {"Enter", RURAZU_ENTER, kVkReturn, " (Selection)"},
    {"Space", RURAZU_SPACE, kVkSpace, " (Toggle a favorite car/stage)"},
    {"Left Shift", RURAZU_LSHIFT, kVkLShift, ""},
    {"Left Control", RURAZU_LCTRL, kVkLControl, ""},
    {"Control+S", RURAZU_LCTRL_S, kSpecialAction, " (Save changes in Setup Editor)"},
    {"Page Up", RURAZU_PAGEUP, kVkPrior, " (Prev page in a menu)"},
    {"Page Down", RURAZU_PAGEDOWN, kVkNext, " (Next page in a menu)"},
    {"Home", RURAZU_HOME, kVkHome, " (Go to top of menu)"},
    {"End", RURAZU_END, kVkEnd, " (Go to bottom of menu)"},
    {"Delete", RURAZU_DEL, kVkDelete, ""},
};

constexpr RurAzuAction kPage2[] = {
    {"Ignition", RURAZU_IGNITION, kSpecialAction, " (Engine ignition)"},
    {"Restart Stage", RURAZU_RESTART_STAGE, kSpecialAction, " (Only in Practice & Hotlap)"},
    {"Call for Help", RURAZU_CALLFORHELP, kSpecialAction, " (Call for help)"},
    {"Retire Stage", RURAZU_RETIRE_STAGE, kSpecialAction, " (Retire race or replay)"},
    {"Exit KVT", RURAZU_EXIT_KVT, kSpecialAction, " (Exit and close KVT)"},
    {"F1", RURAZU_F1, kVkF1, " (Velmora. Shows a tyre data)"},
    {"F9", RURAZU_F9, kVkF9, " (FreeCam in external cam)"},
    {"F11", RURAZU_F11, kVkF11, " (Screenshot)"},
    {"Numpad 4", RURAZU_NUM4, kVkNumpad4, ""},
    {"Numpad 6", RURAZU_NUM6, kVkNumpad6, ""},
    {"Numpad 8", RURAZU_NUM8, kVkNumpad8, ""},
    {"Numpad 2", RURAZU_NUM2, kVkNumpad2, ""},
    {"Numpad 0", RURAZU_NUM0, kVkNumpad0, ""},
    {"Numpad +", RURAZU_NUMADD, kVkAdd, ""},
    {"Numpad -", RURAZU_NUMSUB, kVkSubtract, ""},
    {"Numpad *", RURAZU_MULTIPLY, kVkMultiply, ""},
    {"Custom1", RURAZU_CUSTOM1, kCustomKey, kCustomHint},
    {"Custom2", RURAZU_CUSTOM2, kCustomKey, kCustomHint},
    {"Custom3", RURAZU_CUSTOM3, kCustomKey, kCustomHint},
};

constexpr RurAzuAction kVr[] = {
    {"VR Reset View", RURAZU_VR_RESETVIEW, kSpecialAction, " (Reset VR view)"},
    {"VR Debug Toggle", RURAZU_VR_TOGGLEDEBUG, kSpecialAction, " (Toggles VR debug HUD on/off)"},
    {"Move Seat Forward", RURAZU_VR_MOVE_SEAT_FORWARD, kSpecialAction, " (Move seat forward)"},
    {"Move Seat Right", RURAZU_VR_MOVE_SEAT_RIGHT, kSpecialAction, " (Move seat right)"},
    {"Move Seat Backward", RURAZU_VR_MOVE_SEAT_BACKWARD, kSpecialAction, " (Move seat backward)"},
    {"Move Seat Left", RURAZU_VR_MOVE_SEAT_LEFT, kSpecialAction, " (Move seat left)"},
    {"Move Seat Up", RURAZU_VR_MOVE_SEAT_UP, kSpecialAction, " (Move seat up)"},
    {"Move Seat Down", RURAZU_VR_MOVE_SEAT_DOWN, kSpecialAction, " (Move seat down)"},
};
}  // namespace

std::span<const RurAzuAction> Page1Actions() {
    return kPage1;
}
std::span<const RurAzuAction> Page2Actions() {
    return kPage2;
}
std::span<const RurAzuAction> VrActions() {
    return kVr;
}
