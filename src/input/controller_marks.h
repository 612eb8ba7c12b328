// Identical controllers told apart: two button boxes on one board report one
// name, so the second, third... of a name is known by that name and a mark
// ("Arduino Leonardo #2"). A mark belongs to the device's path, which Windows
// derives from the USB port, and is remembered in the settings file, so it
// survives a replug into the same port and a restart of the game, whatever
// the order the boxes were plugged in.
#pragma once

#include <SDL3/SDL_joystick.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/setting.h"
#include "platform/mutex.h"

namespace Input {

// Mark 0 or 1 is the plain name; the highest mark a controller may carry.
inline constexpr uint32_t kMaxMark = 16;

struct ControllerSeen {
    SDL_JoystickID id = 0;
    std::string name;
    // SDL's device path (a Windows interface path); empty where SDL gives
    // none, and then the controller's mark is not remembered.
    std::string path;
    // 0 until it is given one.
    uint32_t mark = 0;
};

// One remembered mark: at most one path per name and mark.
struct RememberedMark {
    uint32_t mark = 0;
    std::string path;
    std::string name;
};

// Gives every controller of connected without a mark its mark, among those
// of its name: a remembered one first when no connected namesake holds it,
// else the lowest no connected namesake holds. Newcomers are taken in the
// order of their paths (SDL's order where they have none), so two found at
// once are ordered by port, not by discovery. Where a name is shared by two
// or more connected controllers, their marks are remembered (the newest
// first, at most Config::kRememberedControllersRoom). True when memory changed.
bool GiveMarks(std::vector<ControllerSeen>& connected, std::vector<RememberedMark>& memory);

// The settings file's text of a remembered mark, "<mark> <path> <name>", and
// back; false for a text that is none (a path with a space is never kept).
std::string RememberedMarkText(const RememberedMark& remembered);
bool ReadRememberedMark(std::string_view text, RememberedMark& out);

// The name with its mark: "Wheel" for marks 0 and 1, "Wheel #2" after.
std::string MarkedName(std::string_view name, uint32_t mark);

class ControllerMarks {
public:
    // The job's thread, at its start and at every controller added or
    // removed, before anything asks for the newcomer's name: SDL's list now.
    // Reads and updates the memory the settings keep, and logs each twin's
    // mark once.
    void Refresh() KVT_EXCLUDES(lock_);
    // Any thread: whether any listed controller carries a mark.
    bool AnyMarked() const { return anyMarked_.load(std::memory_order_acquire); }
    // Any thread. 0 for a controller alone with its name and any not listed.
    uint32_t MarkOf(SDL_JoystickID id) const KVT_EXCLUDES(lock_);
    // SDL's name with the mark, as binding texts, the status lines and the
    // log name the controller.
    std::string NameOf(SDL_JoystickID id) const KVT_EXCLUDES(lock_);
    // Every listed controller, in SDL's order.
    std::vector<ControllerSeen> Listed() const KVT_EXCLUDES(lock_);
    // Moves on whenever a controller gets its mark: the names made before
    // may be stale.
    uint32_t Generation() const { return generation_.load(std::memory_order_acquire); }
    // The job ended: nothing is listed.
    void Forget() KVT_EXCLUDES(lock_);

private:
    mutable kvt::Mutex lock_;
    std::vector<ControllerSeen> connected_ KVT_GUARDED_BY(lock_);
    std::atomic<uint32_t> generation_{0};
    std::atomic<bool> anyMarked_{false};
};

}  // namespace Input
