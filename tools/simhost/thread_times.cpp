// The process's threads through a Toolhelp snapshot, their names through
// GetThreadDescription and their CPU time through GetThreadTimes.
#include "thread_times.h"

#include <tlhelp32.h>

#include <algorithm>

namespace simhost {

namespace {

using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// Looked up by name: older import libraries lack these, and a system without
// them leaves every thread nameless rather than failing to load the session.
void* SystemEntry(const char* name) {
    for (const char* module : {"kernel32.dll", "kernelbase.dll"}) {
        HMODULE handle = GetModuleHandleA(module);
        FARPROC found = handle != nullptr ? GetProcAddress(handle, name) : nullptr;
        if (found != nullptr) return reinterpret_cast<void*>(found);
    }
    return nullptr;
}

GetThreadDescriptionFn DescriptionReader() {
    static const auto reader = reinterpret_cast<GetThreadDescriptionFn>(SystemEntry("GetThreadDescription"));
    return reader;
}

std::string Description(HANDLE thread) {
    GetThreadDescriptionFn reader = DescriptionReader();
    PWSTR wide = nullptr;
    if (reader == nullptr || FAILED(reader(thread, &wide)) || wide == nullptr) return std::string();
    char narrow[256] = "";
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    LocalFree(wide);
    return narrow;
}

bool CpuTime(HANDLE thread, ULONGLONG& cpu) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return false;
    auto value = [](const FILETIME& time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    cpu = value(kernel) + value(user);
    return true;
}

// The ids of this process's threads but the calling one.
std::string OtherThreads(std::vector<DWORD>& ids) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return "cannot list the threads, error " + std::to_string(GetLastError());
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const DWORD process = GetCurrentProcessId(), self = GetCurrentThreadId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == process && entry.th32ThreadID != self)
            ids.push_back(entry.th32ThreadID);
    CloseHandle(snapshot);
    return std::string();
}

// Opens the thread and reads its name and time; false when it has ended
// since the snapshot (it then cannot be opened) or its time cannot be read.
bool OpenThreadTime(DWORD id, HANDLE& handle, ThreadTime& time) {
    handle = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (handle == nullptr) return false;
    time.id = id;
    time.name = Description(handle);
    if (CpuTime(handle, time.cpu)) return true;
    CloseHandle(handle);
    return false;
}

}  // namespace

void NameThisThread(const wchar_t* name) {
    const auto writer = reinterpret_cast<SetThreadDescriptionFn>(SystemEntry("SetThreadDescription"));
    if (writer != nullptr) writer(GetCurrentThread(), name);
}

ThreadTimes::~ThreadTimes() {
    CloseAll();
}

void ThreadTimes::CloseAll() {
    for (const Open& thread : open_) CloseHandle(thread.handle);
    open_.clear();
}

std::string ThreadTimes::Start() {
    CloseAll();
    std::vector<DWORD> ids;
    const std::string error = OtherThreads(ids);
    if (!error.empty()) return error;
    for (DWORD id : ids) {
        Open thread{nullptr, {}};
        if (OpenThreadTime(id, thread.handle, thread.atStart)) open_.push_back(thread);
    }
    if (open_.empty() && !ids.empty())
        return "cannot read the time of any of " + std::to_string(ids.size()) + " threads, error " +
               std::to_string(GetLastError());
    return std::string();
}

std::string ThreadTimes::Stop(std::vector<ThreadTime>& spent) {
    spent.clear();
    for (const Open& thread : open_) {
        ThreadTime now = thread.atStart;
        if (!CpuTime(thread.handle, now.cpu))
            return "cannot read the time of thread " + std::to_string(now.id) + ", error " +
                   std::to_string(GetLastError());
        now.cpu -= thread.atStart.cpu;
        spent.push_back(now);
    }
    std::vector<DWORD> ids;
    const std::string error = OtherThreads(ids);
    if (!error.empty()) return error;
    for (DWORD id : ids) {
        const bool known = std::any_of(open_.begin(), open_.end(),
                                       [&](const Open& thread) { return thread.atStart.id == id; });
        HANDLE handle = nullptr;
        ThreadTime fresh;
        if (known || !OpenThreadTime(id, handle, fresh)) continue;
        CloseHandle(handle);
        spent.push_back(fresh);
    }
    CloseAll();
    return std::string();
}

}  // namespace simhost
