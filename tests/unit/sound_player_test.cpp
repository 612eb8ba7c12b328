// The sound player against a stand-in sound library installed in the game
// folder: where the library is found, the bank it loads (samples renamed,
// missing and bad files), the failures it logs, notifications one at a time,
// the grind placed from the car and camera in host memory, and its fade.
#include "sound/sound_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

#include "config/setting.h"
#include "core/host_locations.h"
#include "platform/modules.h"
#include "platform/sim/sim_platform.h"
#include "shared/fmod_standin.h"
#include "test_support.h"

namespace {
namespace fs = std::filesystem;
constexpr uint32_t kBase = 0x10000;

class SoundPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        g_settings = &settings;
        ResetHostLocations();
        platform::sim::SetTickCount(20000);
        for (const char* name : {"Shifter_Sequential.wav", "Shifter_HPattern.wav", "Shifter_AutoDetect.wav"})
            scratch.WriteFile(scratch.pluginFolder() / name, "RIFF");
        scratch.WriteFile(scratch.pluginFolder() / "Shifter_Error.wav.sample", "RIFF");
    }
    void TearDown() override {
        bank.FreeLibrary();
        platform::ReleaseModule(standIn);
        g_settings = nullptr;
        ResetHostLocations();
    }
    // The stand-in at that place, held by the test too so its settings and
    // record outlive the player's unloading.
    void Install(const fs::path& place, int createResult = 0, int initResult = 0, const char* badFile = "",
                 const char* library = KVT_FMOD_STANDIN) {
        fs::create_directories(place.parent_path());
        fs::copy_file(library, place, fs::copy_options::overwrite_existing);
        standIn = platform::OpenModule(place.string());
        ASSERT_NE(standIn, nullptr);
        reinterpret_cast<kvt_test::FmodStandInConfigure>(platform::FindModuleExport(
            standIn, kvt_test::kFmodStandInConfigure))(createResult, initResult, badFile);
        setPlaying = reinterpret_cast<kvt_test::FmodStandInSetPlaying>(
            platform::FindModuleExport(standIn, kvt_test::kFmodStandInSetPlaying));
        takeCalls = reinterpret_cast<kvt_test::FmodStandInTakeCalls>(
            platform::FindModuleExport(standIn, kvt_test::kFmodStandInTakeCalls));
        Calls();
    }
    fs::path OwnPlace() const { return scratch.pluginFolder() / "fmod.dll"; }
    std::string Calls() {
        char text[8192];
        takeCalls(text, sizeof text);
        return text;
    }
    // A car and a camera in host memory; rows are the camera's orientation.
    void Scene(int32_t view, const float car[3], const float camera[3], const float rows[3][3]) {
        auto put = [&](uint32_t address, float value) {
            uint32_t word;
            std::memcpy(&word, &value, sizeof word);
            arena.WriteU32(address, word);
        };
        const uint32_t carObject = arena.Allocate(0x200);
        const uint32_t object1 = arena.Allocate(0x800);
        const uint32_t holder = arena.Allocate(0x20);
        const uint32_t record = arena.Allocate(0x100);
        for (int i = 0; i < 3; ++i) put(carObject + 0x140 + 4 * i, car[i]);
        arena.WriteU32(object1 + 0x758, holder);
        arena.WriteU32(holder + 0x10, record);
        arena.WriteU32(record, static_cast<uint32_t>(view));
        for (int r = 0; r < 3; ++r)
            for (int i = 0; i < 3; ++i) put(record + 0xCC + 12 * r + 4 * i, rows[r][i]);
        for (int i = 0; i < 3; ++i) put(record + 0xF0 + 4 * i, camera[i]);
        Host().carObject = carObject;
        Host().hostObject1 = object1;
    }

    kvt_test::ScratchGame scratch;
    platform::sim::HostArena arena{kBase, 0x1400000};
    Config::Setting settings;
    SoundBank bank;
    platform::ModuleHandle standIn = nullptr;
    kvt_test::FmodStandInSetPlaying setPlaying = nullptr;
    kvt_test::FmodStandInTakeCalls takeCalls = nullptr;
};

TEST_F(SoundPlayer, WithoutTheLibraryItSaysSoAndStaysSilent) {
    EXPECT_FALSE(bank.LoadSounds());
    EXPECT_NE(scratch.LogText().find("Error while trying to load a sound library"), std::string::npos);
    EXPECT_FALSE(bank.PlayNotification(sound_ids::kHPattern));
    EXPECT_FALSE(bank.PlayGrindSound());
    EXPECT_TRUE(bank.StopOrFade(false));
}

