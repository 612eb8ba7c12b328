// Device notifications through a message-only window of the input job's
// thread: the system sends WM_DEVICECHANGE to it, and Take lets it in.
#include <windows.h>
// windows.h first: dbt.h uses its types.
#include <dbt.h>

#include "platform/device_watch.h"
#include "platform/platform.h"

namespace platform {
namespace {

// The HID device interface class, the one every game controller belongs to.
constexpr GUID kHidInterface = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr wchar_t kClassName[] = L"KVTControlsDeviceWatch";

class Win32DeviceWatch final : public DeviceWatch {
public:
    ~Win32DeviceWatch() override {
        if (notification_) UnregisterDeviceNotification(notification_);
        if (window_) DestroyWindow(window_);
    }

    bool Start(std::string& error) {
        HMODULE module = nullptr;
        GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&Procedure), &module);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = module;
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return Fail("RegisterClassExW", error);
        window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
        if (!window_) return Fail("CreateWindowExW", error);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof(filter);
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kHidInterface;
        notification_ = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        return notification_ || Fail("RegisterDeviceNotificationW", error);
    }

    void Take(std::vector<DeviceChange>& changes) override {
        // Peeking runs the window procedure for every message sent to this
        // thread's windows, the system's notifications among them.
        MSG message;
        while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        changes.swap(pending_);
        pending_.clear();
    }

private:
    static bool Fail(const char* call, std::string& error) {
        error = std::string(call) + " failed, error " + std::to_string(GetLastError());
        return false;
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM kind, LPARAM data) {
        auto* watch = reinterpret_cast<Win32DeviceWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
        if (message == WM_DEVICECHANGE && watch && header &&
            header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
            (kind == DBT_DEVICEARRIVAL || kind == DBT_DEVICEREMOVECOMPLETE)) {
            const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
            // Interface paths are plain ASCII; a conversion that fails names nothing.
            try {
                watch->pending_.push_back({kind == DBT_DEVICEARRIVAL, WideToCodePage(device->dbcc_name)});
            } catch (...) {
            }
            return TRUE;
        }
        return DefWindowProcW(window, message, kind, data);
    }

    HWND window_ = nullptr;
    HDEVNOTIFY notification_ = nullptr;
    std::vector<DeviceChange> pending_;
};

}  // namespace

std::unique_ptr<DeviceWatch> WatchDevices(std::string& error) {
    auto watch = std::make_unique<Win32DeviceWatch>();
    if (!watch->Start(error)) return nullptr;
    return watch;
}

}  // namespace platform
