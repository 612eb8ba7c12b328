// The keyboard reader on the system's DirectInput: a window of the test's own
// in front, keys injected with their scan codes the way a player's keyboard
// reaches DirectInput, read back as key changes and named.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "input/device_locks.h"
#include "input/input_di.h"
#include "platform/keyboard_device.h"

namespace {

using Changes = std::vector<std::pair<int32_t, bool>>;

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Input reaches DirectInput through the system's queues, not at once.
bool WaitUntil(const std::function<bool()>& condition) {
    for (int tries = 0; tries < 500; ++tries) {
        PumpMessages();
        if (condition()) return true;
        Sleep(10);
    }
    return false;
}

// DirectInput key index = scan code: without the scan code in the record,
// DirectInput's keyboard state never sees the key.
void Inject(std::initializer_list<int32_t> keys, bool down) {
    std::vector<INPUT> inputs;
    for (int32_t key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = static_cast<WORD>(key);
        input.ki.dwFlags = KEYEVENTF_SCANCODE | (down ? 0 : KEYEVENTF_KEYUP);
        inputs.push_back(input);
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
}

// A second keyboard device straight from the seam, to learn when the
// injected keys have arrived without consuming the reader's changes.
class Probe {
public:
    bool Open(uint32_t window) {
        if (platform::InputFailed(platform::CreateDirectInput(&directInput)) || !directInput) return false;
        if (platform::InputFailed(platform::CreateSystemKeyboard(directInput, &device)) || !device)
            return false;
        platform::SetKeyboardDataFormat(device);
        platform::SetKeyboardCooperativeLevel(device, window, platform::kCooperateNonExclusiveForeground);
        return !platform::InputFailed(platform::AcquireKeyboard(device));
    }
    ~Probe() {
        if (device) platform::ReleaseKeyboard(device);
        if (directInput) platform::ReleaseDirectInput(directInput);
    }
    bool IsDown(int32_t key) {
        uint8_t state[platform::kKeyCount] = {};
        if (platform::InputFailed(platform::ReadKeyboardState(device, state))) return false;
        return (state[key] & 0x80) != 0;
    }

private:
    platform::DirectInputObject* directInput = nullptr;
    platform::KeyboardDevice* device = nullptr;
};

class Win32Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "KVTKeyboardTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "KVTKeyboardTest", "KVT keyboard test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 0, 0, 320, 240, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        SetForegroundWindow(window);
        SetFocus(window);
        ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }))
            << "no focus: is DISPLAY set?";
        handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    }
    void TearDown() override {
        if (window) DestroyWindow(window);
        PumpMessages();
    }

    static Changes Read(Input::InputDI& reader) {
        Input::KeyChange changes[8];
        const int count = reader.ReadKeyChanges(changes, 8);
        Changes out;
        for (int i = 0; i < count; ++i) out.emplace_back(changes[i].key, changes[i].pressed);
        return out;
    }

    HWND window = nullptr;
    uint32_t handle = 0;
};

TEST_F(Win32Keyboard, InjectedKeysComeBackEightAtMostLowestFirstTheRestOnTheNextRead) {
    Input::InputDI reader(handle);
    ASSERT_TRUE(reader.ConnectKeyboard());
    Probe probe;
    ASSERT_TRUE(probe.Open(handle));
    EXPECT_EQ(Read(reader), Changes{});

    // Keys Q to O, injected highest first: the order reported is the reader's own.
    Inject({24, 23, 22, 21, 20, 19, 18, 17, 16}, true);
    ASSERT_TRUE(WaitUntil([&] { return probe.IsDown(16); }));
    EXPECT_EQ(
        Read(reader),
        (Changes{
            {16, true}, {17, true}, {18, true}, {19, true}, {20, true}, {21, true}, {22, true}, {23, true}}));
    EXPECT_EQ(Read(reader), (Changes{{24, true}})) << "the ninth press waits for the next read";
    EXPECT_EQ(Read(reader), Changes{}) << "and is reported once";

    Inject({16, 17, 18, 19, 20, 21, 22, 23}, false);
    ASSERT_TRUE(WaitUntil([&] { return !probe.IsDown(23); }));
    EXPECT_EQ(Read(reader), (Changes{{16, false},
                                     {17, false},
                                     {18, false},
                                     {19, false},
                                     {20, false},
                                     {21, false},
                                     {22, false},
                                     {23, false}}));
    Inject({24}, false);
    ASSERT_TRUE(WaitUntil([&] { return !probe.IsDown(24); }));
    EXPECT_EQ(Read(reader), (Changes{{24, false}}));
    reader.DisconnectKeyboard();
    EXPECT_EQ(Read(reader), Changes{});
}

TEST_F(Win32Keyboard, KeysAreNamedOnceAndThenFromTheCache) {
    Input::InputDI reader(handle);
    ASSERT_TRUE(reader.ConnectKeyboard());
    char systemName[64] = {};
    ASSERT_GT(GetKeyNameTextA(30 << 16, systemName, sizeof systemName), 0);
    const std::string name = reader.GetKeyCodeName(30);
    EXPECT_EQ(name, std::string("K30 Keyboard ") + systemName);

    // A cached name takes no lock, so it comes while the lock is held; a new
    // lookup needs DirectInput, so it waits for the lock.
    Input::g_keyboardLock.Lock();
    std::future<std::string> cached =
        std::async(std::launch::async, [&] { return reader.GetKeyCodeName(30); });
    const std::future_status cachedStatus = cached.wait_for(std::chrono::seconds(10));
    std::future<std::string> uncached =
        std::async(std::launch::async, [&] { return reader.GetKeyCodeName(31); });
    const std::future_status uncachedStatus = uncached.wait_for(std::chrono::milliseconds(200));
    Input::g_keyboardLock.Unlock();
    EXPECT_EQ(cachedStatus, std::future_status::ready);
    EXPECT_EQ(uncachedStatus, std::future_status::timeout);
    EXPECT_EQ(cached.get(), name);
    EXPECT_EQ(uncached.get().rfind("K31 Keyboard ", 0), 0u);
}

}  // namespace