TEST_F(SoundPlayer, LoadsTheBankOnceRenamingASampleAndSkippingMissingFiles) {
    fs::remove(scratch.pluginFolder() / "Shifter_AutoDetect.wav");
    Install(OwnPlace(), 0, 0, "HPattern");
    ASSERT_TRUE(bank.LoadSounds());
    EXPECT_EQ(Calls(),
              "System_Create 0x20220\n"
              "System_Init 512 0 null\n"
              "CreateSound Shifter_Sequential.wav 0x10\n"
              "CreateSound Shifter_HPattern.wav 0x10\n"
              "CreateSound Shifter_Error.wav 0x10\n");
    EXPECT_TRUE(fs::exists(scratch.pluginFolder() / "Shifter_Error.wav")) << "the sample became the sound";
    EXPECT_FALSE(fs::exists(scratch.pluginFolder() / "Shifter_Error.wav.sample"));
    const std::string log = scratch.LogText();
    EXPECT_NE(
        log.find("ERROR. Invalid sound file " + (scratch.pluginFolder() / "Shifter_HPattern.wav").string()),
        std::string::npos);
    EXPECT_EQ(log.find("Shifter_AutoDetect"), std::string::npos) << "a missing file is silent";
    EXPECT_EQ(bank.SoundCount(), 4u);
    EXPECT_FALSE(bank.PlayNotification(sound_ids::kHPattern)) << "its sound failed to load";
    EXPECT_FALSE(bank.PlayNotification(sound_ids::kAutoDetect)) << "its file is missing";
    Calls();
    EXPECT_TRUE(bank.LoadSounds());
    EXPECT_EQ(Calls(), "") << "a second load loads nothing";
}

TEST_F(SoundPlayer, ALibraryLackingAnEntryIsNotUsedAtAll) {
    Install(OwnPlace(), 0, 0, "", KVT_FMOD_STANDIN_PARTIAL);
    EXPECT_FALSE(bank.LoadSounds());
    EXPECT_EQ(Calls(), "") << "not even a system is created with it";
    EXPECT_FALSE(bank.SystemExists());
    EXPECT_NE(scratch.LogText().find("Error while trying to load a sound library"), std::string::npos);
    EXPECT_FALSE(bank.PlayGrindSound());
}

TEST_F(SoundPlayer, TheDistributionsLibraryServesWhenThePluginHasNone) {
    Install(scratch.root() / "plugins" / "TLZ" / "bin" / "x86" / "fmod.dll");
    EXPECT_TRUE(bank.LoadSounds());
    EXPECT_EQ(Calls().rfind("System_Create", 0), 0u);
}

TEST_F(SoundPlayer, AFailedCreationIsLoggedWithItsCodeAndAFailedInitSilently) {
    Install(OwnPlace(), 18);
    EXPECT_FALSE(bank.LoadSounds());
    EXPECT_FALSE(bank.SystemExists());
    EXPECT_NE(scratch.LogText().find(
                  "Error while trying to create a sound system objects: 18 FMOD_ERR_FILE_NOTFOUND"),
              std::string::npos);
    reinterpret_cast<kvt_test::FmodStandInConfigure>(
        platform::FindModuleExport(standIn, kvt_test::kFmodStandInConfigure))(0, 26, "");
    Calls();
    EXPECT_FALSE(bank.LoadSounds()) << "a later load tries again from the start";
    EXPECT_EQ(Calls(), "System_Create 0x20220\nSystem_Init 512 0 null\nSystem_Close\nSystem_Release\n");
    reinterpret_cast<kvt_test::FmodStandInConfigure>(
        platform::FindModuleExport(standIn, kvt_test::kFmodStandInConfigure))(0, 0, "");
    EXPECT_TRUE(bank.LoadSounds());
}

TEST_F(SoundPlayer, ASoundFolderOfThePlayersOwnIsTakenInsideTheGameFolder) {
    settings.soundFilePath = "MySounds";
    scratch.WriteFile(scratch.root() / "MySounds" / "Shifter_Error.wav", "RIFF");
    Install(OwnPlace());
    ASSERT_TRUE(bank.LoadSounds());
    EXPECT_EQ(Calls(), "System_Create 0x20220\nSystem_Init 512 0 null\nCreateSound Shifter_Error.wav 0x10\n");
    bank.ReleaseSounds();
    settings.soundFilePath = (scratch.root() / "MySounds").string();
    Calls();
    ASSERT_TRUE(bank.LoadSounds());
    EXPECT_NE(Calls().find("CreateSound Shifter_Error.wav"), std::string::npos)
        << "an absolute folder as it is";
}

