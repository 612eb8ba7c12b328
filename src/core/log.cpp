// The plug-in's log file. One lock serialises lines from the host's thread and
// the input job; every line is flushed at once so a crash loses nothing.
#include "core/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <stdexcept>

#include "platform/mutex.h"
#include "platform/platform.h"

std::atomic<bool> g_verboseLog{false};

namespace {
kvt::Mutex g_logLock;
std::ofstream g_logFile KVT_GUARDED_BY(g_logLock);
}  // namespace

std::string LogTimestamp(uint32_t ticks) {
    // The product is rounded to a float once, so 12500 ticks read 12.500000.
    const float seconds = static_cast<float>(static_cast<double>(static_cast<float>(ticks)) * 0.001);
    char text[64];
    std::snprintf(text, sizeof text, "[%f] ", static_cast<double>(seconds));
    return text;
}

void OpenLog(const std::string& path) {
    kvt::MutexLock lock(g_logLock);
    if (g_logFile.is_open()) g_logFile.close();
    g_logFile.clear();
    // Binary, so each line ends with the CR LF written below on every platform.
    g_logFile.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
}

bool LogIsOpen() {
    kvt::MutexLock lock(g_logLock);
    return g_logFile.is_open();
}

void CloseLog() {
    kvt::MutexLock lock(g_logLock);
    if (g_logFile.is_open()) g_logFile.close();
}

void LogLine(const std::string& message) {
    kvt::MutexLock lock(g_logLock);
    try {
        if (!g_logFile.is_open()) return;
        std::string line = LogTimestamp(platform::TickCount());
        line.reserve(line.size() + message.size() + 2);
        line += message;
        line += "\r\n";
        g_logFile.write(line.data(), static_cast<std::streamsize>(line.size()));
        g_logFile.flush();
        // A failed write must not silence every later line.
        if (!g_logFile) g_logFile.clear();
    } catch (...) {
    }
}

void LogLine(const char* message) {
    LogLine(std::string(message ? message : ""));
}

std::string DescribeCurrentException() {
    std::exception_ptr current = std::current_exception();
    if (!current) return "Bad Exception";
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& e) {
        return e.what();
    } catch (const std::string& s) {
        return s;
    } catch (const char* s) {
        return s ? s : "";
    } catch (...) {
        return "Unkown Exception.";
    }
}

void LogException(const std::string& prefix) {
    LogLine(prefix + " Exception: " + DescribeCurrentException());
}

std::string ErrnoText(int32_t code) {
    char reason[256] = {};
#if defined(_WIN32)
    strerror_s(reason, sizeof reason, errno);
#else
    const char* text = strerror_r(errno, reason, sizeof reason);
    if (text != reason) std::snprintf(reason, sizeof reason, "%s", text);
#endif
    return std::string(reason) + " (" + std::to_string(code) + ")";
}
