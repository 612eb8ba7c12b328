// What the car-profile readers share: where the car files lie and the guard
// that keeps every exception of a lookup inside it.
#pragma once

#include <algorithm>
#include <string>

#include "core/log.h"
#include "core/paths.h"
#include "platform/platform.h"

namespace car_files {

// A path below the host folder, written with the host's separators.
inline std::string HostFile(std::string relative) {
    std::replace(relative.begin(), relative.end(), '\\', platform::kPathSeparator);
    return Paths().hostDirectory + relative;
}

// Runs a lookup so that nothing it throws reaches the caller: an exception
// nobody foresaw (memory, most likely) is logged and gives the fallback.
template <typename T, typename Body>
T Guarded(const T& fallback, const char* what, Body&& body) {
    try {
        return body();
    } catch (...) {
        try {
            LogException(std::string("ERROR. ") + what);
        } catch (...) {
        }
        return fallback;
    }
}

}  // namespace car_files
