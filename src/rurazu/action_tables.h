// The RurAzu actions of the three pages: label, setting, the virtual-key code
// a key action sends (-1 for an action that is not a plain key, 0 for a
// custom key until the settings give its code) and the hint's suffix.
#pragma once

#include <cstdint>
#include <span>

struct RurAzuAction {
    const char* label;
    int32_t id;
    int32_t keyCode;
    const char* suffix;
};

// What a special action's line keeps as its key code.
inline constexpr int32_t kSpecialAction = -1;
inline constexpr const char* kActionHint = "[ENTER] Bind [DEL] Unbind [< >] Delay Instant/=Short/==Long";
inline constexpr const char* kCustomHint = " (See plugins KVTControls.ini file)";
// The typed key that steps a bound row's game-mode rule.
inline constexpr char kRuleKey = 'R';
// The typed key that makes a custom row wait for the keyboard key it sends.
inline constexpr char kKeyCodeKey = 'K';
// The two typed keys, named on the plug-in's own status line (the rows'
// description lines are the hint and suffix above, as they always were).
inline constexpr const char* kRuleKeyHint = "[R] Rule any/race/menu";
inline constexpr const char* kCodeKeyHint = "[K] Key to send: type K, then the key";
inline constexpr const char* kRuleAndCodeKeyHint =
    "[R] Rule any/race/menu  [K] Key to send: type K, then the key";
inline constexpr const char* kSwitchLabel = "RurAzu";
inline constexpr const char* kSwitchDescription = "[< >] Enable/Disable control mapping";

std::span<const RurAzuAction> Page1Actions();
std::span<const RurAzuAction> Page2Actions();
std::span<const RurAzuAction> VrActions();
