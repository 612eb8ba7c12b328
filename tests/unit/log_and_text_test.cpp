// The log file's line format, its behaviour under two threads and on reload,
// the exception texts, and the shared text helpers.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "core/log.h"
#include "core/text.h"
#include "platform/sim/sim_platform.h"
#include "test_support.h"

namespace {

TEST(Log, LineCarriesSecondsSinceStartAndEndsWithCrLf) {
    kvt_test::ScratchGame scratch;
    platform::sim::SetTickCount(12500);
    LogLine("hello");
    platform::sim::SetTickCount(0);
    LogLine(std::string());
    EXPECT_EQ(scratch.LogText(), "[12.500000] hello\r\n[0.000000] \r\n");
    EXPECT_EQ(LogTimestamp(1), "[0.001000] ");
    EXPECT_EQ(LogTimestamp(4294967295u), "[4294967.500000] ") << "the float keeps 24 bits";
}

TEST(Log, ReloadingTruncatesAndTwoThreadsWriteWholeLines) {
    kvt_test::ScratchGame scratch;
    LogLine("from the first load");
    OpenLog((scratch.pluginFolder() / "KVTControls.log").string());
    const std::string a(200, 'a'), b(200, 'b');
    std::thread first([&] {
        for (int i = 0; i < 200; ++i) LogLine(a);
    });
    std::thread second([&] {
        for (int i = 0; i < 200; ++i) LogLine(b);
    });
    first.join();
    second.join();
    const std::string text = scratch.LogText();
    EXPECT_EQ(text.find("first load"), std::string::npos);
    size_t lines = 0, start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        const std::string line = text.substr(start, end - start);
        const std::string message = line.substr(line.find("] ") + 2);
        EXPECT_TRUE(message == a || message == b) << line;
        ++lines;
        start = end + 2;
    }
    EXPECT_EQ(lines, 400u);
}

// A log that is closed, or could not be opened (the plug-in folder is made
// only by the first export call), loses its lines without harm, and a later
// successful open logs again.
TEST(Log, UnopenedLogDropsLinesQuietly) {
    kvt_test::ScratchGame scratch;
    LogLine("kept");
    CloseLog();
    EXPECT_FALSE(LogIsOpen());
    LogLine("after closing");
    const std::string logText = scratch.LogText();
    EXPECT_NE(logText.find("] kept\r\n"), std::string::npos);
    EXPECT_EQ(logText.find("after closing"), std::string::npos);

    const auto missing = scratch.root() / "no-such-folder" / "KVTControls.log";
    OpenLog(missing.string());
    EXPECT_FALSE(LogIsOpen());
    LogLine("into nowhere");
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
    EXPECT_EQ(scratch.LogText(), logText) << "the earlier file is left alone";

    OpenLog((scratch.pluginFolder() / "KVTControls.log").string());
    LogLine("back");
    EXPECT_NE(scratch.LogText().find("] back\r\n"), std::string::npos);
}

TEST(Log, ExceptionTexts) {
    EXPECT_EQ(DescribeCurrentException(), "Bad Exception");
    auto describe = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return DescribeCurrentException();
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ(describe([] { throw std::runtime_error("broken"); }), "broken");
    EXPECT_EQ(describe([] { throw std::string("text object"); }), "text object");
    EXPECT_EQ(describe([] { throw "plain text"; }), "plain text");
    EXPECT_EQ(describe([] { throw 42; }), "Unkown Exception.");

    kvt_test::ScratchGame scratch;
    try {
        throw std::invalid_argument("stoi");
    } catch (...) {
        LogException("ERROR. Reading");
    }
    EXPECT_NE(scratch.LogText().find("] ERROR. Reading Exception: stoi\r\n"), std::string::npos);
}

TEST(Log, ErrnoTextNamesTheCode) {
    errno = ENOENT;
    const std::string text = ErrnoText(-5);
    EXPECT_EQ(text.substr(text.size() - 5), " (-5)");
    EXPECT_GT(text.size(), 5u);
    errno = ENOENT;
    EXPECT_EQ(ErrnoText(2).substr(ErrnoText(2).size() - 4), " (2)");
}

TEST(Text, CaseInsensitiveComparisonAndTrimming) {
    EXPECT_TRUE(EqualsNoCase("KeyBind", "KEYBIND"));
    EXPECT_FALSE(EqualsNoCase("KeyBind", "KeyBinds"));
    EXPECT_TRUE(StartsWithNoCase("rurazu_custom1", "RURAZU_"));
    EXPECT_FALSE(StartsWithNoCase("anything", "")) << "an empty prefix never matches";
    EXPECT_FALSE(StartsWithNoCase("RUR", "RURAZU_"));
    EXPECT_TRUE(StartsWithNoCase("rurazu_", "RURAZU_")) << "a text is its own prefix";
    EXPECT_EQ(Trim(" \t\r\n\f\vvalue x\v\f\n\r\t "), "value x");
    EXPECT_EQ(Trim(" \t "), "");
}

TEST(Text, LongLinesAreCutAtAWordWithDots) {
    const auto cut = [](const char* text, size_t maxChars) {
        char out[64];
        std::snprintf(out, sizeof out, "%s", text);
        CutAtWord(out, maxChars);
        return std::string(out);
    };
    EXPECT_EQ(cut("Not connected: Pad, Pedals", 26), "Not connected: Pad, Pedals");
    EXPECT_EQ(cut("Not connected: Pad, Pedals", 25), "Not connected: Pad...") << "at a word, its comma gone";
    EXPECT_EQ(cut("Unbreakable", 8), "Unbre...") << "a word too long for any line is cut inside";
}

TEST(Text, Utf8DecodingReplacesBrokenSequences) {
    EXPECT_EQ(Utf8ToWide("a\xC3\xA9z"), std::wstring(L"a\u00E9z"));
    EXPECT_EQ(Utf8ToWide("\xE2\x82\xAC"), std::wstring(L"\u20AC"));
    EXPECT_EQ(Utf8ToWide("x\xC3"), std::wstring(L"x\uFFFD")) << "a cut sequence";
    EXPECT_EQ(Utf8ToWide("\xFF"
                         "a"),
              std::wstring(L"\uFFFDa"));
    EXPECT_EQ(WideToCodePage(L"a\u00E9\u20AC"), std::string("a\xE9?"));
    EXPECT_EQ(WideToCodePage(L"\u00FF\u0100"), std::string("\xFF?")) << "the code page ends at 0xFF";
}

}  // namespace
