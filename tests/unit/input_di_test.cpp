// The keyboard reader on the scripted keyboard: connecting, key changes and
// their room, failed reads, disconnecting, key names and their cache, and the
// reader's lock against the host's thread.
#include "input/input_di.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "core/log.h"
#include "input/device_locks.h"
#include "platform/sim/sim_keyboard.h"
#include "test_support.h"

namespace {

using platform::sim::KeyboardCall;
using Changes = std::vector<std::pair<int32_t, bool>>;
namespace simkb = platform::sim;

constexpr uint32_t kWindow = 0x4321;
constexpr platform::InputResult kFailure = static_cast<platform::InputResult>(0x80004005);

size_t CountOf(const std::string& text, const std::string& line) {
    size_t count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
    return count;
}

// Asked from another thread, since the reader's own thread may hold it.
bool KeyboardLockHeld() {
    return std::async(std::launch::async,
                      [] {
                          if (!Input::g_keyboardLock.TryLock()) return true;
                          Input::g_keyboardLock.Unlock();
                          return false;
                      })
        .get();
}

class KeyboardReader : public ::testing::Test {
protected:
    void SetUp() override { simkb::ResetKeyboard(); }
    void TearDown() override { simkb::ResetKeyboard(); }

    Changes Read(int room = 8) {
        Input::KeyChange changes[8];
        const int count = reader.ReadKeyChanges(changes, room);
        Changes out;
        for (int i = 0; i < count; ++i) out.emplace_back(changes[i].key, changes[i].pressed);
        return out;
    }
    static void Press(std::initializer_list<int32_t> keys, bool down = true) {
        for (int32_t key : keys) simkb::SetKeyDown(key, down);
    }
    static simkb::KeyboardCounts Counts() { return simkb::KeyboardCallCounts(); }
    std::string Log() const { return scratch.LogText(); }

    kvt_test::ScratchGame scratch;
    Input::InputDI reader{kWindow};
};

TEST_F(KeyboardReader, UnconnectedReaderReadsNothingAndCreatesNothing) {
    Press({30});
    EXPECT_EQ(Read(), Changes{});
    reader.DisconnectKeyboard();
    const simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.directInputsCreated, 0);
    EXPECT_EQ(counts.devicesCreated, 0);
    EXPECT_EQ(counts.stateReads, 0);
}

TEST_F(KeyboardReader, ConnectSetsUpOneDeviceForTheHostWindowAndThenOnlyAcquires) {
    EXPECT_TRUE(reader.ConnectKeyboard());
    simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.directInputsCreated, 1);
    EXPECT_EQ(counts.devicesCreated, 1);
    EXPECT_EQ(counts.formatsSet, 1);
    EXPECT_EQ(counts.lastWindow, kWindow);
    EXPECT_EQ(counts.lastFlags, 6u);

    EXPECT_TRUE(reader.ConnectKeyboard()) << "already acquired (S_FALSE) is connected too";
    counts = Counts();
    EXPECT_EQ(counts.directInputsCreated, 1);
    EXPECT_EQ(counts.devicesCreated, 1);
    EXPECT_EQ(counts.acquires, 2);
    EXPECT_EQ(Log(), "");
}

TEST_F(KeyboardReader, KeysHeldAtConnectArePressesOfTheFirstReadAndKeyZeroNeverCounts) {
    Press({0, 42});
    ASSERT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(Read(), (Changes{{42, true}}));
    EXPECT_EQ(Read(), Changes{});
    Press({0, 42}, false);
    EXPECT_EQ(Read(), (Changes{{42, false}}));
}

