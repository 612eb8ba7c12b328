// The keyboard reader: the system keyboard through DirectInput 8, read as key
// changes by the input job and asked for key names by the menu. Created by
// the job's start request; never destroyed while the process runs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "input/device_locks.h"
#include "platform/keyboard_device.h"

namespace Input {

// One key that went down or up: its DirectInput key index (1 to 255).
struct KeyChange {
    int32_t key = 0;
    bool pressed = false;
};

class InputDI {
public:
    explicit InputDI(uint32_t hostWindow);
    virtual ~InputDI();
    InputDI(const InputDI&) = delete;
    InputDI& operator=(const InputDI&) = delete;

    // True when the keyboard is acquired. Takes the keyboard lock.
    bool ConnectKeyboard() KVT_EXCLUDES(g_keyboardLock);
    // Releases the keyboard device and forgets the key states. Takes the keyboard lock.
    void DisconnectKeyboard() KVT_EXCLUDES(g_keyboardLock);
    // The job's thread, once per pass: at most room changes since what the
    // last reads reported, lowest key indices first; the rest come next time.
    // firstRead, when given, tells whether this was the first read of a
    // device created since the last (a fresh device may not show keys that
    // were already down: Wine's does not).
    int ReadKeyChanges(KeyChange* changes, int room, bool* firstRead = nullptr) KVT_EXCLUDES(g_keyboardLock);
    // "K<key> Keyboard <name>", or empty when DirectInput has no name for it. Cached.
    std::string GetKeyCodeName(int32_t key) KVT_EXCLUDES(g_keyboardLock);
    // The same, as the cache holds it: what the menu draws every frame
    // without a copy. Valid while the reader lives; the host's thread only.
    const std::string& KeyCodeName(int32_t key) KVT_EXCLUDES(g_keyboardLock);

private:
    bool ConnectLocked() KVT_REQUIRES(g_keyboardLock);
    // Empty when there is no name; nothing when the lookup could not even start
    // (then the answer is not cached, so a later connect can still name the key).
    std::optional<std::string> LookUpKeyName(int32_t key) KVT_EXCLUDES(g_keyboardLock);
    void ClearKeyStates() KVT_REQUIRES(g_keyboardLock);

    const uint32_t hostWindow;
    platform::DirectInputObject* directInput KVT_GUARDED_BY(g_keyboardLock) = nullptr;
    platform::KeyboardDevice* keyboard KVT_GUARDED_BY(g_keyboardLock) = nullptr;
    // The key states belong with the device: a disconnect on the host's thread
    // clears them while the job may be reading, so they share its lock. The
    // latest read is compared with what the job was told, not with the read
    // before, so a change that did not fit in one pass comes in the next.
    uint8_t readState[platform::kKeyCount] KVT_GUARDED_BY(g_keyboardLock) = {};
    uint8_t reportedState[platform::kKeyCount] KVT_GUARDED_BY(g_keyboardLock) = {};
    // Set when a device is created, cleared by its first successful read.
    bool freshDevice KVT_GUARDED_BY(g_keyboardLock) = false;
    // The host's thread alone asks for names, so the cache needs no lock.
    std::map<int32_t, std::string> keyNameCache;
};

}  // namespace Input
