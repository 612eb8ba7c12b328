// The platform seam of the keyboard reader: DirectInput 8 reduced to what the
// reader asks of it. win32/win32_keyboard.cpp makes the real calls;
// sim/sim_keyboard.cpp is a scripted keyboard for the native tests.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Opaque to the reader: the DirectInput object and one system-keyboard device
// (IDirectInput8A and IDirectInputDevice8A on Windows).
struct DirectInputObject;
struct KeyboardDevice;

// DirectInput's own result codes, passed through: negative is a failure.
using InputResult = int32_t;
inline constexpr InputResult kInputOk = 0;
inline constexpr InputResult kInputAlreadyAcquired = 1;  // S_FALSE
inline constexpr bool InputFailed(InputResult result) {
    return result < 0;
}

// Cooperative level flags: shared with other programs, and only while the
// given window has the focus.
inline constexpr uint32_t kCooperateNonExclusiveForeground = 6;

inline constexpr int kKeyCount = 256;

// DirectInput version 0x0800 for the host process's module.
InputResult CreateDirectInput(DirectInputObject** object);
void ReleaseDirectInput(DirectInputObject* object);

InputResult CreateSystemKeyboard(DirectInputObject* object, KeyboardDevice** device);
// The standard keyboard format: one byte per key index, bit 7 set while down.
InputResult SetKeyboardDataFormat(KeyboardDevice* device);
InputResult SetKeyboardCooperativeLevel(KeyboardDevice* device, uint32_t window, uint32_t flags);
InputResult AcquireKeyboard(KeyboardDevice* device);
InputResult UnacquireKeyboard(KeyboardDevice* device);
InputResult ReadKeyboardState(KeyboardDevice* device, uint8_t (&state)[kKeyCount]);
// The display name DirectInput gives the key index, in UTF-16.
InputResult ReadKeyName(KeyboardDevice* device, int32_t key, std::u16string* name);
void ReleaseKeyboard(KeyboardDevice* device);

}  // namespace platform
