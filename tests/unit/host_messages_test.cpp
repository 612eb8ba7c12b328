// Host commands in a simulated host: the copy-data record each command
// becomes, and the refusals before the host window is known and while the
// host shuts down, read after a fresh look at the host's memory.
#include "core/host_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/host_locations.h"
#include "platform/sim/sim_messages.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

using platform::sim::HostArena;
using platform::sim::SentCopyData;
namespace offs = host_offsets;

namespace {

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kWindow = 0x2E0C;

class HostCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHostLocations();
        gameState = RunningGameState(1);
        arena.WriteU32(kBase + offs::kGameState, gameState);
        const uint32_t renderRoot = arena.Allocate(0x40), renderChild = arena.Allocate(0x100);
        const uint32_t device = arena.Allocate(0x10);
        arena.WriteU32(kBase + offs::kRenderRoot, renderRoot);
        arena.WriteU32(renderRoot + offs::kRenderChild, renderChild);
        arena.WriteU32(renderChild + offs::kRenderDevice, device);
        platform::sim::SetDeviceWindow(device, kWindow);
        platform::sim::TakeSentMessages();
    }
    void TearDown() override { ResetHostLocations(); }

    uint32_t RunningGameState(uint32_t running) {
        const uint32_t state = arena.Allocate(0x1000);
        arena.WriteU32(state + offs::kRunningField, running);
        return state;
    }
    // What the plug-in's start-up does before any command is sent.
    void HostWindowKnown() {
        ASSERT_TRUE(RefreshHostLocations());
        ASSERT_EQ(Host().hostWindow.load(), kWindow);
    }
    // The log's lines without their time stamps.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> out;
        const std::string text = scratch.LogText();
        for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = text.substr(start, end - start);
            out.push_back(line.substr(line.find("] ") + 2));
        }
        return out;
    }

    kvt_test::ScratchGame scratch;
    HostArena arena{kBase, 0x1400000};
    uint32_t gameState = 0;
};

TEST_F(HostCommands, EachCommandTravelsAsItsRecord) {
    HostWindowKnown();
    struct Case {
        int32_t command;
        int32_t value;
        uint32_t wParam;
        uint32_t code;
        std::vector<uint8_t> data;  // empty: no data at all
    } cases[] = {
        {0, 1, 0xDEAF00, 0x2000, {1, 0, 0, 0}},          // GearGate: no H-pattern emulation
        {0, 0, 0xDEAF00, 0x2000, {0, 0, 0, 0}},          // GearGate: emulating
        {6, 1, 0xDEAF01, 6, {1, 0, 0, 0}},               // ignition pressed
        {6, 0, 0xDEAF01, 6, {0, 0, 0, 0}},               // ignition released
        {6, -2, 0xDEAF01, 6, {0xFE, 0xFF, 0xFF, 0xFF}},  // the value goes as it is, little-endian
        {3, 0, 0xDEAF01, 3, {}},                         // restart stage
        {4, 1, 0xDEAF01, 4, {}},                         // call for help: a value is not sent
        {5, 0, 0xDEAF01, 5, {}},                         // retire stage
        {0x7001, 9, 0xDEAF01, 0x7001, {}},               // any other code
    };
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.command) + "," + std::to_string(c.value);
        EXPECT_TRUE(SendHostCommand(c.command, c.value)) << what;
        const std::vector<SentCopyData> sent = platform::sim::TakeSentMessages();
        ASSERT_EQ(sent.size(), 1u) << what;
        EXPECT_EQ(sent[0].window, kWindow) << what;
        EXPECT_EQ(sent[0].wParam, c.wParam) << what;
        EXPECT_EQ(sent[0].code, c.code) << what;
        EXPECT_EQ(sent[0].byteCount, c.data.size()) << what;
        EXPECT_EQ(sent[0].hasData, !c.data.empty()) << what;
        EXPECT_EQ(sent[0].data, c.data) << what;
    }
    EXPECT_EQ(scratch.LogText(), "");
}

TEST_F(HostCommands, RefusedEveryTimeBeforeTheHostWindowIsKnown) {
    EXPECT_FALSE(SendHostCommand(host_commands::kIgnition, 1));
    EXPECT_FALSE(SendHostCommand(host_commands::kGearGateMode, 0));
    EXPECT_TRUE(platform::sim::TakeSentMessages().empty());
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"ERROR. KVT is not yet running or initialized",
                                                       "ERROR. KVT is not yet running or initialized"}));
    EXPECT_EQ(Host().hostWindow.load(), 0u) << "a refused command does not look for the window itself";
    EXPECT_EQ(platform::sim::DeviceQueryCount(), 0u);
}

// The host's memory is read again for every command, so a game state that
// changed since the last look decides.
TEST_F(HostCommands, RefusedWhileTheHostShutsDown) {
    HostWindowKnown();
    arena.WriteU32(gameState + offs::kRunningField, 0);
    EXPECT_FALSE(SendHostCommand(host_commands::kRestartStage));

    arena.WriteU32(kBase + offs::kGameState, RunningGameState(1));
    EXPECT_TRUE(SendHostCommand(host_commands::kRestartStage));
    EXPECT_EQ(platform::sim::TakeSentMessages().size(), 1u);

    arena.WriteU32(kBase + offs::kGameState, 0);
    EXPECT_FALSE(SendHostCommand(host_commands::kRetireStage));
    arena.WriteU32(kBase + offs::kGameState, RunningGameState(0));
    EXPECT_FALSE(SendHostCommand(host_commands::kCallForHelp));

    EXPECT_TRUE(platform::sim::TakeSentMessages().empty());
    EXPECT_EQ(LogMessages(),
              (std::vector<std::string>{"ERROR. KVT is shutting down", "ERROR. KVT is shutting down",
                                        "ERROR. KVT is shutting down"}));
}

}  // namespace
