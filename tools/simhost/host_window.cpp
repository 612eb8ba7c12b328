// The host window and its message record.
#include "host_window.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace simhost {

namespace {

std::mutex g_messagesMutex;
std::vector<std::string> g_messages;
std::atomic<unsigned> g_watchedKey{0};
std::atomic<long long> g_watchedAt{0};
// Every WM_KEYDOWN of one key, for timing a held key's repeats.
std::mutex g_everyMutex;
unsigned g_everyKey = 0;
std::vector<long long> g_everyAt;

void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Note(const char* format, ...) {
    char line[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(g_messagesMutex);
    g_messages.emplace_back(line);
}

const char* KeyMessageName(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
            return "WM_KEYDOWN";
        case WM_KEYUP:
            return "WM_KEYUP";
        case WM_SYSKEYDOWN:
            return "WM_SYSKEYDOWN";
        default:
            return "WM_SYSKEYUP";
    }
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            if (message == WM_KEYDOWN && wParam != 0 && wParam == g_watchedKey && g_watchedAt == 0) {
                LARGE_INTEGER now;
                QueryPerformanceCounter(&now);
                g_watchedAt = now.QuadPart;
            }
            if (message == WM_KEYDOWN && wParam != 0) {
                std::lock_guard<std::mutex> lock(g_everyMutex);
                if (wParam == g_everyKey) {
                    LARGE_INTEGER now;
                    QueryPerformanceCounter(&now);
                    g_everyAt.push_back(now.QuadPart);
                }
            }
            Note("%s vk 0x%02X scan 0x%02X", KeyMessageName(message), static_cast<unsigned>(wParam),
                 static_cast<unsigned>((lParam >> 16) & 0xFF));
            return 0;
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data == nullptr) {
                Note("WM_COPYDATA wparam 0x%X without data record", static_cast<unsigned>(wParam));
                return TRUE;
            }
            if (data->cbData >= 4 && data->lpData != nullptr) {
                uint32_t value;
                std::memcpy(&value, data->lpData, sizeof value);
                Note("WM_COPYDATA wparam 0x%X code %lu bytes %lu value %u", static_cast<unsigned>(wParam),
                     static_cast<unsigned long>(data->dwData), static_cast<unsigned long>(data->cbData),
                     value);
            } else {
                Note("WM_COPYDATA wparam 0x%X code %lu bytes %lu%s", static_cast<unsigned>(wParam),
                     static_cast<unsigned long>(data->dwData), static_cast<unsigned long>(data->cbData),
                     data->lpData == nullptr ? " no data" : "");
            }
            return TRUE;
        }
        case WM_CLOSE:
            // Recorded, not obeyed: the session decides when the host ends.
            Note("WM_CLOSE");
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

HWND CreateHostWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "KVTSimulatedHost";
    if (RegisterClassA(&windowClass) == 0) return nullptr;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "KVT (simulated host)",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) return nullptr;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(window);
    PumpMessages();
    return window;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void WaitPumping(DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
    PumpMessages();
}

bool PollPumping(DWORD limitMs, DWORD everyMs, const std::function<bool()>& done, DWORD& waitedMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const bool yes = done();
        waitedMs = GetTickCount() - start;
        if (yes) return true;
        if (waitedMs > limitMs) return false;
        WaitPumping(everyMs);
    }
}

std::string BringToFront(HWND window) {
    if (GetForegroundWindow() != window) {
        SetForegroundWindow(window);
        SetFocus(window);
        PumpMessages();
    }
    HWND front = GetForegroundWindow();
    if (front == window) return "";
    char seen[64];
    std::snprintf(seen, sizeof seen, "the host window is not in front (0x%08X is)",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(front)));
    return seen;
}

namespace {

std::string SendOne(INPUT& input) {
    if (SendInput(1, &input, sizeof input) != 1)
        return "SendInput sent nothing, error " + std::to_string(GetLastError());
    return "";
}

}  // namespace

std::string SendPlayerKey(HWND window, unsigned keyIndex, bool up) {
    const std::string error = BringToFront(window);
    if (!error.empty()) return error;
    // The virtual-key code too, as a keyboard driver gives it: Wine does not
    // derive it from the scan code, and the window would see key 0.
    const UINT scanCode = (keyIndex & 0x7F) | (keyIndex > 0x7F ? 0xE000 : 0);
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(MapVirtualKeyA(scanCode, MAPVK_VSC_TO_VK_EX));
    input.ki.wScan = static_cast<WORD>(keyIndex & 0x7F);
    input.ki.dwFlags =
        KEYEVENTF_SCANCODE | (keyIndex > 0x7F ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    return SendOne(input);
}

std::string SendVirtualKey(unsigned virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(virtualKey);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return SendOne(input);
}

std::vector<std::string> TakeWindowMessages() {
    std::lock_guard<std::mutex> lock(g_messagesMutex);
    std::vector<std::string> taken;
    taken.swap(g_messages);
    return taken;
}

void WatchKeyDown(unsigned virtualKey) {
    g_watchedAt = 0;
    g_watchedKey = virtualKey;
}

long long WatchedKeyDownAt() {
    return g_watchedAt;
}

void WatchEveryKeyDown(unsigned virtualKey) {
    std::lock_guard<std::mutex> lock(g_everyMutex);
    g_everyKey = virtualKey;
    g_everyAt.clear();
}

std::vector<long long> TakeEveryKeyDown() {
    std::lock_guard<std::mutex> lock(g_everyMutex);
    std::vector<long long> taken;
    taken.swap(g_everyAt);
    return taken;
}

}  // namespace simhost
