// The device locks live as long as the library.
#include "input/device_locks.h"

namespace Input {

kvt::Mutex g_deviceLock;
kvt::Mutex g_joystickListLock;
kvt::Mutex g_keyboardLock;
kvt::ThreadRole g_jobThread;

}  // namespace Input
