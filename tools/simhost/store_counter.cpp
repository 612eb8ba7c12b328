// The write counter: a vectored exception handler, installed once, that only
// acts on faults in the watched page and on the single step that follows one.
#include "store_counter.h"

#include <windows.h>

#include <atomic>

namespace simhost {

namespace {

constexpr uint32_t kPageSize = 0x1000;
constexpr DWORD kTrapFlag = 0x100;

std::atomic<uint32_t> g_word{0};  // 0 while nothing is watched
std::atomic<uint32_t> g_writes{0};
// The thread whose write is being let through, 0 when none.
std::atomic<DWORD> g_steppingThread{0};
PVOID g_handler = nullptr;

void* PageOf(uint32_t address) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(address & ~(kPageSize - 1)));
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    const uint32_t word = g_word.load();
    DWORD old;
    if (record->ExceptionCode == EXCEPTION_SINGLE_STEP && g_steppingThread.load() == GetCurrentThreadId()) {
        g_steppingThread = 0;
        if (word != 0) VirtualProtect(PageOf(word), kPageSize, PAGE_READONLY, &old);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (word == 0 || record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record->NumberParameters < 2 ||
        record->ExceptionInformation[0] != 1)
        return EXCEPTION_CONTINUE_SEARCH;
    const uint32_t address = static_cast<uint32_t>(record->ExceptionInformation[1]);
    if (PageOf(address) != PageOf(word)) return EXCEPTION_CONTINUE_SEARCH;
    if (address >= word && address < word + 4) ++g_writes;
    VirtualProtect(PageOf(word), kPageSize, PAGE_READWRITE, &old);
    g_steppingThread = GetCurrentThreadId();
    info->ContextRecord->EFlags |= kTrapFlag;
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

bool StoreCounter::Start(uint32_t address) {
    if (g_handler == nullptr) g_handler = AddVectoredExceptionHandler(1, OnException);
    if (g_handler == nullptr) return false;
    g_writes = 0;
    g_word = address;
    DWORD old;
    if (VirtualProtect(PageOf(address), kPageSize, PAGE_READONLY, &old)) return true;
    g_word = 0;
    return false;
}

uint32_t StoreCounter::Stop() {
    const uint32_t word = g_word.exchange(0);
    DWORD old;
    if (word != 0) VirtualProtect(PageOf(word), kPageSize, PAGE_READWRITE, &old);
    return g_writes.load();
}

}  // namespace simhost
