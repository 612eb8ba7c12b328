// The three process-wide locks of the device work, always taken in this
// order when more than one is held: devices (connecting and disconnecting),
// then the job's list of open joysticks, then the keyboard reader's
// DirectInput objects. The order is declared, so the lock analysis rejects
// code that takes them the other way round.
#pragma once

#include "platform/mutex.h"

namespace Input {

extern kvt::Mutex g_deviceLock;
extern kvt::Mutex g_joystickListLock KVT_ACQUIRED_AFTER(g_deviceLock);
extern kvt::Mutex g_keyboardLock KVT_ACQUIRED_AFTER(g_joystickListLock);

// The input job's thread (or whoever runs its passes while it does not run):
// what only the job's passes touch is guarded by it, and
// KVT_ASSERT_JOB_THREAD asserts it.
extern kvt::ThreadRole g_jobThread;

}  // namespace Input
