// The real platform: clock, module paths, the host's process and render device,
// and the system's text conversions.
#include <windows.h>

#include <filesystem>
#include <stdexcept>

#include "platform/host_memory.h"
#include "platform/platform.h"

namespace platform {
namespace {
HostMemoryView g_view;

// The host's Direct3D 9 device is a COM object: stdcall entries with this as
// the first stack argument. Entry 10 fills the creation parameters.
struct DeviceCreationParameters {
    uint32_t adapter;
    uint32_t deviceType;
    uint32_t focusWindow;
    uint32_t behaviorFlags;
};
using GetCreationParametersFn = long(__stdcall*)(void* device, DeviceCreationParameters* parameters);
}  // namespace

HostMemoryView& HostMemory() {
    return g_view;
}

bool HostRangeValid(uint32_t address, uint32_t) {
    return address >= kLowestHostAddress;
}

uint32_t TickCount() {
    return GetTickCount();
}

void SleepMs(uint32_t ms) {
    Sleep(ms);
}

uint32_t ForegroundWindow() {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetForegroundWindow()));
}

bool AsyncKeyDown(int32_t virtualKey) {
    return GetAsyncKeyState(virtualKey) < 0;
}

std::string HostExecutablePath() {
    char buffer[520] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer - 1);
    return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
}

uint32_t FindHostBase() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, nullptr, &module)) return 0;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module));
}

uint32_t QueryDeviceWindow(uint32_t renderDevice) {
    if (renderDevice < kLowestHostAddress) return 0;
    void* device = reinterpret_cast<void*>(static_cast<uintptr_t>(renderDevice));
    void** vtable = *static_cast<void***>(device);
    auto query = reinterpret_cast<GetCreationParametersFn>(vtable[9]);
    DeviceCreationParameters parameters{};
    if (query(device, &parameters) < 0) return 0;
    return parameters.focusWindow;
}

bool IsAbsolutePath(const std::string& path) {
    const std::filesystem::path folder(path);
    return folder.has_root_name() && folder.has_root_directory();
}

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty()) return std::wstring();
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) throw std::runtime_error("MultiByteToWideChar() failed: " + std::to_string(length));
    std::wstring out(static_cast<size_t>(length), L'\0');
    const int written =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    if (written <= 0) throw std::runtime_error("MultiByteToWideChar() failed: " + std::to_string(written));
    return out;
}

std::string WideToCodePage(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (length <= 0) throw std::runtime_error("WideCharToMultiByte() failed: " + std::to_string(length));
    std::string out(static_cast<size_t>(length), '\0');
    const int written = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                            length, nullptr, nullptr);
    if (written <= 0) throw std::runtime_error("WideCharToMultiByte() failed: " + std::to_string(written));
    return out;
}

}  // namespace platform
