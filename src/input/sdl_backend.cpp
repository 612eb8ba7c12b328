// The input job's life cycle.
#include "input/sdl_backend.h"

namespace Input {

void SDLBackend::CreateThread() {
    threadCreated_ = true;
}

void SDLBackend::RequestStart(uint32_t hostWindow) {
    window_ = hostWindow;
    ++startRequests_;
    running_ = true;
}

void SDLBackend::StopJob() {
    running_ = false;
}

SDLBackend& GetBackend() {
    // Never destroyed: the job outlives the main object until the process ends.
    static SDLBackend* backend = new SDLBackend();
    return *backend;
}

}  // namespace Input
