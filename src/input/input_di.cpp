// The keyboard reader: connects the system keyboard through the platform's
// DirectInput seam, turns successive 256-byte key states into key changes for
// the input job, and names keys for the menu.
#include "input/input_di.h"

#include <cstring>
#include <stdexcept>

#include "core/log.h"
#include "platform/platform.h"

namespace Input {
namespace {
constexpr uint8_t kKeyDownBit = 0x80;

bool IsDown(uint8_t state) {
    return (state & kKeyDownBit) != 0;
}
}  // namespace

InputDI::InputDI(uint32_t window) : hostWindow(window) {}

// The reader normally lives as long as the process; a reader that is let go
// anyway gives its DirectInput objects back.
InputDI::~InputDI() {
    try {
        kvt::MutexLock lock(g_keyboardLock);
        if (keyboard) {
            platform::UnacquireKeyboard(keyboard);
            platform::ReleaseKeyboard(keyboard);
            keyboard = nullptr;
        }
        if (directInput) {
            platform::ReleaseDirectInput(directInput);
            directInput = nullptr;
        }
    } catch (...) {
    }
}

bool InputDI::ConnectKeyboard() {
    try {
        kvt::MutexLock lock(g_keyboardLock);
        return ConnectLocked();
    } catch (...) {
        if (g_verboseLog) LogLine("ERROR. Exception in ConnectKeyboard");
        return false;
    }
}

bool InputDI::ConnectLocked() {
    if (!directInput) {
        platform::DirectInputObject* created = nullptr;
        if (platform::InputFailed(platform::CreateDirectInput(&created)) || !created) {
            LogLine("ERROR. Failed to create DI object");
            directInput = nullptr;
            return false;
        }
        directInput = created;
    }
    if (!keyboard) {
        platform::KeyboardDevice* created = nullptr;
        if (platform::InputFailed(platform::CreateSystemKeyboard(directInput, &created)) || !created) {
            LogLine("ERROR. Failed to create DI-KBD object");
            keyboard = nullptr;
            return false;
        }
        keyboard = created;
        freshDevice = true;
        ClearKeyStates();
        // Failures here surface as a refused Acquire or failed reads, which
        // are already handled, so their results are not looked at.
        platform::SetKeyboardDataFormat(keyboard);
        platform::SetKeyboardCooperativeLevel(keyboard, hostWindow,
                                              platform::kCooperateNonExclusiveForeground);
    }
    // A refusal (the host window is not in front) leaves the device created:
    // the next connect or failed read only acquires again.
    const platform::InputResult acquired = platform::AcquireKeyboard(keyboard);
    return acquired == platform::kInputOk || acquired == platform::kInputAlreadyAcquired;
}

void InputDI::DisconnectKeyboard() {
    try {
        kvt::MutexLock lock(g_keyboardLock);
        if (!keyboard) return;
        if (g_verboseLog) LogLine("Disconnecting keyboard...");
        platform::UnacquireKeyboard(keyboard);
        platform::ReleaseKeyboard(keyboard);
        keyboard = nullptr;
        // Keys down now must not come back as releases after a reconnect.
        ClearKeyStates();
        if (g_verboseLog) LogLine("Keyboard disconnected");
    } catch (...) {
    }
}

void InputDI::ClearKeyStates() {
    std::memset(readState, 0, sizeof readState);
    std::memset(reportedState, 0, sizeof reportedState);
}

// The job reads while the host's thread may disconnect the keyboard (a menu
// action changing the bindings). The read holds the keyboard lock for all of
// its work: the device cannot be released under GetDeviceState, and the key
// states cannot be cleared halfway through a comparison. That is one state
// read and a 256-byte comparison, short enough for the host's thread to wait
// for. A reference count on the device would let the read run unlocked but
// would still leave the key states to guard, so one lock does both.
//
// A failed read re-acquires within the same hold rather than through
// ConnectKeyboard after letting go: a disconnect slipping in between would
// otherwise be undone by the re-acquire creating a new device, connecting a
// keyboard that no binding names any more.
int InputDI::ReadKeyChanges(KeyChange* changes, int room, bool* firstRead) {
    kvt::MutexLock lock(g_keyboardLock);
    if (firstRead) *firstRead = false;
    if (!keyboard) return 0;
    if (platform::InputFailed(platform::ReadKeyboardState(keyboard, readState))) {
        // What was reported stays what the next read compares with, so a key
        // released while reads failed is still reported released, and one
        // held throughout is not reported pressed a second time.
        try {
            ConnectLocked();
        } catch (...) {
            if (g_verboseLog) LogLine("ERROR. Exception in ConnectKeyboard");
        }
        return 0;
    }
    if (firstRead) *firstRead = freshDevice;
    freshDevice = false;
    if (std::memcmp(readState, reportedState, platform::kKeyCount) == 0) return 0;
    int written = 0;
    for (int32_t key = 1; key < platform::kKeyCount && written < room; ++key) {
        if (IsDown(readState[key]) == IsDown(reportedState[key])) continue;
        changes[written].key = key;
        changes[written].pressed = IsDown(readState[key]);
        reportedState[key] = readState[key];
        ++written;
    }
    return written;
}

std::string InputDI::GetKeyCodeName(int32_t key) {
    return KeyCodeName(key);
}

const std::string& InputDI::KeyCodeName(int32_t key) {
    static const std::string kNone;
    const auto cached = keyNameCache.find(key);
    if (cached != keyNameCache.end()) return cached->second;
    std::string result;
    try {
        const std::optional<std::string> name = LookUpKeyName(key);
        if (!name) return kNone;
        if (!name->empty()) {
            // Appended piece by piece: GCC 12 misreads the one-expression
            // concatenation as an overlapping copy (-Wrestrict).
            result.append("K").append(std::to_string(key)).append(" Keyboard ").append(*name);
        }
    } catch (...) {
        if (g_verboseLog) LogLine("ERROR. Exception in GetKeyCodeName");
        result.clear();
    }
    // Keys without a name are remembered too, so the menu drawing them every
    // frame does not create a device every frame.
    std::string& slot = keyNameCache[key];
    slot = std::move(result);
    return slot;
}

// Names come from a device of their own, never from the connected one: the
// lookup must not disturb the job's acquisition or its reads.
std::optional<std::string> InputDI::LookUpKeyName(int32_t key) {
    kvt::MutexLock lock(g_keyboardLock);
    if (!directInput) return std::nullopt;
    platform::KeyboardDevice* device = nullptr;
    if (platform::InputFailed(platform::CreateSystemKeyboard(directInput, &device)) || !device)
        return std::nullopt;
    std::u16string wide;
    bool named = false;
    try {
        platform::SetKeyboardDataFormat(device);
        platform::SetKeyboardCooperativeLevel(device, hostWindow, platform::kCooperateNonExclusiveForeground);
        named = !platform::InputFailed(platform::ReadKeyName(device, key, &wide));
    } catch (...) {
        platform::UnacquireKeyboard(device);
        platform::ReleaseKeyboard(device);
        throw;
    }
    platform::UnacquireKeyboard(device);
    platform::ReleaseKeyboard(device);
    if (!named) return std::string();
    try {
        return platform::WideToCodePage(std::wstring(wide.begin(), wide.end()));
    } catch (const std::runtime_error&) {
        return std::string();  // a name the code page cannot hold counts as none
    }
}

}  // namespace Input
