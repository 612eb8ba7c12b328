// The bridge to the VR plug-in ("openKVTVR.dll" in the host's plug-ins folder)
// for RurAzu's VR actions. Which VR component the host has is found out once
// per process; the VR plug-in then stays loaded until the process ends.
#pragma once

#include <cstdint>

// The values of VrPluginState.
namespace vr_states {
inline constexpr int32_t kUndetermined = 0;
inline constexpr int32_t kNeither = 1;     // no usable VR plug-in and no configuration tool
inline constexpr int32_t kConfigTool = 2;  // only "KVTvrConfig.dll": RurAzu sends its shortcuts
inline constexpr int32_t kPlugin = 3;      // openKVTVR_Exec is known
}  // namespace vr_states

// Commands of openKVTVR_Exec(command, argument 1, argument 2, argument 3).
namespace vr_commands {
inline constexpr int32_t kApiLevel = 0;
inline constexpr int32_t kResetView = 1;
inline constexpr int32_t kDebugToggle = 2;
inline constexpr int32_t kSeatMove = 32;  // (32, 0, direction, extra); 0 back means moved
}  // namespace vr_commands

// Seat-move directions; kStop when the button is released.
namespace seat_directions {
inline constexpr int32_t kStop = 0;
inline constexpr int32_t kForward = 1;
inline constexpr int32_t kRight = 2;
inline constexpr int32_t kBackward = 3;
inline constexpr int32_t kLeft = 4;
inline constexpr int32_t kUp = 5;
inline constexpr int32_t kDown = 6;
}  // namespace seat_directions

// The oldest VR plug-in API that knows seat moves.
inline constexpr int32_t kSeatMoveApiLevel = 2;

// VrPluginState: detects on the first call, then answers what it found.
int32_t DetectVrPlugin();

// Calls openKVTVR_Exec(command, 0, 0, 0) when the entry point is known; the
// answer carries nothing RurAzu uses. Does not detect by itself: callers ask
// DetectVrPlugin() first.
void CallVr(int32_t command);

// Moves the VR seat while a button is held (kStop on release). False without
// the VR plug-in, with an API level below 2, or when it does not answer 0.
bool MoveVrSeat(int32_t direction, int32_t extra);

// Unloads the VR plug-in and forgets the detection and the API level, as a new
// process would start. Tests only: nothing may be calling the plug-in then.
void ResetVrBridge();
