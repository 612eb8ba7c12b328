// The background input job: one process-wide object that the main object
// creates idle, starts on request and stops when the plug-in closes. The loop
// that reads controllers and the keyboard lives with the device work; this is
// the job's life cycle, which the main object's start-up relies on.
#pragma once

#include <atomic>
#include <cstdint>

namespace Input {

class SDLBackend {
public:
    bool ThreadExists() const { return threadCreated_; }
    // Creates the job's start signal and its thread, named "SDLBackend"; the
    // thread reads no device until RequestStart.
    void CreateThread();
    // Lets the job start with the host window it should watch.
    void RequestStart(uint32_t hostWindow);
    bool IsRunning() const { return running_; }
    void StopJob();

    uint32_t startRequests() const { return startRequests_; }
    uint32_t window() const { return window_; }

private:
    bool threadCreated_ = false;
    std::atomic<bool> running_{false};
    std::atomic<uint32_t> startRequests_{0};
    std::atomic<uint32_t> window_{0};
};

SDLBackend& GetBackend();

}  // namespace Input
