// The VR bridge and the host commands on the real system under Wine: the
// stand-in VR plug-in DLL loaded from the Plugins folder beside this program
// (which plays the host) receives its calls with the exact arguments, and a
// window of this program receives WM_COPYDATA exactly as the host's would.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "core/host_locations.h"
#include "core/host_messages.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/vr_bridge.h"
#include "platform/modules.h"
#include "shared/vr_standin.h"
#include "shared/vr_standin_link.h"

using kvt_test::VrCall;
namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Win32Vr : public ::testing::Test {
protected:
    void SetUp() override {
        ComputePaths();
        host = Paths().hostDirectory;
        fs::create_directories(Paths().pluginFolder);
        OpenLog(Paths().logFile);
        ResetVrBridge();
    }
    void TearDown() override {
        standIn.Release();
        ResetVrBridge();
        CloseLog();
        std::error_code ignored;
        fs::remove_all(host / "Plugins", ignored);
    }
    void Install(const char* builtName) const {
        fs::copy_file(host / builtName, host / "Plugins" / "openKVTVR.dll",
                      fs::copy_options::overwrite_existing);
    }
    void Attach(int32_t apiLevel) {
        ASSERT_TRUE(standIn.Attach((host / "Plugins" / "openKVTVR.dll").string(), apiLevel, 0));
    }
    std::vector<VrCall> Calls() { return standIn.Calls(); }

    fs::path host;
    kvt_test::VrStandInLink standIn;
};

TEST_F(Win32Vr, PluginDllReceivesEveryCallWithItsExactArguments) {
    Install("vr_standin.dll");
    fs::copy_file(host / "vr_standin.dll", host / "Plugins" / "KVTvrConfig.dll");
    ASSERT_EQ(DetectVrPlugin(), vr_states::kPlugin) << "the VR plug-in wins over the configuration tool";
    Attach(2);
    CallVr(vr_commands::kResetView);
    CallVr(vr_commands::kDebugToggle);
    EXPECT_TRUE(MoveVrSeat(seat_directions::kLeft, 0));
    EXPECT_TRUE(MoveVrSeat(seat_directions::kStop, 0));
    EXPECT_EQ(Calls(),
              (std::vector<VrCall>{{1, 0, 0, 0}, {2, 0, 0, 0}, {0, 0, 0, 0}, {32, 0, 4, 0}, {32, 0, 0, 0}}));
}

TEST_F(Win32Vr, ApiLevelOneGetsNoSeatMoves) {
    Install("vr_standin.dll");
    ASSERT_EQ(DetectVrPlugin(), vr_states::kPlugin);
    Attach(1);
    EXPECT_FALSE(MoveVrSeat(seat_directions::kUp, 0));
    EXPECT_FALSE(MoveVrSeat(seat_directions::kStop, 0));
    CallVr(vr_commands::kResetView);
    EXPECT_EQ(Calls(), (std::vector<VrCall>{{0, 0, 0, 0}, {1, 0, 0, 0}}));
}

TEST_F(Win32Vr, DllWithoutTheEntryPointIsNamedInTheLogAndUnloaded) {
    Install("vr_standin_no_entry.dll");
    const fs::path path = host / "Plugins" / "openKVTVR.dll";
    EXPECT_EQ(DetectVrPlugin(), vr_states::kNeither);
    EXPECT_EQ(GetModuleHandleA(path.string().c_str()), nullptr) << "nothing of it is kept loaded";
    CloseLog();
    const std::string line =
        path.string() + " file exists, but openKVTVR_Exec method is missing or failed to load\r\n";
    const std::string log = ReadText(Paths().logFile);
    ASSERT_GE(log.size(), line.size()) << log;
    EXPECT_EQ(log.substr(log.size() - line.size()), line);
    EXPECT_NE(path.string().find('\\'), std::string::npos) << "the system's own separators: " << path;
}

TEST_F(Win32Vr, OnlyTheConfigurationToolOrNothing) {
    EXPECT_EQ(DetectVrPlugin(), vr_states::kNeither);
    ResetVrBridge();
    std::ofstream(host / "Plugins" / "KVTvrConfig.dll") << "tool";
    EXPECT_EQ(DetectVrPlugin(), vr_states::kConfigTool);
}