TEST_F(SoundPlayer, OneNotificationAtATimeAtTheTypeVolume) {
    Install(OwnPlace());
    ASSERT_TRUE(bank.LoadSounds());
    settings.soundVolumeShiftType = 0;
    EXPECT_FALSE(bank.PlayNotification(sound_ids::kSequential)) << "muted";
    settings.soundVolumeShiftType = 0.5f;
    Calls();
    ASSERT_TRUE(bank.PlayNotification(sound_ids::kHPattern));
    EXPECT_EQ(Calls(), "PlaySound 1 null 1\nSetVolume 0.5000\nSetPaused 0\n");
    EXPECT_FALSE(bank.PlayNotification(sound_ids::kSequential)) << "refused, not queued";
    EXPECT_FALSE(bank.StopOrFade(false)) << "a notification plays to its end";
    setPlaying(0);
    EXPECT_TRUE(bank.StopOrFade(false));
    EXPECT_EQ(bank.Current(), sound_ids::kNone);
    EXPECT_TRUE(bank.PlayNotification(sound_ids::kSequential));
    EXPECT_FALSE(bank.PlayGrindSound()) << "one sound at a time";
}

TEST_F(SoundPlayer, TheGrindIsPlacedAroundTheListenerByTheCamerasView) {
    Install(OwnPlace());
    ASSERT_TRUE(bank.LoadSounds());
    settings.soundVolume = 2;
    const float car[3] = {11, 22, 33};
    const float camera[3] = {10, 20, 30};                        // d = (1, 2, 3)
    const float rows[3][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};  // x = d.y, z = d.z, y = d.x
    Scene(0, car, camera, rows);
    Calls();
    ASSERT_TRUE(bank.PlayGrindSound());
    EXPECT_EQ(Calls(),
              "PlaySound 3 null 1\nSetMode 0x40010\n"
              "Set3DAttributes 2.000 1.000 3.000 / 0.0 0.0 0.0\nSetLowPassGain 0.80\n"
              "SetVolume 0.2000\nSet3DOcclusion 0.0 0.0\nSetPaused 0\n")
        << "far away: the floor 0.1, times the volume";
    Scene(5, car, camera, rows);
    ASSERT_TRUE(bank.PlayGrindSound()) << "placed anew while it plays";
    // A cockpit view: 0.45 / (|(2, 1, 3)| + 0.45), times the volume.
    char expected[32];
    std::snprintf(expected, sizeof expected, "SetVolume %.4f", 2 * 0.45f / (std::sqrt(14.0f) + 0.45f));
    const std::string placed = Calls();
    EXPECT_EQ(placed.find("PlaySound"), std::string::npos);
    EXPECT_NE(placed.find(expected), std::string::npos) << placed;
    Scene(3, car, camera, rows);
    bank.PlayGrindSound();
    EXPECT_NE(Calls().find("Set3DAttributes 0.000 0.000 0.000"), std::string::npos)
        << "view 3: at the listener";

    // A quarter away: cockpit views 4 to 6 0.45 / 0.7, the others 1 - 2 * 0.25.
    const float near[3] = {10.25f, 20, 30};
    for (const auto& [view, volume] :
         {std::pair{4, "1.2857"}, std::pair{6, "1.2857"}, std::pair{7, "1.0000"}, std::pair{2, "1.0000"}}) {
        Scene(view, near, camera, rows);
        bank.PlayGrindSound();
        EXPECT_NE(Calls().find(std::string("SetVolume ") + volume), std::string::npos) << "view " << view;
    }
}

TEST_F(SoundPlayer, APlayTheLibraryRefusesLeavesNothingPlaying) {
    Install(OwnPlace());
    ASSERT_TRUE(bank.LoadSounds());
    Calls();
    reinterpret_cast<kvt_test::FmodStandInSetPlayResult>(
        platform::FindModuleExport(standIn, kvt_test::kFmodStandInSetPlayResult))(30);
    EXPECT_FALSE(bank.PlayNotification(sound_ids::kSequential));
    EXPECT_FALSE(bank.PlayGrindSound());
    EXPECT_EQ(bank.Current(), sound_ids::kNone);
    EXPECT_EQ(Calls(), "PlaySound 0 null 1\nPlaySound 3 null 1\n") << "nothing set on a channel it never got";
}