// A release that did not fit must still come: a key reported down and never
// up auto-repeats in the game until the player presses it again.
TEST_F(KeyboardReader, ChangesBeyondTheRoomComeInTheNextRead) {
    ASSERT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(Read(), Changes{});
    Press({250, 17, 3, 90, 44, 5, 61, 128, 200});
    EXPECT_EQ(
        Read(),
        (Changes{
            {3, true}, {5, true}, {17, true}, {44, true}, {61, true}, {90, true}, {128, true}, {200, true}}));
    EXPECT_EQ(Read(), (Changes{{250, true}})) << "the ninth press comes next";
    EXPECT_EQ(Read(), Changes{});
    Press({3, 5, 17, 44, 61, 90, 128, 200, 250}, false);
    EXPECT_EQ(Read().size(), 8u);
    EXPECT_EQ(Read(), (Changes{{250, false}})) << "a release that did not fit is not lost";
    Press({4});
    Press({4}, false);
    EXPECT_EQ(Read(), Changes{}) << "down and up again between two reads is no change";

    Press({3, 5, 17, 44});
    Input::KeyChange changes[8];
    for (Input::KeyChange& change : changes) change = {77, false};
    ASSERT_EQ(reader.ReadKeyChanges(changes, 3), 3);
    EXPECT_EQ(changes[2].key, 17);
    EXPECT_TRUE(changes[2].pressed);
    EXPECT_EQ(changes[3].key, 77) << "nothing is written past the room";
    EXPECT_EQ(Read(), (Changes{{44, true}}));
}

// The host window losing the focus makes DirectInput drop the acquisition: reads
// fail, each retries the acquisition and reports nothing, and once back the
// changes are measured from the last state that was read.
TEST_F(KeyboardReader, FailedReadsReacquireAndKeepTheLastGoodState) {
    Press({30});
    ASSERT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(Read(), (Changes{{30, true}}));

    simkb::SetWindowInFront(false);
    Press({31});
    EXPECT_EQ(Read(), Changes{});
    EXPECT_EQ(Read(), Changes{});
    EXPECT_EQ(Counts().acquires, 3) << "every failed read tries to acquire again";
    Press({30}, false);

    simkb::SetWindowInFront(true);
    EXPECT_EQ(Read(), Changes{}) << "the read that re-acquires reports nothing";
    EXPECT_EQ(Read(), (Changes{{30, false}, {31, true}}));
    EXPECT_EQ(Counts().devicesCreated, 1);
    EXPECT_EQ(Log(), "") << "a refused acquisition is silent";
}

TEST_F(KeyboardReader, RefusedConnectKeepsTheDeviceForTheNextOne) {
    simkb::SetWindowInFront(false);
    EXPECT_FALSE(reader.ConnectKeyboard());
    simkb::SetWindowInFront(true);
    EXPECT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(Counts().devicesCreated, 1);
    EXPECT_EQ(Counts().formatsSet, 1);
}

TEST_F(KeyboardReader, CreationFailuresAreAlwaysLoggedAndRetriedAtTheNextConnect) {
    simkb::FailCall(KeyboardCall::CreateDirectInput, kFailure);
    EXPECT_FALSE(reader.ConnectKeyboard());
    simkb::FailCall(KeyboardCall::CreateDirectInput, 0);
    simkb::CreateYieldsNull(KeyboardCall::CreateDirectInput, true);
    EXPECT_FALSE(reader.ConnectKeyboard());
    simkb::CreateYieldsNull(KeyboardCall::CreateDirectInput, false);
    EXPECT_EQ(CountOf(Log(), "] ERROR. Failed to create DI object\r\n"), 2u) << Log();

    simkb::FailCall(KeyboardCall::CreateDevice, kFailure);
    EXPECT_FALSE(reader.ConnectKeyboard());
    simkb::FailCall(KeyboardCall::CreateDevice, 0);
    simkb::CreateYieldsNull(KeyboardCall::CreateDevice, true);
    EXPECT_FALSE(reader.ConnectKeyboard());
    simkb::CreateYieldsNull(KeyboardCall::CreateDevice, false);
    EXPECT_EQ(CountOf(Log(), "] ERROR. Failed to create DI-KBD object\r\n"), 2u) << Log();

    EXPECT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(Counts().directInputsCreated, 1) << "the DirectInput object is kept once made";
    EXPECT_EQ(Read(), Changes{});
}

