// The code patches on the simulated platform: the bytes and their arithmetic,
// the write sequence with its failures, the installation inside the first
// GetPluginName at each kind of site, and what the hooks call.
#include "core/code_patch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/setting.h"
#include "core/host_locations.h"
#include "core/patch_bytes.h"
#include "core/setting_id.h"
#include "geargate/shifter_page.h"
#include "input/sdl_backend.h"
#include "platform/host_memory.h"
#include "platform/sim/sim_code_memory.h"
#include "platform/sim/sim_platform.h"
#include "plugin/kvt_control.h"
#include "plugin/patch_hooks.h"
#include "test_support.h"

using platform::sim::CodeCall;
using platform::sim::HostArena;
using platform::sim::ModuleState;
using Bytes = std::vector<uint8_t>;
namespace offs = host_offsets;

namespace {

constexpr uint32_t kBase = 0x10000;
constexpr uint32_t kModeSite = kBase + 0x7F392;
constexpr uint32_t kRenderSite = kBase + 0xE896;
constexpr uint32_t kHubSite = kBase + 0x226AAC;

// What the host build holds at its sites (as the simulated host has them).
const Bytes kHostModeStore{0x89, 0xBE, 0x28, 0x07, 0x00, 0x00, 0xC3};
const Bytes kHostRender{0x33, 0xC0, 0x90, 0x90, 0x90, 0xC3};
const Bytes kHostHub{0x8D, 0x80, 0x00, 0x00, 0x00, 0x00, 0xC3};

Bytes Le32(uint32_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

template <typename T>
Bytes BytesOf(const T& value) {
    Bytes bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string HexBytes(const Bytes& bytes) {
    std::string text;
    for (uint8_t byte : bytes) {
        char one[4];
        std::snprintf(one, sizeof one, " %02X", byte);
        text += one;
    }
    return text;
}

TEST(PatchBytes, DisplacementCountsFromTheEndOfTheFiveBytes) {
    EXPECT_EQ(patch_bytes::Displacement(0x1000, 0x2000), 0xFFB);
    EXPECT_EQ(patch_bytes::Displacement(0x2000, 0x1000), -0x1005);
    EXPECT_EQ(patch_bytes::Displacement(0x1000, 0x1005), 0) << "a jump to the next instruction";
    // Across the top of the 32-bit address space the sum wraps as the processor's does.
    EXPECT_EQ(patch_bytes::Displacement(0xFFFFFFF0u, 0x10), 0x1B);
    EXPECT_EQ(patch_bytes::Destination(0xFFFFFFF0u, 0x1B), 0x10u);
    EXPECT_EQ(patch_bytes::Destination(0x2000, -0x1005), 0x1000u);
    for (uint32_t site : {0x10000u, 0x7F0000u, 0xFFFFFF00u})
        for (uint32_t target : {0u, 0x10000u, 0x7FFE1000u, 0xFFFFFFFFu})
            EXPECT_EQ(patch_bytes::Destination(site, patch_bytes::Displacement(site, target)), target);
}

TEST(PatchBytes, InstructionsAreTheirOpcodesAndLittleEndianDisplacements) {
    EXPECT_EQ(BytesOf(patch_bytes::Jump(0x1000, 0x2000)), (Bytes{0xE9, 0xFB, 0x0F, 0x00, 0x00}));
    EXPECT_EQ(BytesOf(patch_bytes::JumpNop(0x2000, 0x1000)), (Bytes{0xE9, 0xFB, 0xEF, 0xFF, 0xFF, 0x90}));
    EXPECT_EQ(BytesOf(patch_bytes::CallNop(0x1000, 0x1234)), (Bytes{0xE8, 0x2F, 0x02, 0x00, 0x00, 0x90}));
}

TEST(PatchBytes, ContinuationFollowsTheHostInstructionOrAForeignJump) {
    using patch_bytes::ContinuationAt;
    auto mode = ContinuationAt(patch_bytes::kModeStore, 0x8F392, 0x89, 0x12345678);
    EXPECT_TRUE(mode.patchable);
    EXPECT_EQ(mode.address, 0x8F392u + 6)
        << "after the host's 6-byte store; the bytes after 89 do not matter";
    auto render = ContinuationAt(patch_bytes::kRender, 0x1E896, 0x33, 0);
    EXPECT_TRUE(render.patchable);
    EXPECT_EQ(render.address, 0x1E896u + 5);
    auto chained = ContinuationAt(patch_bytes::kModeStore, 0x8F392, 0xE9, -0x100);
    EXPECT_TRUE(chained.patchable);
    EXPECT_EQ(chained.address, 0x8F392u + 5 - 0x100) << "into the other plug-in's code, not site + 6";
    EXPECT_EQ(ContinuationAt(patch_bytes::kRender, 0x1E896, 0xE9, 0x10).address, 0x1E896u + 5 + 0x10);
    EXPECT_FALSE(ContinuationAt(patch_bytes::kModeStore, 0x8F392, 0x55, 0).patchable);
    EXPECT_FALSE(ContinuationAt(patch_bytes::kRender, 0x1E896, 0x89, 0).patchable)
        << "each site has its own host opcode";
    EXPECT_FALSE(ContinuationAt(patch_bytes::kModeStore, 0x8F392, 0xE8, 0).patchable) << "a call is no jump";
}

// The simulated host memory with the host's bytes at the three sites.
class CodePatch : public ::testing::Test {
protected:
    void SetUp() override {
        ResetHostLocations();
        ResetCoreOnce();
        ResetPatches();
        platform::sim::ResetCodeMemory();
        Config::ResetSettingsForTest();
        Input::GetBackend().StopJob();
        gameState = arena.Allocate(0x1000);
        arena.WriteU32(kBase + offs::kGameState, gameState);
        Put(kModeSite, kHostModeStore);
        Put(kRenderSite, kHostRender);
        Put(kHubSite, kHostHub);
    }
    void TearDown() override {
        if (g_instance) g_instance->DeletingDestructor(1);
        Config::ResetSettingsForTest();
        ResetCoreOnce();
        ResetHostLocations();
        ResetPatches();
        platform::sim::ResetCodeMemory();
    }

    static void Put(uint32_t address, const Bytes& bytes) {
        std::memcpy(platform::HostPointer(address), bytes.data(), bytes.size());
    }
    static Bytes At(uint32_t address, size_t count) {
        Bytes bytes(count);
        std::memcpy(bytes.data(), platform::HostPointer(address), count);
        return bytes;
    }
    KVTControl* Started() {
        auto* control = static_cast<KVTControl*>(KVT_CreatePlugin(&game));
        control->GetPluginName();
        return control;
    }
    static std::vector<std::string> WritesIn(const std::vector<std::string>& calls) {
        std::vector<std::string> writes;
        for (const std::string& call : calls)
            if (call.rfind("write ", 0) == 0) writes.push_back(call);
        return writes;
    }

    kvt_test::ScratchGame scratch;
    HostArena arena{kBase, 0x1400000};
    kvt_test::RecordingGame game;
    uint32_t gameState = 0;
};

TEST_F(CodePatch, WriteJumpOpensProtectsWritesRestoresFlushesAndCloses) {
    const uint32_t target = 0x00401000;
    EXPECT_TRUE(WriteJump(kModeSite, target, true));
    const Bytes jump = Concat({{0xE9}, Le32(target - kModeSite - 5), {0x90}});
    EXPECT_EQ(At(kModeSite, 7), Concat({jump, {0xC3}}));
    const std::string site = Hex8(kModeSite);
    EXPECT_EQ(platform::sim::TakeCodeCalls(),
              (std::vector<std::string>{
                  "open 0x438", "protect " + site + " 6 0x40 (was 0x20)", "write " + site + HexBytes(jump),
                  "protect " + site + " 6 0x20 (was 0x40)", "flush " + site + " 6", "close"}));
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(platform::sim::CodeProtection(kModeSite + i), 0x20u);
    EXPECT_EQ(platform::sim::OpenProcessHandles(), 0u);
}

TEST_F(CodePatch, FiveByteJumpLeavesTheSixthByte) {
    const uint32_t target = kRenderSite - 0x1000;  // a hook below the site: a negative displacement
    EXPECT_TRUE(WriteJump(kRenderSite, target, false));
    EXPECT_EQ(At(kRenderSite, 6), (Bytes{0xE9, 0xFB, 0xEF, 0xFF, 0xFF, 0xC3}));
    const auto calls = platform::sim::TakeCodeCalls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[1], "protect " + Hex8(kRenderSite) + " 5 0x40 (was 0x20)");
}

TEST_F(CodePatch, NullSiteFailsAtOnce) {
    EXPECT_FALSE(WriteJump(0, 0x401000, true));
    EXPECT_TRUE(platform::sim::TakeCodeCalls().empty());
}

TEST_F(CodePatch, FailedOpenProtectOrWriteLeavesTheBytes) {
    platform::sim::FailCodeCall(CodeCall::kOpen);
    EXPECT_FALSE(WriteJump(kModeSite, 0x401000, true));
    EXPECT_EQ(platform::sim::TakeCodeCalls(), (std::vector<std::string>{"open 0x438 failed"}));
    EXPECT_EQ(At(kModeSite, 7), kHostModeStore);

    platform::sim::ResetCodeMemory();
    platform::sim::FailCodeCall(CodeCall::kProtect);
    EXPECT_FALSE(WriteJump(kModeSite, 0x401000, true));
    const std::string site = Hex8(kModeSite);
    EXPECT_EQ(
        platform::sim::TakeCodeCalls(),
        (std::vector<std::string>{"open 0x438", "protect " + site + " 6 0x40 (was 0x20) failed", "close"}))
        << "the handle is closed, nothing is written";
    EXPECT_EQ(At(kModeSite, 7), kHostModeStore);
    EXPECT_EQ(platform::sim::OpenProcessHandles(), 0u);

    platform::sim::ResetCodeMemory();
    platform::sim::FailCodeCall(CodeCall::kWrite);
    EXPECT_FALSE(WriteJump(kModeSite, 0x401000, true));
    const auto calls = platform::sim::TakeCodeCalls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_NE(calls[2].find(" failed"), std::string::npos);
    EXPECT_EQ(calls[3], "protect " + site + " 6 0x20 (was 0x40)")
        << "the protection is restored all the same";
    EXPECT_EQ(calls[4], "flush " + site + " 6");
    EXPECT_EQ(calls[5], "close");
    EXPECT_EQ(At(kModeSite, 7), kHostModeStore);
    EXPECT_EQ(platform::sim::CodeProtection(kModeSite), 0x20u);
}

TEST_F(CodePatch, FirstNameCallPatchesModeStoreThenRenderWithoutTheHub) {
    Started();
    const Bytes modeJump = Concat({{0xE9}, Le32(ModeStoreHookAddress() - kModeSite - 5), {0x90}});
    const Bytes renderJump = Concat({{0xE9}, Le32(RenderHookAddress() - kRenderSite - 5)});
    EXPECT_EQ(At(kModeSite, 7), Concat({modeJump, {0xC3}}));
    EXPECT_EQ(At(kRenderSite, 6), Concat({renderJump, {0xC3}}));
    EXPECT_EQ(At(kHubSite, 7), kHostHub) << "without the hub library the hub site is not touched";
    EXPECT_EQ(kvt_mode_store_continuation.load(), kModeSite + 6);
    EXPECT_EQ(kvt_render_continuation.load(), kRenderSite + 5);
    EXPECT_TRUE(Patches().modeStoreInstalled);
    EXPECT_TRUE(Patches().renderInstalled);

    const auto calls = platform::sim::TakeCodeCalls();
    EXPECT_EQ(WritesIn(calls),
              (std::vector<std::string>{"write " + Hex8(kModeSite) + HexBytes(modeJump),
                                        "write " + Hex8(kRenderSite) + HexBytes(renderJump)}));
    const auto module = std::find(calls.begin(), calls.end(), "module VelmoraHub.dll");
    ASSERT_NE(module, calls.end());
    EXPECT_LT(module - calls.begin(),
              std::find(calls.begin(), calls.end(), WritesIn(calls)[1]) - calls.begin())
        << "mode store, hub, render: the hub library is looked for before the render site is written";
    EXPECT_EQ(scratch.LogText().find("ERROR."), std::string::npos);
}

TEST_F(CodePatch, AnotherPluginsJumpIsChainedInto) {
    const uint32_t theirs = 0x00500000, theirsRender = 0x00600000;
    Put(kModeSite, Concat({{0xE9}, Le32(theirs - kModeSite - 5), {0x00, 0xC3}}));
    Put(kRenderSite, Concat({{0xE9}, Le32(theirsRender - kRenderSite - 5), {0xC3}}));
    Started();
    EXPECT_EQ(kvt_mode_store_continuation.load(), theirs) << "into their code, not site + 6";
    EXPECT_EQ(kvt_render_continuation.load(), theirsRender);
    EXPECT_EQ(At(kModeSite, 6), Concat({{0xE9}, Le32(ModeStoreHookAddress() - kModeSite - 5), {0x90}}));
    EXPECT_EQ(At(kRenderSite, 5), Concat({{0xE9}, Le32(RenderHookAddress() - kRenderSite - 5)}));
}

TEST_F(CodePatch, UnexpectedCodeLeavesTheSiteAndSaysSo) {
    const Bytes strange{0x55, 0x8B, 0xEC, 0x90, 0x90, 0x90, 0xC3};
    Put(kModeSite, strange);
    Started();
    EXPECT_EQ(At(kModeSite, 7), strange);
    EXPECT_EQ(kvt_mode_store_continuation.load(), 0u);
    EXPECT_TRUE(Patches().modeStoreInstalled) << "attempted, so never tried again";
    EXPECT_EQ(At(kRenderSite, 1), Bytes{0xE9}) << "the render site is patched all the same";
    const std::string log = scratch.LogText();
    EXPECT_NE(
        log.find("] ERROR. Unexpected code at the mode-store site base+0x7F392 (0x55); not patched\r\n"),
        std::string::npos)
        << log;
    EXPECT_EQ(WritesIn(platform::sim::TakeCodeCalls()).size(), 1u);
}

TEST_F(CodePatch, UnexpectedCodeAtTheRenderSiteToo) {
    Put(kRenderSite, {0x31, 0xC0, 0x90, 0x90, 0x90, 0xC3});
    Started();
    EXPECT_EQ(At(kRenderSite, 6), (Bytes{0x31, 0xC0, 0x90, 0x90, 0x90, 0xC3}));
    EXPECT_EQ(At(kModeSite, 1), Bytes{0xE9});
    const std::string log = scratch.LogText();
    EXPECT_NE(log.find("] ERROR. Unexpected code at the render site base+0xE896 (0x31); not patched\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("mode-store site"), std::string::npos);
}

TEST_F(CodePatch, HubLibraryLoadedGetsTheCall) {
    platform::sim::SetModule("velmorahub.DLL", ModuleState::kLoaded);
    Started();
    const Bytes call = Concat({{0xE8}, Le32(HubHookAddress() - kHubSite - 5), {0x90}});
    EXPECT_EQ(At(kHubSite, 7), Concat({call, {0xC3}}));
    const auto writes = WritesIn(platform::sim::TakeCodeCalls());
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[1], "write " + Hex8(kHubSite) + HexBytes(call)) << "between mode store and render";
    EXPECT_EQ(platform::sim::CodeProtection(kHubSite), 0x20u);
}

TEST_F(CodePatch, HubLookupWithANullHandleCountsAsNotLoaded) {
    platform::sim::SetModule(kHubModule, ModuleState::kLoadedWithNullHandle);
    Started();
    EXPECT_EQ(At(kHubSite, 7), kHostHub);
}

TEST_F(CodePatch, HubSiteIsNotExamined) {
    platform::sim::SetModule(kHubModule, ModuleState::kLoaded);
    Put(kHubSite, {0x55, 0x55, 0x55, 0x55, 0x55, 0x55});
    Started();
    EXPECT_EQ(At(kHubSite, 1), Bytes{0xE8});
}

TEST_F(CodePatch, LaterNameCallsAndLaterMainObjectsPatchNothing) {
    KVTControl* control = Started();
    platform::sim::TakeCodeCalls();
    control->GetPluginName();
    EXPECT_TRUE(platform::sim::TakeCodeCalls().empty());
    control->DeletingDestructor(1);
    Put(kModeSite, kHostModeStore);  // even a site restored by someone else stays alone
    Started();
    EXPECT_TRUE(platform::sim::TakeCodeCalls().empty());
    EXPECT_EQ(At(kModeSite, 7), kHostModeStore);
    InstallModeStorePatch();
    InstallHubPatch();
    InstallRenderPatch();
    EXPECT_TRUE(platform::sim::TakeCodeCalls().empty()) << "each patch is attempted once per process";
}

TEST_F(CodePatch, FailedWriteIsNotRetried) {
    platform::sim::FailCodeCall(CodeCall::kWrite);
    Started();
    EXPECT_EQ(At(kModeSite, 7), kHostModeStore);
    EXPECT_EQ(At(kRenderSite, 6), kHostRender);
    EXPECT_EQ(platform::sim::CodeProtection(kModeSite), 0x20u);
    EXPECT_EQ(platform::sim::CodeProtection(kRenderSite), 0x20u);
    EXPECT_EQ(scratch.LogText().find("ERROR."), std::string::npos) << "no message for a failed patch";
    platform::sim::ResetCodeMemory();  // the system would let it through now
    InstallModeStorePatch();
    InstallRenderPatch();
    EXPECT_TRUE(platform::sim::TakeCodeCalls().empty());
    EXPECT_EQ(At(kModeSite, 7), kHostModeStore);
}

// The host's base is unknown until the locations are resolved: its sites are null.
TEST_F(CodePatch, UnknownBaseTouchesNothing) {
    ASSERT_EQ(Host().base.load(), 0u);
    InstallModeStorePatch();
    InstallRenderPatch();
    EXPECT_TRUE(platform::sim::TakeCodeCalls().empty());
    EXPECT_TRUE(Patches().modeStoreInstalled);
    EXPECT_TRUE(Patches().renderInstalled);
    EXPECT_EQ(At(kModeSite, 7), kHostModeStore);
    EXPECT_EQ(scratch.LogText().find("ERROR."), std::string::npos);
}

TEST_F(CodePatch, HooksDoNothingWithoutAMainObject) {
    ASSERT_EQ(g_instance, nullptr);
    kvt_mode_store_hooked();
    kvt_render_hooked();
    kvt_hub_hooked();
    KVTControl* control = Started();
    control->DeletingDestructor(1);
    ASSERT_EQ(g_instance, nullptr);
    game.Clear();
    kvt_mode_store_hooked();
    kvt_render_hooked();
    kvt_hub_hooked();
    EXPECT_TRUE(game.calls.empty());
}

TEST_F(CodePatch, HooksReachTheMainObject) {
    KVTControl* control = Started();
    arena.WriteU32(gameState + offs::kGameModeField, 1);
    kvt_mode_store_hooked();
    EXPECT_TRUE(control->shifterPage->Engine().driving) << "OnGameModeChange ran";

    kvt_hub_hooked();
    EXPECT_FALSE(control->shifterPage->Engine().driving) << "the hub hook leaves driving";

    auto* item = MenuItem::OwnChoice(7, "Held", UNKNOWN, "");
    item->holdTime = 1000;
    control->holdProgress.SetHoldProgress(item, 500);
    game.Clear();
    kvt_render_hooked();
    EXPECT_EQ(game.TextsAt(250), (std::vector<std::string>{"Held"})) << "DrawHoldProgress ran";
    control->holdProgress.SetHoldProgress(item, 0);
    delete item;
}

TEST(RunForHost, CatchesEveryExceptionAndLogsIt) {
    kvt_test::ScratchGame scratch;
    EXPECT_NO_THROW(RunForHost("ERROR. The test hook failed.", [] { throw std::runtime_error("boom"); }));
    EXPECT_NO_THROW(RunForHost("ERROR. The test hook failed.", [] { throw 42; }));
    const std::string log = scratch.LogText();
    EXPECT_NE(log.find("] ERROR. The test hook failed. Exception: boom\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] ERROR. The test hook failed. Exception: Unkown Exception.\r\n"), std::string::npos)
        << log;
    bool ran = false;
    RunForHost("unused", [&] { ran = true; });
    EXPECT_TRUE(ran);
}

}  // namespace
