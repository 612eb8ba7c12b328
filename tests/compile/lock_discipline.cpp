// Compiled (never linked) by ctest with the native build's warning flags: as
// written it must compile, and each fault switched on below must fail the
// build with the analysis's message, or the lock annotations guard nothing.
#include <string>

#include "core/menu_item.h"
#include "input/input_di.h"
#include "input/sdl_backend.h"
#include "platform/mutex.h"
#include "sound/sound_player.h"

struct Shared {
    kvt::Mutex devices;
    kvt::Mutex joysticks KVT_ACQUIRED_AFTER(devices);
    int connected KVT_GUARDED_BY(devices) = 0;
};

int ReadConnected(Shared& shared) {
#if defined(KVT_FAULT_UNLOCKED_READ)
    return shared.connected;
#else
    kvt::MutexLock hold(shared.devices);
    return shared.connected;
#endif
}

void TakeBoth(Shared& shared) {
#if defined(KVT_FAULT_WRONG_ORDER)
    kvt::MutexLock second(shared.joysticks);
    kvt::MutexLock first(shared.devices);
#else
    kvt::MutexLock first(shared.devices);
    kvt::MutexLock second(shared.joysticks);
#endif
}

// The keyboard reader takes the keyboard lock itself: a caller already holding
// it would deadlock its own thread.

bool ConnectFromMenu(Input::InputDI& reader) {
#if defined(KVT_FAULT_CONNECT_UNDER_KEYBOARD_LOCK)
    kvt::MutexLock hold(Input::g_keyboardLock);
#endif
    return reader.ConnectKeyboard();
}

// What only the input job's passes touch is guarded by its thread's role:
// a path that did not check it runs there does not compile.
struct JobOwned {
    int passes KVT_GUARDED_BY(Input::g_jobThread) = 0;
};

int CountPass(JobOwned& owned, const Input::SDLBackend& job) {
#if !defined(KVT_FAULT_JOB_FIELD_UNCHECKED)
    KVT_ASSERT_JOB_THREAD(job);
#else
    (void)job;
#endif
    return ++owned.passes;
}

// A line's name is renamed on one thread while another draws it.
std::string ReadName(const MenuItem& item) {
#if defined(KVT_FAULT_NAME_UNLOCKED)
    return item.name;
#else
    return item.Name();
#endif
}

// GearGate's engine, then the sound bank, then the lines' texts, then the
// hold bars: the order is declared where the locks are.
void SoundAndText(SoundBank& sounds) {
#if defined(KVT_FAULT_SOUND_INSIDE_TEXT)
    kvt::MutexLock text(MenuItem::textLock_);
    kvt::MutexLock sound(sounds.lock_);
#else
    kvt::MutexLock sound(sounds.lock_);
    kvt::MutexLock text(MenuItem::textLock_);
#endif
}
