// The session DLL's entry from the loader: command line, output, and the
// guards that turn a crash, a hang or a call of a forbidden host entry inside
// the plug-in into a clear report.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "handoff.h"
#include "session.h"
#include "thread_times.h"

namespace simhost {

namespace {

std::mutex g_outputMutex;

// The line being played, for the guards. Written by the host's thread only.
std::atomic<int> g_line{0};
std::atomic<DWORD> g_lineStart{0};
std::atomic<DWORD> g_allowance{0};
char g_lineText[256];
DWORD g_timeoutMs = 60000;

void WriteRaw(const char* text, size_t length) {
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(length), &written, nullptr);
}

// Never takes the output lock: the crashing thread may hold it.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    uintptr_t address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
    char module[MAX_PATH] = "?";
    HMODULE owner = nullptr;
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(address), &owner))
        GetModuleFileNameA(owner, module, sizeof module);
    char line[MAX_PATH + 512];
    int length = std::snprintf(
        line, sizeof line,
        "CRASH: %d: %s / exception 0x%08lX at 0x%08X (%s+0x%X), thread %lu, data address 0x%08lX\n",
        g_line.load(), g_lineText, static_cast<unsigned long>(record->ExceptionCode),
        static_cast<unsigned>(address), module,
        static_cast<unsigned>(address - reinterpret_cast<uintptr_t>(owner)), GetCurrentThreadId(),
        record->NumberParameters >= 2 ? static_cast<unsigned long>(record->ExceptionInformation[1]) : 0ul);
    WriteRaw(line, static_cast<size_t>(length));
    ExitProcess(kExitCrash);
}

DWORD WINAPI Watchdog(void*) {
    NameThisThread(L"simhost watchdog");
    for (;;) {
        Sleep(250);
        if (g_line.load() == 0) continue;
        DWORD elapsed = GetTickCount() - g_lineStart.load();
        if (elapsed > g_timeoutMs + g_allowance.load()) {
            char line[400];
            int length = std::snprintf(line, sizeof line, "TIMEOUT: %d: %s / still running after %lu ms\n",
                                       g_line.load(), g_lineText, static_cast<unsigned long>(elapsed));
            WriteRaw(line, static_cast<size_t>(length));
            ExitProcess(kExitTimeout);
        }
    }
}

// Windows command-line words: blanks separate, double quotes group.
std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inQuotes = false, inWord = false;
    for (const char* p = commandLine; *p != '\0'; ++p) {
        if (*p == '"') {
            inQuotes = !inQuotes;
            inWord = true;
        } else if ((*p == ' ' || *p == '\t') && !inQuotes) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += *p;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

void PrintUsage() {
    Say("usage: kvt-simhost.exe [--calls] [--png FILE] [--builtin-font] [--timeout SECONDS] SCRIPT");
}

}  // namespace

void Say(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_outputMutex);
    std::string whole = line + "\n";
    WriteRaw(whole.data(), whole.size());
}

void NoteCommand(int line, const std::string& text, DWORD allowanceMs) {
    g_line.store(0);
    std::snprintf(g_lineText, sizeof g_lineText, "%s", text.c_str());
    g_allowance.store(allowanceMs);
    g_lineStart.store(GetTickCount());
    g_line.store(line);
}

void StopAtUnexpectedEntry(const std::string& seen) {
    Say("FAIL: " + std::to_string(g_line.load()) + ": " + g_lineText + " / " + seen);
    ExitProcess(kExitUnexpectedEntry);
}

}  // namespace simhost

extern "C" __declspec(dllexport) int kvt_simsession_run(const KvtSimHandoff* handoff) {
    using namespace simhost;
    SetUnhandledExceptionFilter(ReportCrash);
    std::vector<std::string> words = SplitCommandLine(handoff->commandLine);
    SessionOptions options;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--calls") {
            options.printCalls = true;
        } else if (words[i] == "--builtin-font") {
            options.builtinFont = true;
        } else if (words[i] == "--png" && i + 1 < words.size()) {
            options.pngAtEnd = words[++i];
        } else if (words[i] == "--timeout" && i + 1 < words.size()) {
            g_timeoutMs = static_cast<DWORD>(std::strtoul(words[++i].c_str(), nullptr, 10) * 1000);
        } else if (options.scriptPath.empty() && words[i].rfind("--", 0) != 0) {
            options.scriptPath = words[i];
        } else {
            PrintUsage();
            return kExitLoad;
        }
    }
    if (options.scriptPath.empty()) {
        PrintUsage();
        return kExitLoad;
    }
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (watchdog != nullptr) CloseHandle(watchdog);
    Session session(handoff->imageBase, handoff->arenaStart, handoff->arenaSize, options);
    int result = session.Run();
    std::fflush(stdout);
    return result;
}
