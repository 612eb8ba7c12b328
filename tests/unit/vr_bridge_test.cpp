// The VR bridge against a stand-in VR plug-in loaded from the game folder's
// Plugins folder: which component is found, the one log line of an unusable
// plug-in, and the exact calls that reach openKVTVR_Exec.
#include "core/vr_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/paths.h"
#include "platform/modules.h"
#include "shared/vr_standin.h"
#include "shared/vr_standin_link.h"
#include "test_support.h"

using kvt_test::VrCall;
namespace fs = std::filesystem;

namespace {

class VrBridge : public ::testing::Test {
protected:
    void SetUp() override { ResetVrBridge(); }
    void TearDown() override {
        standIn.Release();
        ResetVrBridge();
    }

    fs::path Plugins() const { return scratch.root() / "Plugins"; }
    void Install(const char* builtFile, const char* name) const {
        fs::copy_file(builtFile, Plugins() / name, fs::copy_options::overwrite_existing);
    }
    // The stand-in the bridge has loaded, reached a second time for its recorder.
    void Attach(int32_t apiLevel, int32_t seatAnswer) {
        ASSERT_TRUE(standIn.Attach((Plugins() / "openKVTVR.dll").string(), apiLevel, seatAnswer));
    }
    // A plug-in found, its answers set, nothing called yet.
    void Loaded(int32_t apiLevel, int32_t seatAnswer = 0) {
        Install(KVT_VR_STANDIN, "openKVTVR.dll");
        ASSERT_EQ(DetectVrPlugin(), vr_states::kPlugin);
        Attach(apiLevel, seatAnswer);
    }
    std::vector<VrCall> Calls() { return standIn.Calls(); }

    kvt_test::ScratchGame scratch;
    kvt_test::VrStandInLink standIn;
};

TEST_F(VrBridge, TheComponentInThePluginsFolderDecidesTheState) {
    struct Case {
        const char* what;
        bool plugin;
        bool configTool;
        int32_t state;
    } cases[] = {
        {"nothing there", false, false, vr_states::kNeither},
        {"only the configuration tool", false, true, vr_states::kConfigTool},
        {"only the VR plug-in", true, false, vr_states::kPlugin},
        {"both: the VR plug-in wins", true, true, vr_states::kPlugin},
    };
    for (const Case& c : cases) {
        ResetVrBridge();
        fs::remove(Plugins() / "openKVTVR.dll");
        fs::remove(Plugins() / "KVTvrConfig.dll");
        if (c.plugin) Install(KVT_VR_STANDIN, "openKVTVR.dll");
        if (c.configTool) scratch.WriteFile(Plugins() / "KVTvrConfig.dll", "not loaded, only looked for");
        EXPECT_EQ(DetectVrPlugin(), c.state) << c.what;
    }
    EXPECT_EQ(scratch.LogText(), "") << "finding nothing usable is not an error";
}

TEST_F(VrBridge, DetectionRunsOncePerProcess) {
    EXPECT_EQ(DetectVrPlugin(), vr_states::kNeither);
    Install(KVT_VR_STANDIN, "openKVTVR.dll");
    EXPECT_EQ(DetectVrPlugin(), vr_states::kNeither) << "installed later: seen after a restart only";
    CallVr(vr_commands::kResetView);
    EXPECT_FALSE(MoveVrSeat(seat_directions::kForward, 0));

    ResetVrBridge();
    EXPECT_EQ(DetectVrPlugin(), vr_states::kPlugin);
}

// A file of that name that is no usable VR plug-in: the state is 1 even with
// the configuration tool beside it, and one line names the full path.
TEST_F(VrBridge, UnusablePluginFileIsLoggedOnceAndCountsAsNeither) {
    const std::string path = (Plugins() / "openKVTVR.dll").string();
    const std::string line =
        path + " file exists, but openKVTVR_Exec method is missing or failed to load\r\n";
    scratch.WriteFile(Plugins() / "KVTvrConfig.dll", "tool");
    for (bool library : {true, false}) {
        ResetVrBridge();
        OpenLog(Paths().logFile);  // a fresh log
        if (library) {
            Install(KVT_VR_STANDIN_NO_ENTRY, "openKVTVR.dll");
        } else {
            scratch.WriteFile(path, "MZ but not a library this loader takes");
        }
        EXPECT_EQ(DetectVrPlugin(), vr_states::kNeither) << library;
        EXPECT_EQ(DetectVrPlugin(), vr_states::kNeither) << library;
        EXPECT_FALSE(MoveVrSeat(seat_directions::kLeft, 0));
        CallVr(vr_commands::kDebugToggle);
        const std::string log = scratch.LogText();
        ASSERT_GE(log.size(), line.size()) << library;
        EXPECT_EQ(log.substr(log.size() - line.size()), line) << library;
        EXPECT_EQ(log.find("\r\n"), log.size() - 2) << "one line, however often asked: " << log;
    }
}

TEST_F(VrBridge, CallsReachThePluginWithTheirExactArguments) {
    Install(KVT_VR_STANDIN, "openKVTVR.dll");
    Attach(2, 0);
    CallVr(vr_commands::kResetView);
    EXPECT_EQ(Calls(), std::vector<VrCall>{}) << "nothing is called before detection";

    ASSERT_EQ(DetectVrPlugin(), vr_states::kPlugin);
    CallVr(vr_commands::kResetView);
    CallVr(vr_commands::kDebugToggle);
    EXPECT_TRUE(MoveVrSeat(seat_directions::kForward, 0));
    EXPECT_TRUE(MoveVrSeat(seat_directions::kStop, 0));
    EXPECT_TRUE(MoveVrSeat(seat_directions::kDown, 7));
    EXPECT_EQ(Calls(),
              (std::vector<VrCall>{
                  {1, 0, 0, 0}, {2, 0, 0, 0}, {0, 0, 0, 0}, {32, 0, 1, 0}, {32, 0, 0, 0}, {32, 0, 6, 7}}))
        << "the API level is asked on the first seat move only";
    EXPECT_EQ(scratch.LogText(), "");
}

TEST_F(VrBridge, SeatMovesNeedApiLevelTwoAndAnAnswerOfZero) {
    Loaded(1);
    CallVr(vr_commands::kResetView);
    CallVr(vr_commands::kDebugToggle);
    EXPECT_FALSE(MoveVrSeat(seat_directions::kBackward, 0));
    EXPECT_FALSE(MoveVrSeat(seat_directions::kStop, 0));
    EXPECT_EQ(Calls(), (std::vector<VrCall>{{1, 0, 0, 0}, {2, 0, 0, 0}, {0, 0, 0, 0}}))
        << "level 1: view reset and debug display, no seat moves, one level query";

    standIn.Release();
    ResetVrBridge();
    Loaded(3, 5);
    EXPECT_FALSE(MoveVrSeat(seat_directions::kRight, 0)) << "any answer but 0 is a failed move";
    EXPECT_EQ(Calls(), (std::vector<VrCall>{{0, 0, 0, 0}, {32, 0, 2, 0}}));
}

TEST_F(VrBridge, WithoutTheVrPluginSeatMovesDoNothing) {
    scratch.WriteFile(Plugins() / "KVTvrConfig.dll", "tool");
    EXPECT_EQ(DetectVrPlugin(), vr_states::kConfigTool);
    EXPECT_FALSE(MoveVrSeat(seat_directions::kUp, 0));
    CallVr(vr_commands::kResetView);
    EXPECT_EQ(scratch.LogText(), "");
}

}  // namespace
