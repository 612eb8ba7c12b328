// The stand-in VR plug-in the tests install as "openKVTVR.dll": what it
// exports besides openKVTVR_Exec so a test can set its answers and read the
// calls that reached it, with the exact arguments.
#pragma once

#include <cstdint>

namespace kvt_test {

struct VrCall {
    int32_t command;
    int32_t arg1;
    int32_t arg2;
    int32_t arg3;
    bool operator==(const VrCall&) const = default;
};

// The answers: command 0 gives the API level, command 32 the seat answer.
inline constexpr const char* kVrStandInAnswers = "VrStandIn_SetAnswers";
using VrStandInSetAnswers = void (*)(int32_t apiLevel, int32_t seatAnswer);
// Copies up to capacity recorded calls, oldest first, forgets them all and
// returns how many there were.
inline constexpr const char* kVrStandInTakeCalls = "VrStandIn_TakeCalls";
using VrStandInTakeCalls = int32_t (*)(VrCall* out, int32_t capacity);

}  // namespace kvt_test
