// A stand-in for the sound library: the C entry points the sound player
// looks up, each recorded as one line, with channels that remember their
// volume and whether they were stopped. Built for Windows, its entries are
// stdcall as the library's are, and every line also goes to "fmod_calls.txt"
// in the current folder (the game folder), where a scenario can read it.
#include "shared/fmod_standin.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#if defined(_WIN32)
#define STANDIN_CALL __stdcall
#else
#define STANDIN_CALL
#endif

struct FMOD_SYSTEM {
    int id;
};
struct FMOD_SOUND {
    int index;
};
struct FMOD_CHANNEL {
    float volume = 1;
    bool stopped = false;
};
struct FMOD_CHANNELGROUP;
struct FMOD_VECTOR {
    float x, y, z;
};

namespace {
std::mutex g_lock;
std::string g_calls;
int g_createResult = 0;
int g_initResult = 0;
std::string g_badFile;
int g_playing = 1;
int g_playResult = 0;
FMOD_SYSTEM g_system{1};
// Fixed pools, reused round: the library may be unloaded at any time, and
// nothing of it may stay on the heap then.
FMOD_SOUND g_sounds[64];
int g_soundCount = 0;
FMOD_CHANNEL g_channels[256];
int g_channelCount = 0;

void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Note(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    g_calls += line;
    g_calls += '\n';
#if defined(_WIN32)
    if (FILE* file = std::fopen("fmod_calls.txt", "ab")) {
        std::fprintf(file, "%s\r\n", line);
        std::fclose(file);
    }
#endif
}
}  // namespace

extern "C" {

void FmodStandIn_Configure(int createResult, int initResult, const char* badFile) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_createResult = createResult;
    g_initResult = initResult;
    g_badFile = badFile ? badFile : "";
    g_soundCount = 0;
    g_channelCount = 0;
    g_playing = 1;
    g_playResult = 0;
}

void FmodStandIn_SetPlayResult(int result) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_playResult = result;
}

void FmodStandIn_SetPlaying(int playing) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_playing = playing;
}

int FmodStandIn_TakeCalls(char* out, int capacity) {
    std::lock_guard<std::mutex> lock(g_lock);
    const int length = static_cast<int>(g_calls.size());
    if (out && capacity > 0) {
        const int copied = length < capacity - 1 ? length : capacity - 1;
        std::memcpy(out, g_calls.data(), static_cast<size_t>(copied));
        out[copied] = '\0';
    }
    g_calls.clear();
    return length;
}

int STANDIN_CALL FMOD_System_Create(FMOD_SYSTEM** system, unsigned int version) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("System_Create 0x%x", version);
    *system = g_createResult == 0 ? &g_system : nullptr;
    return g_createResult;
}

int STANDIN_CALL FMOD_System_Init(FMOD_SYSTEM*, int channels, unsigned int flags, void* extra) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("System_Init %d %u %s", channels, flags, extra ? "extra" : "null");
    return g_initResult;
}

int STANDIN_CALL FMOD_System_Close(FMOD_SYSTEM*) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("System_Close");
    return 0;
}

int STANDIN_CALL FMOD_System_Release(FMOD_SYSTEM*) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("System_Release");
    return 0;
}

int STANDIN_CALL FMOD_System_CreateSound(FMOD_SYSTEM*, const char* name, unsigned int mode, void*,
                                         FMOD_SOUND** sound) {
    std::lock_guard<std::mutex> lock(g_lock);
    const char* base = name;
    for (const char* at = name; *at; ++at)
        if (*at == '/' || *at == '\\') base = at + 1;
    Note("CreateSound %s 0x%x", base, mode);
    if (!g_badFile.empty() && std::strstr(base, g_badFile.c_str())) return 13;  // a bad file
    FMOD_SOUND* made = &g_sounds[g_soundCount % 64];
    made->index = g_soundCount++;
    *sound = made;
    return 0;
}

int STANDIN_CALL FMOD_System_PlaySound(FMOD_SYSTEM*, FMOD_SOUND* sound, FMOD_CHANNELGROUP* group, int paused,
                                       FMOD_CHANNEL** channel) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("PlaySound %d %s %d", sound->index, group ? "group" : "null", paused);
    if (g_playResult != 0) return g_playResult;
    FMOD_CHANNEL* made = &g_channels[g_channelCount++ % 256];
    *made = FMOD_CHANNEL();
    *channel = made;
    return 0;
}

int STANDIN_CALL FMOD_Sound_Release(FMOD_SOUND* sound) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("Sound_Release %d", sound->index);
    return 0;
}

int STANDIN_CALL FMOD_Channel_Stop(FMOD_CHANNEL* channel) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("Stop");
    channel->stopped = true;
    return 0;
}

int STANDIN_CALL FMOD_Channel_SetPaused(FMOD_CHANNEL*, int paused) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("SetPaused %d", paused);
    return 0;
}

int STANDIN_CALL FMOD_Channel_IsPlaying(FMOD_CHANNEL* channel, int* playing) {
    std::lock_guard<std::mutex> lock(g_lock);
    *playing = !channel->stopped && g_playing;
    return 0;
}

int STANDIN_CALL FMOD_Channel_SetVolume(FMOD_CHANNEL* channel, float volume) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("SetVolume %.4f", volume);
    channel->volume = volume;
    return 0;
}

int STANDIN_CALL FMOD_Channel_GetVolume(FMOD_CHANNEL* channel, float* volume) {
    std::lock_guard<std::mutex> lock(g_lock);
    *volume = channel->volume;
    return 0;
}

int STANDIN_CALL FMOD_Channel_SetMode(FMOD_CHANNEL*, unsigned int mode) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("SetMode 0x%x", mode);
    return 0;
}

int STANDIN_CALL FMOD_Channel_Set3DAttributes(FMOD_CHANNEL*, const FMOD_VECTOR* position,
                                              const FMOD_VECTOR* velocity) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("Set3DAttributes %.3f %.3f %.3f / %.1f %.1f %.1f", position->x, position->y, position->z,
         velocity->x, velocity->y, velocity->z);
    return 0;
}

int STANDIN_CALL FMOD_Channel_SetLowPassGain(FMOD_CHANNEL*, float gain) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("SetLowPassGain %.2f", gain);
    return 0;
}

// A library of another version may lack an entry; this build leaves one out.
#if !defined(KVT_FMOD_STANDIN_WITHOUT_OCCLUSION)
int STANDIN_CALL FMOD_Channel_Set3DOcclusion(FMOD_CHANNEL*, float direct, float reverb) {
    std::lock_guard<std::mutex> lock(g_lock);
    Note("Set3DOcclusion %.1f %.1f", direct, reverb);
    return 0;
}

#endif

}  // extern "C"