TEST_F(SoundPlayer, TheGrindFadesOutOver150MsAndAnEndedOneBlocksUntilStopped) {
    Install(OwnPlace());
    ASSERT_TRUE(bank.LoadSounds());
    const float zero[3] = {0, 0, 0};
    const float rows[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Scene(3, zero, zero, rows);  // at the listener: full volume
    ASSERT_TRUE(bank.PlayGrindSound());
    uint32_t stoppedAfter = 0;
    for (uint32_t t = 0; t < 300 && !stoppedAfter; ++t) {
        if (bank.StopOrFade(false)) stoppedAfter = t;
        platform::sim::AdvanceTime(1);
    }
    EXPECT_EQ(stoppedAfter, 143u);
    EXPECT_EQ(bank.Current(), sound_ids::kNone);

    ASSERT_TRUE(bank.PlayGrindSound());
    setPlaying(0);  // it ended by itself
    EXPECT_FALSE(bank.PlayGrindSound()) << "the ended grind still holds the player";
    EXPECT_TRUE(bank.StopOrFade(false));
    setPlaying(1);
    EXPECT_TRUE(bank.PlayGrindSound());
    Calls();
    EXPECT_TRUE(bank.StopOrFade(true));
    EXPECT_EQ(Calls(), "SetVolume 0.0000\nStop\n") << "forced: cut at once";
}

TEST_F(SoundPlayer, ReleaseStopsChannelsAndFreesSoundsAndSystem) {
    Install(OwnPlace());
    ASSERT_TRUE(bank.LoadSounds());
    ASSERT_TRUE(bank.PlayNotification(sound_ids::kAutoDetect));
    Calls();
    bank.ReleaseSounds();
    EXPECT_EQ(Calls(),
              "Stop\nSound_Release 0\nSound_Release 1\nSound_Release 2\nSound_Release 3\n"
              "System_Close\nSystem_Release\n");
    EXPECT_EQ(bank.Current(), sound_ids::kNone);
    EXPECT_EQ(bank.SoundCount(), 0u);
    EXPECT_FALSE(bank.PlayNotification(sound_ids::kSequential));
    ASSERT_TRUE(bank.LoadSounds());
    Calls();
    bank.ReleaseSounds();
    EXPECT_EQ(Calls().find("Stop"), std::string::npos) << "no channel of the last bank is stopped twice";
}

// The job's thread plays and fades while the host's thread loads and releases
// (GearGate switched on and off): for the thread checker, and nothing may
// touch a released sound.
TEST_F(SoundPlayer, PlaybackAndReloadingOnTwoThreadsNeverMeet) {
    Install(OwnPlace());
    ASSERT_TRUE(bank.LoadSounds());
    const float zero[3] = {0, 0, 0};
    const float rows[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Scene(0, zero, zero, rows);
    std::atomic<bool> playing{true};
    std::thread job([&] {
        for (int i = 0; playing; ++i) {
            if (i % 3 == 0) bank.PlayNotification(i % 9 == 0 ? 0 : 2);
            bank.PlayGrindSound();
            bank.StopOrFade(i % 2 == 0);
        }
    });
    for (int round = 0; round < 300; ++round) {
        bank.ReleaseSounds();
        bank.LoadSounds();
    }
    playing = false;
    job.join();
    EXPECT_TRUE(bank.SystemExists());
    EXPECT_EQ(bank.SoundCount(), 4u);
}

// A log line names the library's code by its place in the published
// enumeration: one name missing or out of order shifts every name after it.
TEST(SoundLibraryResult, TextsFollowTheEnumerationToItsLastCode) {
    const std::pair<FMOD_RESULT, std::string> cases[] = {{0, "No errors."},
                                                         {69, "FMOD_ERR_VERSION"},
                                                         {70, "FMOD_ERR_EVENT_ALREADY_LOADED"},
                                                         {81, "FMOD_ERR_TOOMANYSAMPLES"},
                                                         {82, "Unknown error."},
                                                         {-1, "Unknown error."}};
    for (const auto& [code, text] : cases) EXPECT_EQ(sound_lib::ResultText(code), text) << "code " << code;
}

}  // namespace