// A window of this program stands in for the host's: it records each
// WM_COPYDATA as its procedure sees it, and where the record lay.
struct Received {
    WPARAM wParam;
    ULONG_PTR code;
    DWORD byteCount;
    bool hasData;
    std::vector<uint8_t> data;
    DWORD thread;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    Received got{wParam, copy->dwData, copy->cbData, copy->lpData != nullptr, {}, GetCurrentThreadId()};
    if (copy->lpData) {
        const auto* bytes = static_cast<const uint8_t*>(copy->lpData);
        got.data.assign(bytes, bytes + copy->cbData);
    }
    g_received.push_back(got);
    return TRUE;
}

class Win32HostCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ComputePaths();
        fs::create_directories(Paths().pluginFolder);
        OpenLog(Paths().logFile);
        g_received.clear();
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "KvtTestHostWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowA("KvtTestHostWindow", "host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
        ASSERT_NE(window, nullptr) << GetLastError();
        // The host's memory: the game state the sender checks, at the fixed
        // offset from a stand-in load address.
        memory =
            static_cast<uint8_t*>(VirtualAlloc(nullptr, kSpan, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        ASSERT_NE(memory, nullptr);
        ResetHostLocations();
        const auto base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory));
        Host().base = base;
        SetRunning(1);
        const uint32_t state = base + kStateOffset;
        std::memcpy(memory + host_offsets::kGameState, &state, sizeof state);
        Host().hostWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    }
    void TearDown() override {
        ResetHostLocations();
        if (window) DestroyWindow(window);
        if (memory) VirtualFree(memory, 0, MEM_RELEASE);
        CloseLog();
        std::error_code ignored;
        fs::remove_all(Paths().hostDirectory + "\\Plugins", ignored);
    }
    void SetRunning(uint32_t running) {
        std::memcpy(memory + kStateOffset + host_offsets::kRunningField, &running, sizeof running);
    }

    static constexpr uint32_t kSpan = 0x1300000;
    static constexpr uint32_t kStateOffset = 0x1280000;
    HWND window = nullptr;
    uint8_t* memory = nullptr;
};

TEST_F(Win32HostCommands, WindowReceivesTheExactRecords) {
    ASSERT_TRUE(SendHostCommand(host_commands::kIgnition, 1));
    ASSERT_TRUE(SendHostCommand(host_commands::kGearGateMode, 0));
    ASSERT_TRUE(SendHostCommand(host_commands::kRestartStage, 1));
    ASSERT_EQ(g_received.size(), 3u);
    EXPECT_EQ(g_received[0].wParam, 0xDEAF01u);
    EXPECT_EQ(g_received[0].code, 6u);
    EXPECT_EQ(g_received[0].byteCount, 4u);
    EXPECT_EQ(g_received[0].data, (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(g_received[1].wParam, 0xDEAF00u);
    EXPECT_EQ(g_received[1].code, 0x2000u);
    EXPECT_EQ(g_received[1].byteCount, 4u);
    EXPECT_EQ(g_received[1].data, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(g_received[2].wParam, 0xDEAF01u);
    EXPECT_EQ(g_received[2].code, 3u);
    EXPECT_EQ(g_received[2].byteCount, 0u);
    EXPECT_FALSE(g_received[2].hasData);

    SetRunning(0);
    EXPECT_FALSE(SendHostCommand(host_commands::kCallForHelp));
    EXPECT_EQ(g_received.size(), 3u) << "nothing reaches a host that shuts down";
}

// The input job sends from its own thread: the call returns only once the
// window's thread has handled the message.
TEST_F(Win32HostCommands, SendingFromAnotherThreadWaitsForTheWindow) {
    std::atomic<bool> done{false};
    bool sent = false;
    std::thread job([&] {
        sent = SendHostCommand(host_commands::kIgnition, 0);
        done = true;
    });
    while (!done) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    job.join();
    EXPECT_TRUE(sent);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].thread, GetCurrentThreadId());
    EXPECT_EQ(g_received[0].code, 6u);
    EXPECT_EQ(g_received[0].data, (std::vector<uint8_t>{0, 0, 0, 0}));
}

}  // namespace
