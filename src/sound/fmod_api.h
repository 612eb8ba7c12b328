// The few types, flags and entry points of the sound library's C interface
// that the sound player uses. The library is never linked: the player finds
// these entries by name in the DLL it loads. On 32-bit Windows they use the
// stdcall convention.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define KVT_FMOD_CALL __stdcall
#else
#define KVT_FMOD_CALL
#endif

struct FMOD_SYSTEM;
struct FMOD_SOUND;
struct FMOD_CHANNEL;
struct FMOD_CHANNELGROUP;

using FMOD_RESULT = int;
using FMOD_BOOL = int;
using FMOD_MODE = unsigned int;

struct FMOD_VECTOR {
    float x, y, z;
};

namespace sound_lib {
inline constexpr FMOD_RESULT kOk = 0;
inline constexpr unsigned int kHeaderVersion = 0x20220;
inline constexpr int kMaxChannels = 512;
inline constexpr unsigned int kInitNormal = 0;
inline constexpr FMOD_MODE k3D = 0x10;
inline constexpr FMOD_MODE k3DHeadRelative = 0x40000;

using SystemCreate = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_SYSTEM** system, unsigned int headerVersion);
using SystemInit = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_SYSTEM* system, int maxChannels, unsigned int flags,
                                               void* extraDriverData);
using SystemClose = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_SYSTEM* system);
using SystemRelease = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_SYSTEM* system);
using SystemCreateSound = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_SYSTEM* system, const char* name, FMOD_MODE mode,
                                                      void* exinfo, FMOD_SOUND** sound);
using SystemPlaySound = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_SYSTEM* system, FMOD_SOUND* sound,
                                                    FMOD_CHANNELGROUP* group, FMOD_BOOL paused,
                                                    FMOD_CHANNEL** channel);
using SoundRelease = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_SOUND* sound);
using ChannelStop = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel);
using ChannelSetPaused = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, FMOD_BOOL paused);
using ChannelIsPlaying = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, FMOD_BOOL* playing);
using ChannelSetVolume = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, float volume);
using ChannelGetVolume = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, float* volume);
using ChannelSetMode = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, FMOD_MODE mode);
using ChannelSet3DAttributes = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, const FMOD_VECTOR* position,
                                                           const FMOD_VECTOR* velocity);
using ChannelSetLowPassGain = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, float gain);
using ChannelSet3DOcclusion = FMOD_RESULT(KVT_FMOD_CALL*)(FMOD_CHANNEL* channel, float direct, float reverb);

// The library's text for a result code, as its own error-string table gives
// it for success and by the code's name otherwise.
const char* ResultText(FMOD_RESULT result);
}  // namespace sound_lib
