// The Win32 side of the platform seam under Wine: profile reads answer the same
// table as the simulated platform, files are replaced in one step, the text
// conversions, the module queries and the render device's window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/log.h"
#include "platform/platform.h"
#include "shared/profile_cases.h"
#include "shared/profile_write_cases.h"

namespace {
namespace fs = std::filesystem;

class Win32Files : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("kvt-win32-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path root;
};

TEST_F(Win32Files, ProfileReadsAnswerTheSharedTable) {
    for (const kvt_test::ProfileCase& c : kvt_test::kProfileCases) {
        const fs::path file = root / "profile.ini";
        fs::remove(file);
        if (c.fileText) Write(file, c.fileText);
        char buffer[256];
        std::memset(buffer, 'z', sizeof buffer);
        const uint32_t count = platform::ReadPrivateProfileString(c.section, c.key, c.defaultText, buffer,
                                                                  c.bufferSize, file.string().c_str());
        EXPECT_EQ(count, c.expectedCount) << c.what;
        EXPECT_STREQ(buffer, c.expected) << c.what;
    }
}

TEST_F(Win32Files, ProfileWritesAnswerTheSharedTable) {
    const fs::path file = root / "CarInfo.ini";
    const std::string path = file.string();
    for (const kvt_test::ProfileWriteCase& c : kvt_test::kProfileWriteCases) {
        fs::remove(file);
        if (c.fileText) Write(file, c.fileText);
        for (const kvt_test::ProfileWrite& w : c.writes)
            EXPECT_TRUE(platform::WriteProfileValue(w.section, w.key, w.value, path.c_str())) << c.what;
        for (const kvt_test::ProfileRead& r : c.reads) {
            char buffer[256] = {};
            platform::ReadPrivateProfileString(r.section, r.key, "default", buffer, sizeof buffer,
                                               path.c_str());
            EXPECT_STREQ(buffer, r.expected) << c.what << ": " << r.section << "." << r.key;
        }
    }
    EXPECT_FALSE(platform::WriteProfileValue("Car1", "h_pattern", "1",
                                             (root / "no" / "CarInfo.ini").string().c_str()));
}

TEST_F(Win32Files, ReplaceSwapsInTheNewFileOrLeavesBothAlone) {
    const fs::path target = root / "KVTControls.ini", replacement = root / "KVTControls.ini.tmp";
    Write(target, "old");
    Write(replacement, "new");
    EXPECT_TRUE(platform::ReplaceFileWith(replacement.string(), target.string()));
    EXPECT_EQ(Read(target), "new");
    EXPECT_FALSE(fs::exists(replacement));

    fs::create_directories(root / "folder" / "inside");
    Write(replacement, "newer");
    errno = 0;
    EXPECT_FALSE(platform::ReplaceFileWith(replacement.string(), (root / "folder").string()));
    EXPECT_NE(errno, 0);
    EXPECT_EQ(Read(replacement), "newer");
}

// What the settings save relies on: a file another program holds without
// sharing cannot be opened (EACCES), and a written stream can be pushed to disk.
TEST_F(Win32Files, HeldFilesRefuseToOpenAndWrittenStreamsFlush) {
    const fs::path file = root / "KVTControls.ini";
    Write(file, "[S]\nk = 1\n");
    HANDLE held = CreateFileA(file.string().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    errno = 0;
    EXPECT_EQ(platform::OpenFile(file.string(), "rb"), nullptr);
    EXPECT_EQ(errno, EACCES);
    CloseHandle(held);

    std::FILE* out = platform::OpenFile(file.string(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_GE(std::fputs("flushed", out), 0);
    ASSERT_EQ(std::fflush(out), 0);
    EXPECT_TRUE(platform::FlushToDisk(out));
    std::fclose(out);
    EXPECT_EQ(Read(file), "flushed");
}

TEST_F(Win32Files, LogLinesEndWithCrLfOnce) {
    const fs::path log = root / "KVTControls.log";
    OpenLog(log.string());
    LogLine("first");
    LogLine("second");
    CloseLog();
    const std::string text = Read(log);
    EXPECT_NE(text.find("] first\r\n["), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 8), "second\r\n");
}

TEST(Win32Text, ConversionsOfTheSystem) {
    EXPECT_EQ(platform::Utf8ToWide("a\xC3\xA9z"), std::wstring(L"a\u00E9z"));
    EXPECT_EQ(platform::Utf8ToWide(""), std::wstring());
    EXPECT_EQ(platform::WideToCodePage(L"Pad 2"), "Pad 2");
    EXPECT_EQ(platform::WideToCodePage(L""), "");
}

TEST(Win32Process, ExecutablePathAndBaseAreThisProgram) {
    const std::string path = platform::HostExecutablePath();
    EXPECT_EQ(path.substr(path.size() - 19), "kvt_win32_tests.exe") << path;
    EXPECT_EQ(platform::FindHostBase(),
              static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))));
}

// The job's clock is the performance counter's milliseconds, and its wait
// lasts at least what it was asked (Wine offers the high-resolution timer).
TEST(Win32Clock, ClockFollowsTheCounterAndTheWaitIsNeverShort) {
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    platform::PreciseWait wait;
    EXPECT_TRUE(wait.HighResolution()) << wait.Refused();
    for (uint32_t ms : {1u, 5u, 25u}) {
        QueryPerformanceCounter(&before);
        const uint32_t start = platform::ClockMs();
        wait.Wait(ms);
        const uint32_t waited = platform::ClockMs() - start;
        QueryPerformanceCounter(&after);
        const double counted = 1000.0 * double(after.QuadPart - before.QuadPart) / double(frequency.QuadPart);
        EXPECT_GE(counted, ms - 0.5) << ms;
        EXPECT_LE(std::abs(double(waited) - counted), 1.0) << ms;
    }
}

// A device with the shape the host's render device has: stdcall entries with
// the object as the first stack argument; entry 10 fills four words.
struct FakeDevice {
    const void* const* vtable;
};
long __stdcall Unexpected(void*) {
    return -1;
}
long __stdcall CreationParameters(void*, uint32_t* words) {
    words[0] = 0;
    words[1] = 1;
    words[2] = 0xABC0;
    words[3] = 0x40;
    return 0;
}
long __stdcall Failing(void*, uint32_t*) {
    return -2147467259;
}

TEST(Win32Process, DeviceWindowIsTheThirdWordOfTheCreationParameters) {
    const void* entries[12];
    for (auto& entry : entries) entry = reinterpret_cast<const void*>(&Unexpected);
    entries[9] = reinterpret_cast<const void*>(&CreationParameters);
    FakeDevice device{entries};
    const auto address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&device));
    EXPECT_EQ(platform::QueryDeviceWindow(address), 0xABC0u);
    entries[9] = reinterpret_cast<const void*>(&Failing);
    EXPECT_EQ(platform::QueryDeviceWindow(address), 0u) << "a failed query gives no window";
    EXPECT_EQ(platform::QueryDeviceWindow(0), 0u);
}

}  // namespace
