// Controls of the simulated keyboard, for the native tests: keys held down,
// DirectInput calls that fail or throw on demand, a name per key, and the
// counts and misuse the tests assert on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/keyboard_device.h"

namespace platform::sim {

enum class KeyboardCall {
    CreateDirectInput,
    CreateDevice,
    SetDataFormat,
    SetCooperativeLevel,
    Acquire,
    Unacquire,
    ReadState,
    ReadName,
};

// Back to no keys down, every call succeeding, no names, zero counts, no hooks,
// the host window in front. Devices still alive stay alive.
void ResetKeyboard();

void SetKeyDown(int32_t key, bool down);
void SetKeyName(int32_t key, const std::u16string& name);

// The call returns this result (0 = the real behaviour) until set back to 0;
// a failed creation yields null.
void FailCall(KeyboardCall call, InputResult result);
// A creation that reports success but yields null.
void CreateYieldsNull(KeyboardCall call, bool yieldsNull);
// The call throws std::runtime_error until set back to false.
void ThrowOnCall(KeyboardCall call, bool throws);

// Plays Wine's keyboard: a device acquired while a key is down never shows
// that key down, neither then nor when it is let go; only its next press.
void SetAcquireHidesHeldKeys(bool hides);

// Plays the focus of DirectInput's foreground level: out of front, Acquire is
// refused and acquired devices are lost, so their state reads fail.
void SetWindowInFront(bool inFront);

// Runs inside each call of that kind on a device, while the device counts as
// in use, without the simulation's own lock held: the place to drive the
// reader from another thread in the middle of a DirectInput call.
void SetCallHook(KeyboardCall call, std::function<void()> hook);

struct KeyboardCounts {
    int directInputsCreated = 0;
    int directInputsReleased = 0;
    int devicesCreated = 0;
    int devicesReleased = 0;
    int formatsSet = 0;
    int acquires = 0;
    int unacquires = 0;
    int stateReads = 0;
    int nameReads = 0;
    // Name reads on an acquired device: only a connected device is ever acquired.
    int nameReadsOnConnectedDevice = 0;
    // Misuse: a call on a released device or object, and a release while
    // another thread was inside a call on the same device.
    int callsAfterRelease = 0;
    int releasesWhileInUse = 0;
    uint32_t lastWindow = 0;
    uint32_t lastFlags = 0;
};
KeyboardCounts KeyboardCallCounts();

}  // namespace platform::sim
