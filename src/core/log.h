// The plug-in's log, KVTControls.log: one time-stamped, flushed line per call,
// from any thread. Informational lines are written only when the caller finds
// the verbose switch on; errors are always written.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// The verbose switch, read from [Main] VerboseLogEnabled at start-up; the input
// job reads it too.
extern std::atomic<bool> g_verboseLog;

void LogLine(const std::string& message);
void LogLine(const char* message);

// Writes prefix + " Exception: " + DescribeCurrentException(); call inside a catch.
void LogException(const std::string& prefix);
std::string DescribeCurrentException();

// The C runtime's text for the current errno, then " (" code ")".
std::string ErrnoText(int32_t code);

// "[" seconds "] " for a tick count: the ticks as a 32-bit float times 0.001, "%f".
std::string LogTimestamp(uint32_t ticks);

// Opens (truncating) or closes the log file; called when the library is loaded
// and unloaded.
void OpenLog(const std::string& path);
void CloseLog();
bool LogIsOpen();
