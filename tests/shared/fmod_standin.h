// The stand-in sound library the tests install as "fmod.dll": besides the C
// entry points the sound player loads, it exports a recorder of every call
// and switches for its answers.
#pragma once

namespace kvt_test {

// Results of system creation and initialisation, and a file name part whose
// sounds fail to load.
inline constexpr const char* kFmodStandInConfigure = "FmodStandIn_Configure";
using FmodStandInConfigure = void (*)(int createResult, int initResult, const char* badFile);
// Whether channels that were not stopped still play.
inline constexpr const char* kFmodStandInSetPlaying = "FmodStandIn_SetPlaying";
using FmodStandInSetPlaying = void (*)(int playing);
// The result PlaySound gives from now on (0 plays).
inline constexpr const char* kFmodStandInSetPlayResult = "FmodStandIn_SetPlayResult";
using FmodStandInSetPlayResult = void (*)(int result);
// The calls since the last take, one line each; returns the text's length.
inline constexpr const char* kFmodStandInTakeCalls = "FmodStandIn_TakeCalls";
using FmodStandInTakeCalls = int (*)(char* out, int capacity);

}  // namespace kvt_test
