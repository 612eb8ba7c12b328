// The sound player and the module pin on the real loader under Wine: the
// stand-in sound library, whose entries are stdcall as the real library's
// are, is found in the plug-in folder and driven through a whole grind, so a
// wrong calling convention on either side shows as a crash or a wrong stack.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/host_locations.h"
#include "core/log.h"
#include "core/paths.h"
#include "platform/modules.h"
#include "shared/fmod_standin.h"
#include "sound/sound_player.h"

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& file) {
    std::ofstream(file, std::ios::binary) << "RIFF";
}

TEST(Win32Sound, ThePluginFoldersLibraryPlaysAGrindThroughItsStdcallEntries) {
    ComputePaths();
    const fs::path folder = Paths().pluginFolder;
    fs::create_directories(folder);
    OpenLog(Paths().logFile);
    const fs::path host = Paths().hostDirectory;
    fs::copy_file(host / "fmod_standin.dll", folder / "fmod.dll", fs::copy_options::overwrite_existing);
    Touch(folder / "Shifter_Error.wav.sample");
    static uint8_t car[0x200] = {};
    Host().carObject = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(car));

    {
        SoundBank bank;
        ASSERT_TRUE(bank.LoadSounds());
        // The shipped sample became the sound.
        EXPECT_TRUE(fs::exists(folder / "Shifter_Error.wav"));
        EXPECT_FALSE(fs::exists(folder / "Shifter_Error.wav.sample"));
        EXPECT_TRUE(bank.PlayGrindSound());
        EXPECT_EQ(bank.Current(), sound_ids::kGrind);
        EXPECT_FALSE(bank.PlayNotification(0));
        EXPECT_TRUE(bank.StopOrFade(true));
        EXPECT_EQ(bank.Current(), sound_ids::kNone);

        platform::ModuleHandle library = platform::OpenModule((folder / "fmod.dll").string());
        ASSERT_NE(library, nullptr);
        auto take = reinterpret_cast<kvt_test::FmodStandInTakeCalls>(
            platform::FindModuleExport(library, kvt_test::kFmodStandInTakeCalls));
        ASSERT_NE(take, nullptr);
        char calls[4096];
        take(calls, sizeof calls);
        platform::ReleaseModule(library);
        EXPECT_STREQ(calls,
                     "System_Create 0x20220\n"
                     "System_Init 512 0 null\n"
                     "CreateSound Shifter_Error.wav 0x10\n"
                     "PlaySound 0 null 1\n"
                     "SetMode 0x40010\n"
                     "Set3DAttributes 0.000 0.000 0.000 / 0.0 0.0 0.0\n"
                     "SetLowPassGain 0.80\n"
                     "SetVolume 1.0000\n"
                     "Set3DOcclusion 0.0 0.0\n"
                     "SetPaused 0\n"
                     "SetVolume 0.0000\n"
                     "Stop\n");
    }
    Host().carObject = 0;
    CloseLog();
    std::error_code ignored;
    fs::remove_all(host / "Plugins", ignored);
}

TEST(Win32Modules, APinnedLibraryOutlivesItsLastFree) {
    const fs::path copy = fs::path(Paths().hostDirectory) / "pinned_standin.dll";
    fs::copy_file(fs::path(Paths().hostDirectory) / "vr_standin.dll", copy,
                  fs::copy_options::overwrite_existing);
    HMODULE module = LoadLibraryA(copy.string().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(platform::PinLoadedModule("pinned_standin.dll"));
    FreeLibrary(module);
    EXPECT_EQ(GetModuleHandleA("pinned_standin.dll"), module);
    EXPECT_FALSE(platform::PinLoadedModule("never_loaded_here.dll"));
}

}  // namespace
