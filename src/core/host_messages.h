// Commands to the host's window as WM_COPYDATA messages. A component inside the
// host process (not ours) carries out RurAzu's stage commands and learns from
// GearGate whether H-pattern emulation is active.
#pragma once

#include <cstdint>

// The command codes this plug-in sends.
namespace host_commands {
inline constexpr int32_t kGearGateMode = 0;  // value 1: no H-pattern emulation, 0: emulating
inline constexpr int32_t kRestartStage = 3;
inline constexpr int32_t kCallForHelp = 4;
inline constexpr int32_t kRetireStage = 5;
inline constexpr int32_t kIgnition = 6;  // value 1 pressed, 0 released
}  // namespace host_commands

// How each command travels: the wParam tells the receiver which sender it is.
namespace host_command_wire {
inline constexpr uint32_t kGearGateWParam = 0xDEAF00;
inline constexpr uint32_t kStageWParam = 0xDEAF01;
inline constexpr uint32_t kGearGateCode = 0x2000;
}  // namespace host_command_wire

// Sends the command synchronously to the host window and returns whether it was
// sent (the host's answer is not looked at). Refused, with an error line every
// time, before the host window is known or while the host shuts down.
bool SendHostCommand(int32_t command, int32_t value = 0);
