// The CPU time the process's threads spend, each by its id and the name its
// starter gave it, for measuring what the plug-in's own threads cost while the
// host idles or a key is held.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace simhost {

struct ThreadTime {
    DWORD id = 0;
    std::string name;   // the thread's description, empty when it has none
    ULONGLONG cpu = 0;  // user + kernel time, in 100 ns units
};

// Keeps every thread of this process but the calling one open from Start, so
// that a thread that ends within the window still counts up to its end.
// Gives the calling thread a description, so that listings tell the session's
// own threads from the plug-in's; nothing where the system has no names.
void NameThisThread(const wchar_t* name);

class ThreadTimes {
public:
    ThreadTimes() = default;
    ~ThreadTimes();
    ThreadTimes(const ThreadTimes&) = delete;
    ThreadTimes& operator=(const ThreadTimes&) = delete;

    // Empty when the threads could be listed and their times read, else why not.
    std::string Start();
    // Each thread's CPU time since Start (the whole of it for a thread started
    // since), the calling thread left out.
    std::string Stop(std::vector<ThreadTime>& spent);

private:
    struct Open {
        HANDLE handle;
        ThreadTime atStart;
    };
    void CloseAll();
    std::vector<Open> open_;
};

}  // namespace simhost
