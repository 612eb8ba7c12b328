// Shared pieces of the native tests.
#include "test_support.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/log.h"
#include "core/paths.h"
#include "core/vr_bridge.h"
#include "input/sdl_backend.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "plugin/patch_hooks.h"
#include "rurazu/rurazu_engine.h"

namespace kvt_test {

std::vector<std::string> RecordingGame::TextsAt(float y) const {
    std::vector<std::string> out;
    for (const DrawCall& call : calls)
        if (call.entry == "WriteText" && call.numbers[1] == y) out.push_back(call.text);
    return out;
}

std::vector<std::string> RecordingGame::Texts() const {
    std::vector<std::string> out;
    for (const DrawCall& call : calls) {
        if (call.entry != "WriteText") continue;
        std::ostringstream line;
        line << call.numbers[0] << "," << call.numbers[1] << ":" << call.text;
        out.push_back(line.str());
    }
    return out;
}

float RecordingGame::SelectionBarY() const {
    for (const DrawCall& call : calls)
        if (call.entry == "DrawSelectionBar" && call.numbers[2] == 510) return call.numbers[1];
    return -1;
}

uint32_t MakeGameState(platform::sim::HostArena& arena, int32_t mode) {
    const uint32_t state = arena.Allocate(0x1000);
    arena.WriteU32(arena.base() + host_offsets::kGameState, state);
    arena.WriteU32(state + host_offsets::kRunningField, 1);
    arena.WriteU32(state + host_offsets::kGameModeField, static_cast<uint32_t>(mode));
    return state;
}

void ForgetProcessState() {
    ResetCoreOnce();
    ResetPatches();
    Config::ResetSettingsForTest();
    Input::ResetBackendForTest();
    ResetHostLocations();
    ResetVrBridge();
    ResetKeyHolders();
    platform::sim::SetStockTimer(false);
}

bool WaitFor(const std::function<bool()>& condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

ScratchGame::ScratchGame() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("kvt-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "Plugins" / "KVTControls");
    platform::sim::SetHostExecutablePath((root_ / "game.exe").string());
    OnLibraryLoad();
    // Opened again without the version line, so a test's log holds only the
    // lines the test caused.
    OpenLog(Paths().logFile);
    g_verboseLog = false;
}

ScratchGame::~ScratchGame() {
    OnLibraryUnload();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchGame::ReadFile(const std::filesystem::path& file) const {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void ScratchGame::WriteFile(const std::filesystem::path& file, const std::string& text) const {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

}  // namespace kvt_test
