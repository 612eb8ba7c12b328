// The simulated host's real window: the focus window its render device
// reports, and the receiver of the keys and messages the plug-in sends.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace simhost {

// Creates the window, shows it and brings it to the front. Null on failure.
HWND CreateHostWindow();

// Handles every queued message; sent messages from other threads are
// delivered here as well.
void PumpMessages();

// Sleeps for the given time while keeping the window responsive.
void WaitPumping(DWORD milliseconds);

// Asks done every everyMs, the window kept responsive between, until it says
// yes or limitMs have passed; waitedMs says how long it took. False on the
// time-out.
bool PollPumping(DWORD limitMs, DWORD everyMs, const std::function<bool()>& done, DWORD& waitedMs);

// Injected keys reach the window in front only: brings it there. Empty when
// it is in front, otherwise which window is.
std::string BringToFront(HWND window);

// Plays one key of the player's keyboard: brings the window to the front
// (a keyboard reaches the window in front only) and injects the key by its
// scan code, which is the DirectInput key index; DirectInput's keyboard
// state does not see a key injected by its virtual-key code alone. Indices
// above 0x7F are the extended keys: their low seven bits go out with the
// extended-key flag. Empty when sent, otherwise why not.
std::string SendPlayerKey(HWND window, unsigned keyIndex, bool up);

// Injects a virtual key as the plug-in does: one record, the virtual-key code
// alone, no scan code, into the window in front (see BringToFront). Empty
// when sent, otherwise why not.
std::string SendVirtualKey(unsigned virtualKey, bool up);

// What the window received since the last call, one readable line each, such
// as "WM_KEYDOWN vk 0x0D scan 0x1C" or
// "WM_COPYDATA wparam 0xDEAF01 code 6 bytes 4 value 1".
std::vector<std::string> TakeWindowMessages();

// The performance counter when the window received WM_KEYDOWN of the watched
// virtual key, since WatchKeyDown; 0 before that (and for key 0).
void WatchKeyDown(unsigned virtualKey);
long long WatchedKeyDownAt();

// The performance counter at every WM_KEYDOWN of the watched virtual key
// since WatchEveryKeyDown (key 0 watches none); taking them empties the list.
void WatchEveryKeyDown(unsigned virtualKey);
std::vector<long long> TakeEveryKeyDown();

}  // namespace simhost
