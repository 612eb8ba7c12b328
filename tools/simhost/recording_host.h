// The host game object the plug-in draws through, laid out the way the host's
// compiler lays it out: a word pointing at a table of thiscall entries, each at
// its position. The table is written here by position, not derived from the
// plug-in's own declaration of the interface, so a plug-in whose idea of the
// order or the argument lists drifts from the host's calls the wrong entry and
// the recording (or the stack check) shows it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <mutex>

#include "call_log.h"

namespace simhost {

// Positions count from 1 as the host's table is described; the plug-in calls
// position N through vtable index N - 1.
inline constexpr int kHostGamePositions = 13;

class RecordingHost {
public:
    // What the plug-in holds a pointer to: the table's address first, as in
    // any object of the host's, then the way back to the recorder.
    struct GameObject {
        const void* const* vtable;
        RecordingHost* recorder;
    };

    RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // The address handed to KVT_CreatePlugin as its IHostGame*.
    uint32_t ObjectAddress() const;

    // Starts a new frame's log and returns the previous one.
    CallLog TakeLog();

    // For the table's entries: one call with its numbers, and a text argument
    // last when text is not null.
    void Record(const char* name, std::initializer_list<double> numbers, const char* text = nullptr);

private:
    GameObject object_;
    // Drawing belongs to the host's thread, but a misbehaving plug-in could
    // draw from its input job; the log must survive that to report it.
    std::mutex mutex_;
    CallLog log_;
};

}  // namespace simhost
