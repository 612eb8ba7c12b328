// The keyboard reader: the system keyboard through DirectInput 8, read as key
// changes by the input job and asked for key names by the menu. Created by
// the job's start request; never destroyed while the process runs.
#pragma once

#include <cstdint>
#include <string>

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
    bool ConnectKeyboard();
    // Releases the keyboard device and forgets the key states. Takes the keyboard lock.
    void DisconnectKeyboard();
    // The job's thread, once per pass: at most room changes since the last read,
    // lowest key indices first.
    int ReadKeyChanges(KeyChange* changes, int room);
    // "K<key> Keyboard <name>", or empty when DirectInput has no name for it. Cached.
    std::string GetKeyCodeName(int32_t key);
};

}  // namespace Input
