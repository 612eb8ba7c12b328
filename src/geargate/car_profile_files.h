// What the car-profile readers share: the guard that keeps every exception
// of a lookup inside it. (Their files lie below the host folder: HostPath.)
#pragma once

#include <string>

#include "core/log.h"
#include "core/paths.h"

namespace car_files {

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