TEST_F(KeyboardReader, ExceptionsNeverLeaveTheReaderAndAreLoggedOnlyWhenVerbose) {
    const std::string line = "] ERROR. Exception in ConnectKeyboard\r\n";
    simkb::ThrowOnCall(KeyboardCall::Acquire, true);
    EXPECT_FALSE(reader.ConnectKeyboard());
    EXPECT_EQ(CountOf(Log(), line), 0u);
    g_verboseLog = true;
    EXPECT_FALSE(reader.ConnectKeyboard());
    EXPECT_EQ(CountOf(Log(), line), 1u);

    simkb::FailCall(KeyboardCall::ReadState, kFailure);
    EXPECT_EQ(Read(), Changes{}) << "a failing re-acquire in a read stays in the read";
    EXPECT_EQ(CountOf(Log(), line), 2u);

    simkb::ThrowOnCall(KeyboardCall::Acquire, false);
    simkb::FailCall(KeyboardCall::ReadState, 0);
    EXPECT_TRUE(reader.ConnectKeyboard()) << "the lock was let go";
}

TEST_F(KeyboardReader, DisconnectReleasesTheDeviceAndForgetsTheKeysThatWereDown) {
    ASSERT_TRUE(reader.ConnectKeyboard());
    reader.DisconnectKeyboard();
    EXPECT_EQ(Log(), "") << "quiet unless verbose";

    g_verboseLog = true;
    ASSERT_TRUE(reader.ConnectKeyboard());
    Press({30});
    EXPECT_EQ(Read(), (Changes{{30, true}}));
    reader.DisconnectKeyboard();
    reader.DisconnectKeyboard();
    const std::string log = Log();
    EXPECT_EQ(CountOf(log, "] Disconnecting keyboard...\r\n"), 1u) << log;
    ASSERT_EQ(CountOf(log, "] Keyboard disconnected\r\n"), 1u) << log;
    EXPECT_LT(log.find("Disconnecting keyboard..."), log.find("Keyboard disconnected"));
    simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.devicesReleased, 2);
    EXPECT_EQ(counts.unacquires, 2);
    EXPECT_EQ(Read(), Changes{});
    EXPECT_EQ(Counts().stateReads, counts.stateReads);

    Press({30}, false);
    ASSERT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(Read(), Changes{}) << "no release for a key that was down at the disconnect";
    Press({30});
    EXPECT_EQ(Read(), (Changes{{30, true}}));
    reader.DisconnectKeyboard();
    ASSERT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(Read(), (Changes{{30, true}})) << "held through a reconnect: pressed again";
    EXPECT_EQ(Counts().directInputsCreated, 1);
    EXPECT_EQ(Counts().devicesCreated, 4);
}

