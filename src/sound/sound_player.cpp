// The sound library found at run time, the bank of GearGate's four sounds,
// and their playback.
#include "sound/sound_player.h"

#include <cmath>
#include <filesystem>
#include <string>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/paths.h"
#include "platform/host_memory.h"
#include "platform/modules.h"
#include "platform/platform.h"

namespace {
namespace fs = std::filesystem;

constexpr int kSoundCount = 4;
// The grind fades to silence over 150 ms and is cut once this quiet.
constexpr float kFadePerMs = 0.0066666668f;
constexpr float kFadeFloor = 0.05f;
constexpr float kLowPassGain = 0.8f;
// Cockpit views hear the car at a distance scale of their own.
constexpr float kNearScale = 0.45f;
constexpr float kMinFarFactor = 0.1f;

constexpr int32_t kViewAtCar = 3;

std::string Join(const std::string& folder, const char* name) {
    return folder + platform::kPathSeparator + name;
}

// The library's two places in the game folder, this plug-in's own folder
// first (its name written as the plug-in folder's, which Windows finds
// whatever the case).
std::string LibraryCandidate(int which) {
    const char sep = platform::kPathSeparator;
    if (which == 0) return Paths().pluginFolder + sep + "fmod.dll";
    return HostPath("\\plugins\\TLZ\\bin\\x86\\fmod.dll");
}

template <typename T>
bool Find(void* library, const char* name, T& entry) {
    entry = reinterpret_cast<T>(platform::FindModuleExport(library, name));
    return entry != nullptr;
}

bool FindEntries(void* library, FmodEntries& api) {
    bool all = Find(library, "FMOD_System_Create", api.systemCreate);
    all = Find(library, "FMOD_System_Init", api.systemInit) && all;
    all = Find(library, "FMOD_System_Close", api.systemClose) && all;
    all = Find(library, "FMOD_System_Release", api.systemRelease) && all;
    all = Find(library, "FMOD_System_CreateSound", api.createSound) && all;
    all = Find(library, "FMOD_System_PlaySound", api.playSound) && all;
    all = Find(library, "FMOD_Sound_Release", api.soundRelease) && all;
    all = Find(library, "FMOD_Channel_Stop", api.stop) && all;
    all = Find(library, "FMOD_Channel_SetPaused", api.setPaused) && all;
    all = Find(library, "FMOD_Channel_IsPlaying", api.isPlaying) && all;
    all = Find(library, "FMOD_Channel_SetVolume", api.setVolume) && all;
    all = Find(library, "FMOD_Channel_GetVolume", api.getVolume) && all;
    all = Find(library, "FMOD_Channel_SetMode", api.setMode) && all;
    all = Find(library, "FMOD_Channel_Set3DAttributes", api.set3DAttributes) && all;
    all = Find(library, "FMOD_Channel_SetLowPassGain", api.setLowPassGain) && all;
    all = Find(library, "FMOD_Channel_Set3DOcclusion", api.set3DOcclusion) && all;
    return all;
}

// The folder of the sound files: the plug-in folder, or SoundFilePath taken
// as it is when absolute and inside the game folder otherwise.
std::string SoundFolder() {
    const std::string configured = g_settings ? g_settings->soundFilePath : std::string();
    if (configured.empty()) return Paths().pluginFolder;
    try {
        if (platform::IsAbsolutePath(configured)) return configured;
        return Join(Paths().hostDirectory, configured.c_str());
    } catch (...) {
        LogLine("Error while looking for SoundFilePath " + configured + ". Fallbacking to the default path");
        return Paths().pluginFolder;
    }
}

float Volume(std::atomic<float> Config::Setting::*field) {
    return g_settings ? (g_settings->*field).load() : 1.0f;
}

FMOD_VECTOR ReadVector(uint32_t address) {
    return {platform::HostRead<float>(address), platform::HostRead<float>(address + 4),
            platform::HostRead<float>(address + 8)};
}

float Dot(const FMOD_VECTOR& a, const FMOD_VECTOR& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
}  // namespace

SoundBank::~SoundBank() {
    FreeLibrary();
}

bool SoundBank::LoadLibraryLocked() {
    if (library_) return true;
    for (int which = 0; which < 2 && !library_; ++which) {
        const std::string candidate = LibraryCandidate(which);
        if (platform::FileExists(candidate)) library_ = platform::OpenModule(candidate);
    }
    // A library without every entry we call cannot be used either.
    if (library_ && !FindEntries(library_, api_)) UnloadLibraryLocked();
    return library_ != nullptr;
}

void SoundBank::UnloadLibraryLocked() {
    platform::ReleaseModule(library_);
    library_ = nullptr;
    api_ = FmodEntries{};
}

bool SoundBank::LoadSounds() {
    kvt::MutexLock lock(lock_);
    if (system_) return true;
    if (!LoadLibraryLocked()) {
        LogLine("Error while trying to load a sound library");
        return false;
    }
    const FMOD_RESULT created = api_.systemCreate(&system_, sound_lib::kHeaderVersion);
    if (created != sound_lib::kOk) {
        LogLine("Error while trying to create a sound system objects: " + std::to_string(created) + " " +
                sound_lib::ResultText(created));
        system_ = nullptr;
        UnloadLibraryLocked();
        return false;
    }
    if (api_.systemInit(system_, sound_lib::kMaxChannels, sound_lib::kInitNormal, nullptr) !=
        sound_lib::kOk) {
        ReleaseLocked();
        UnloadLibraryLocked();
        return false;
    }

    const std::string folder = SoundFolder();
    for (int id = 0; id < kSoundCount; ++id) {
        const std::string path = Join(folder, kSoundFiles[id]);
        FMOD_SOUND* sound = nullptr;
        try {
            // A shipped sample is the sound until the player puts a file of his own there.
            const fs::path file(path);
            fs::path sample = file;
            sample += ".sample";
            if (!fs::exists(file) && fs::exists(sample)) fs::rename(sample, file);
            if (fs::exists(file) &&
                api_.createSound(system_, path.c_str(), sound_lib::k3D, nullptr, &sound) != sound_lib::kOk) {
                LogLine("ERROR. Invalid sound file " + path);
                sound = nullptr;
            }
        } catch (...) {
            LogLine("ERROR. Failed to find sound file " + path);
            sound = nullptr;
        }
        sounds_.push_back(sound);
        channels_.push_back(nullptr);
    }
    return true;
}

void SoundBank::ReleaseSounds() {
    kvt::MutexLock lock(lock_);
    ReleaseLocked();
}

void SoundBank::ReleaseLocked() {
    for (FMOD_CHANNEL* channel : channels_)
        if (channel && api_.stop) api_.stop(channel);
    channels_.clear();
    for (FMOD_SOUND* sound : sounds_)
        if (sound && api_.soundRelease) api_.soundRelease(sound);
    sounds_.clear();
    if (system_) {
        api_.systemClose(system_);
        api_.systemRelease(system_);
        system_ = nullptr;
    }
    current_ = sound_ids::kNone;
}

void SoundBank::FreeLibrary() {
    kvt::MutexLock lock(lock_);
    ReleaseLocked();
    UnloadLibraryLocked();
}

bool SoundBank::PlayNotification(int32_t id) {
    kvt::MutexLock lock(lock_);
    const float volume = Volume(&Config::Setting::soundVolumeShiftType);
    if (current_ != sound_ids::kNone || !(volume > 0) || id < 0 || static_cast<size_t>(id) >= sounds_.size())
        return false;
    fadeStartTick_ = 0;
    FMOD_SOUND* sound = sounds_[static_cast<size_t>(id)];
    if (!sound) return false;
    FMOD_CHANNEL* channel = nullptr;
    if (api_.playSound(system_, sound, nullptr, true, &channel) != sound_lib::kOk) return false;
    api_.setVolume(channel, volume);
    api_.setPaused(channel, false);
    current_ = id;
    channels_[static_cast<size_t>(id)] = channel;
    return true;
}

bool SoundBank::PlayGrindSound() {
    kvt::MutexLock lock(lock_);
    if (sounds_.size() != kSoundCount || !sounds_[sound_ids::kGrind]) return false;
    FMOD_CHANNEL* playing = channels_[sound_ids::kGrind];
    FMOD_BOOL isPlaying = 0;
    if (playing && api_.isPlaying(playing, &isPlaying) == sound_lib::kOk && isPlaying) {
        PlaceGrindSound(playing);
        return true;
    }
    if (current_ != sound_ids::kNone) return false;
    fadeStartTick_ = 0;
    FMOD_CHANNEL* channel = nullptr;
    if (api_.playSound(system_, sounds_[sound_ids::kGrind], nullptr, true, &channel) != sound_lib::kOk)
        return false;
    PlaceGrindSound(channel);
    api_.setPaused(channel, false);
    current_ = sound_ids::kGrind;
    channels_[sound_ids::kGrind] = channel;
    return true;
}

void SoundBank::PlaceGrindSound(FMOD_CHANNEL* channel) {
    const HostLocations& host = Host();
    const uint32_t car = host.carObject;
    if (!channel || car == 0) return;
    api_.setMode(channel, sound_lib::k3D | sound_lib::k3DHeadRelative);

    const uint32_t object1 = host.hostObject1;
    const uint32_t holder =
        object1 ? platform::HostReadPointer(object1 + host_offsets::kCameraHolderField) : 0;
    const uint32_t camera = holder ? platform::HostReadPointer(holder + host_offsets::kCameraRecordField) : 0;
    const int32_t view = camera ? platform::HostRead<int32_t>(camera) : 0;
    FMOD_VECTOR position{0, 0, 0};
    if (view != kViewAtCar && camera) {
        const FMOD_VECTOR carAt = ReadVector(car + host_offsets::kCarPositionField);
        const FMOD_VECTOR cameraAt = ReadVector(camera + host_offsets::kCameraPositionField);
        const FMOD_VECTOR d{carAt.x - cameraAt.x, carAt.y - cameraAt.y, carAt.z - cameraAt.z};
        position = {Dot(ReadVector(camera + host_offsets::kCameraRowFields[0]), d),
                    Dot(ReadVector(camera + host_offsets::kCameraRowFields[2]), d),
                    Dot(ReadVector(camera + host_offsets::kCameraRowFields[1]), d)};
    }
    const FMOD_VECTOR velocity{0, 0, 0};
    api_.set3DAttributes(channel, &position, &velocity);
    api_.setLowPassGain(channel, kLowPassGain);

    const float distance = std::sqrt(Dot(position, position));
    float factor = 0;
    if (view >= 4 && view <= 6) {
        factor = kNearScale / (distance + kNearScale);
    } else {
        factor = std::fmax(1 - 2 * distance, kMinFarFactor);
    }
    api_.setVolume(channel, factor * Volume(&Config::Setting::soundVolume));
    api_.set3DOcclusion(channel, 0, 0);
}

bool SoundBank::StopOrFade(bool force) {
    kvt::MutexLock lock(lock_);
    if (current_ == sound_ids::kNone) return true;
    const size_t index = static_cast<size_t>(current_);
    FMOD_CHANNEL* channel = index < channels_.size() ? channels_[index] : nullptr;
    if (!channel) {
        current_ = sound_ids::kNone;
        return true;
    }
    FMOD_BOOL playing = 0;
    if (!force && api_.isPlaying(channel, &playing) == sound_lib::kOk && playing) {
        // Notifications always play to their end.
        if (current_ != sound_ids::kGrind) return false;
        float volume = 0;
        api_.getVolume(channel, &volume);
        const uint32_t now = platform::ClockMs();
        if (fadeStartTick_ == 0) {
            fadeStartTick_ = now;
            fadeStartVolume_ = std::fmax(volume, 0.0f);
        }
        if (volume > 0) {
            const float v = fadeStartVolume_ - float(now - fadeStartTick_) * fadeStartVolume_ * kFadePerMs;
            if (v >= kFadeFloor && v <= fadeStartVolume_) {
                api_.setVolume(channel, v);
                return false;
            }
        }
    }
    api_.setVolume(channel, 0);
    api_.stop(channel);
    channels_[index] = nullptr;
    current_ = sound_ids::kNone;
    return true;
}

int32_t SoundBank::Current() const {
    kvt::MutexLock lock(lock_);
    return current_;
}

bool SoundBank::SystemExists() const {
    kvt::MutexLock lock(lock_);
    return system_ != nullptr;
}

size_t SoundBank::SoundCount() const {
    kvt::MutexLock lock(lock_);
    return sounds_.size();
}
