// GearGate's sounds: three notifications of a shifter type change and the
// grind of a missed gear, placed in 3D at the car. The sound library is
// loaded at run time from the game folder when it is there; without it the
// plug-in runs silent. One sound plays at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "core/menu_item.h"
#include "platform/mutex.h"
#include "sound/fmod_api.h"

namespace sound_ids {
inline constexpr int32_t kSequential = 0;
inline constexpr int32_t kHPattern = 1;
inline constexpr int32_t kAutoDetect = 2;
inline constexpr int32_t kGrind = 3;
inline constexpr int32_t kNone = 4;
}  // namespace sound_ids

// The sound files, by id.
inline constexpr const char* kSoundFiles[] = {"Shifter_Sequential.wav", "Shifter_HPattern.wav",
                                              "Shifter_AutoDetect.wav", "Shifter_Error.wav"};

// The library's entry points, found once it is loaded.
struct FmodEntries {
    sound_lib::SystemCreate systemCreate = nullptr;
    sound_lib::SystemInit systemInit = nullptr;
    sound_lib::SystemClose systemClose = nullptr;
    sound_lib::SystemRelease systemRelease = nullptr;
    sound_lib::SystemCreateSound createSound = nullptr;
    sound_lib::SystemPlaySound playSound = nullptr;
    sound_lib::SoundRelease soundRelease = nullptr;
    sound_lib::ChannelStop stop = nullptr;
    sound_lib::ChannelSetPaused setPaused = nullptr;
    sound_lib::ChannelIsPlaying isPlaying = nullptr;
    sound_lib::ChannelSetVolume setVolume = nullptr;
    sound_lib::ChannelGetVolume getVolume = nullptr;
    sound_lib::ChannelSetMode setMode = nullptr;
    sound_lib::ChannelSet3DAttributes set3DAttributes = nullptr;
    sound_lib::ChannelSetLowPassGain setLowPassGain = nullptr;
    sound_lib::ChannelSet3DOcclusion set3DOcclusion = nullptr;
};

// Playback runs on the input job's thread, loading and releasing on the
// host's: every entry takes the bank's lock, so they never overlap.
class SoundBank {
public:
    SoundBank() = default;
    ~SoundBank();
    SoundBank(const SoundBank&) = delete;
    SoundBank& operator=(const SoundBank&) = delete;

    // The library (first time), the system and the four sounds. True at once
    // when the system already exists.
    bool LoadSounds() KVT_EXCLUDES(lock_);
    // Stops every channel, releases the sounds and the system.
    void ReleaseSounds() KVT_EXCLUDES(lock_);
    // Releases everything, then lets the library go (the page's end).
    void FreeLibrary() KVT_EXCLUDES(lock_);

    bool PlayNotification(int32_t id) KVT_EXCLUDES(lock_);
    // Starts the grind, or places it anew while it plays; true when it plays.
    bool PlayGrindSound() KVT_EXCLUDES(lock_);
    // Stops the current sound, or fades the grind out over 150 ms (force
    // stops at once); true when nothing plays any more.
    bool StopOrFade(bool force) KVT_EXCLUDES(lock_);

    int32_t Current() const KVT_EXCLUDES(lock_);
    bool SystemExists() const KVT_EXCLUDES(lock_);
    size_t SoundCount() const KVT_EXCLUDES(lock_);

    // Taken inside GearGate's engine lock and around the lines' text lock;
    // named outside only where those declare their order.
    mutable kvt::Mutex lock_ KVT_ACQUIRED_BEFORE(MenuItem::textLock_);

private:
    bool LoadLibraryLocked() KVT_REQUIRES(lock_);
    void ReleaseLocked() KVT_REQUIRES(lock_);
    void UnloadLibraryLocked() KVT_REQUIRES(lock_);
    void PlaceGrindSound(FMOD_CHANNEL* channel) KVT_REQUIRES(lock_);

    std::vector<FMOD_SOUND*> sounds_ KVT_GUARDED_BY(lock_);
    std::vector<FMOD_CHANNEL*> channels_ KVT_GUARDED_BY(lock_);
    int32_t current_ KVT_GUARDED_BY(lock_) = sound_ids::kNone;
    uint32_t fadeStartTick_ KVT_GUARDED_BY(lock_) = 0;
    float fadeStartVolume_ KVT_GUARDED_BY(lock_) = 0.0f;
    void* library_ KVT_GUARDED_BY(lock_) = nullptr;
    FMOD_SYSTEM* system_ KVT_GUARDED_BY(lock_) = nullptr;
    FmodEntries api_ KVT_GUARDED_BY(lock_);
};