TEST_F(KeyboardReader, KeyNamesComeFromADeviceOfTheirOwnAndAreCached) {
    simkb::SetKeyName(30, u"A");
    simkb::SetKeyName(40, u"");
    simkb::SetKeyName(50, u"\u00C4\u4E00");
    EXPECT_EQ(reader.GetKeyCodeName(30), "") << "no DirectInput yet";
    ASSERT_TRUE(reader.ConnectKeyboard());
    EXPECT_EQ(reader.GetKeyCodeName(30), "K30 Keyboard A") << "not cached while DirectInput was missing";
    simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.devicesCreated, 2);
    EXPECT_EQ(counts.devicesReleased, 1);
    EXPECT_EQ(counts.unacquires, 1);
    EXPECT_EQ(counts.formatsSet, 2);
    EXPECT_EQ(counts.lastWindow, kWindow);
    EXPECT_EQ(counts.lastFlags, 6u);
    EXPECT_EQ(counts.nameReads, 1);
    EXPECT_EQ(counts.nameReadsOnConnectedDevice, 0);

    EXPECT_EQ(reader.GetKeyCodeName(40), "") << "an empty name";
    EXPECT_EQ(reader.GetKeyCodeName(41), "") << "no name at all";
    EXPECT_EQ(reader.GetKeyCodeName(50), "K50 Keyboard \xC4?") << "through the code page";
    counts = Counts();
    for (int32_t key : {30, 40, 41, 50}) reader.GetKeyCodeName(key);
    EXPECT_EQ(Counts().devicesCreated, counts.devicesCreated) << "cached, the empty ones too";
    EXPECT_EQ(Counts().nameReads, counts.nameReads);

    Press({31});
    EXPECT_EQ(Read(), (Changes{{31, true}})) << "the connected device is untouched";
    reader.DisconnectKeyboard();
    simkb::SetKeyName(60, u"F");
    EXPECT_EQ(reader.GetKeyCodeName(60), "K60 Keyboard F") << "names need DirectInput, not the connection";
}

TEST_F(KeyboardReader, NameLookupsThatCannotStartAreRetriedButFailedOnesAreCached) {
    simkb::SetKeyName(30, u"A");
    simkb::SetKeyName(33, u"F");
    simkb::SetKeyName(34, u"G");
    ASSERT_TRUE(reader.ConnectKeyboard());
    simkb::FailCall(KeyboardCall::CreateDevice, kFailure);
    EXPECT_EQ(reader.GetKeyCodeName(30), "");
    simkb::FailCall(KeyboardCall::CreateDevice, 0);
    EXPECT_EQ(reader.GetKeyCodeName(30), "K30 Keyboard A");

    simkb::ThrowOnCall(KeyboardCall::SetDataFormat, true);
    EXPECT_EQ(reader.GetKeyCodeName(33), "");
    EXPECT_EQ(CountOf(Log(), "Exception in GetKeyCodeName"), 0u) << "quiet unless verbose";
    simkb::ThrowOnCall(KeyboardCall::SetDataFormat, false);
    g_verboseLog = true;
    simkb::ThrowOnCall(KeyboardCall::ReadName, true);
    EXPECT_EQ(reader.GetKeyCodeName(34), "");
    EXPECT_EQ(CountOf(Log(), "] ERROR. Exception in GetKeyCodeName\r\n"), 1u) << Log();
    simkb::ThrowOnCall(KeyboardCall::ReadName, false);

    simkb::FailCall(KeyboardCall::ReadName, kFailure);
    simkb::SetKeyName(35, u"H");
    EXPECT_EQ(reader.GetKeyCodeName(35), "");
    simkb::FailCall(KeyboardCall::ReadName, 0);
    for (int32_t key : {33, 34, 35})
        EXPECT_EQ(reader.GetKeyCodeName(key), "") << key << " stays cached empty";
    const simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.devicesReleased, counts.devicesCreated - 1) << "every temporary device is released";
}

TEST_F(KeyboardReader, ALetGoReaderGivesBackEveryDirectInputObject) {
    {
        Input::InputDI other(kWindow);
        ASSERT_TRUE(other.ConnectKeyboard());
        simkb::SetKeyName(30, u"A");
        other.GetKeyCodeName(30);
    }
    const simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.devicesReleased, counts.devicesCreated);
    EXPECT_EQ(counts.directInputsReleased, counts.directInputsCreated);
    EXPECT_EQ(counts.callsAfterRelease, 0);
}

// The job reads on its thread while the menu on the host's thread may
// disconnect the keyboard; DirectInput must never see one device used and
// released at once.
TEST_F(KeyboardReader, TheKeyboardLockCoversEveryDirectInputCall) {
    std::vector<std::pair<KeyboardCall, bool>> seen;
    for (KeyboardCall call : {KeyboardCall::Acquire, KeyboardCall::ReadState, KeyboardCall::ReadName})
        simkb::SetCallHook(call, [&seen, call] { seen.emplace_back(call, KeyboardLockHeld()); });
    ASSERT_TRUE(reader.ConnectKeyboard());
    Read();
    simkb::FailCall(KeyboardCall::ReadState, kFailure);
    Read();
    simkb::SetKeyName(30, u"A");
    reader.GetKeyCodeName(30);
    EXPECT_EQ(seen, (std::vector<std::pair<KeyboardCall, bool>>{{KeyboardCall::Acquire, true},
                                                                {KeyboardCall::ReadState, true},
                                                                {KeyboardCall::ReadState, true},
                                                                {KeyboardCall::Acquire, true},
                                                                {KeyboardCall::ReadName, true}}));
    EXPECT_FALSE(KeyboardLockHeld());
}

TEST_F(KeyboardReader, ADisconnectDuringAReadWaitsForIt) {
    ASSERT_TRUE(reader.ConnectKeyboard());
    std::thread host;
    std::future_status whileReading = std::future_status::ready;
    simkb::SetCallHook(KeyboardCall::ReadState, [&] {
        simkb::SetCallHook(KeyboardCall::ReadState, nullptr);
        std::packaged_task<void()> disconnect([&] { reader.DisconnectKeyboard(); });
        std::future<void> done = disconnect.get_future();
        host = std::thread(std::move(disconnect));
        // Room for a disconnect that did not wait to release the device now.
        whileReading = done.wait_for(std::chrono::milliseconds(100));
    });
    Press({30});
    EXPECT_EQ(Read(), (Changes{{30, true}}));
    host.join();
    EXPECT_EQ(whileReading, std::future_status::timeout);
    const simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.releasesWhileInUse, 0);
    EXPECT_EQ(counts.callsAfterRelease, 0);
    EXPECT_EQ(counts.devicesReleased, 1);
    EXPECT_EQ(Read(), Changes{});
}

// A read that fails re-acquires the device it had; a disconnect arriving
// meanwhile must not be undone by a new device.
TEST_F(KeyboardReader, AFailedReadNeverBringsBackADisconnectedKeyboard) {
    ASSERT_TRUE(reader.ConnectKeyboard());
    simkb::FailCall(KeyboardCall::ReadState, kFailure);
    std::thread host;
    simkb::SetCallHook(KeyboardCall::ReadState, [&] {
        simkb::SetCallHook(KeyboardCall::ReadState, nullptr);
        host = std::thread([&] { reader.DisconnectKeyboard(); });
    });
    EXPECT_EQ(Read(), Changes{});
    host.join();
    simkb::FailCall(KeyboardCall::ReadState, 0);
    EXPECT_EQ(Read(), Changes{});
    const simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.devicesCreated, 1);
    EXPECT_EQ(counts.devicesReleased, 1);
    EXPECT_EQ(counts.callsAfterRelease, 0);
}

TEST_F(KeyboardReader, ReadsAndReconnectsOnTwoThreadsNeverMeetOnADevice) {
    std::atomic<bool> hostDone{false};
    std::thread host([&] {
        for (int round = 0; round < 1000; ++round) {
            reader.ConnectKeyboard();
            simkb::SetKeyDown(1 + round % 255, round % 2 == 0);
            reader.DisconnectKeyboard();
        }
        hostDone = true;
    });
    int badChanges = 0;
    while (!hostDone) {
        for (const auto& [key, pressed] : Read())
            if (key < 1 || key > 255) ++badChanges;
    }
    host.join();
    EXPECT_EQ(badChanges, 0);
    const simkb::KeyboardCounts counts = Counts();
    EXPECT_EQ(counts.callsAfterRelease, 0);
    EXPECT_EQ(counts.releasesWhileInUse, 0);
    EXPECT_EQ(counts.devicesReleased, 1000);
}

}  // namespace
