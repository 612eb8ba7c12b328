// Pieces of the tests that drive the real input job: virtual controllers on
// SDL's joystick layer and a listener that records what reaches it.
#pragma once

#include <SDL3/SDL.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "input/binding_text.h"
#include "input/sdl_backend.h"

namespace kvt_test {

// A virtual controller with that name, attached on the test's own joystick
// subsystem (initialised here when needed).
SDL_JoystickID AttachVirtualJoystick(const char* name, int buttons = 8, int hats = 1, int axes = 2);

// A page as the job sees it: binds the devices it is told to, records what
// reaches it.
class RecordingListener : public Input::SDLListener {
public:
    void OnTick() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ticks.push_back(backend ? backend->lastTick() : 0);
    }
    void OnInputEvent(const SDL_Event& event) override {
        const std::string text = backend ? backend->Texts().Make(event) : texts_.Make(event);
        std::lock_guard<std::mutex> lock(mutex_);
        if (event.type == SDL_EVENT_JOYSTICK_BUTTON_DOWN) texts.push_back("down " + text);
        if (event.type == SDL_EVENT_JOYSTICK_BUTTON_UP) texts.push_back("up " + text);
        if (event.type == SDL_EVENT_JOYSTICK_HAT_MOTION) texts.push_back("hat " + text);
        if (event.type == SDL_EVENT_KEY_DOWN) texts.push_back("keydown " + text);
        if (event.type == SDL_EVENT_KEY_UP) texts.push_back("keyup " + text);
        if (event.type == SDL_EVENT_JOYSTICK_ADDED) texts.push_back("added");
        if (event.type == SDL_EVENT_JOYSTICK_REMOVED) texts.push_back("removed");
        if (event.type == SDL_EVENT_JOYSTICK_AXIS_MOTION)
            texts.push_back("axis " + std::to_string(event.jaxis.axis) + " " +
                            std::to_string(event.jaxis.value));
    }
    bool IsDeviceBound(const std::string& name) override { return bound.count(name) != 0; }
    bool IsJoystickBound(SDL_JoystickID id) override {
        return bound.count(Input::GetJoystickNameById(id)) != 0;
    }
    void OnDevicesDisconnected() override {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++disconnects;
            hook = disconnectHook_;
        }
        if (hook) hook();
    }
    // Runs on the job's thread once it has closed every device, before a
    // capture's end opens them again.
    void SetDisconnectHook(std::function<void()> hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        disconnectHook_ = std::move(hook);
    }

    bool Saw(const std::string& text) { return Count(text) > 0; }
    size_t Count(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
    }
    int Disconnects() {
        std::lock_guard<std::mutex> lock(mutex_);
        return disconnects;
    }
    size_t TickCount() {
        std::lock_guard<std::mutex> lock(mutex_);
        return ticks.size();
    }
    std::vector<uint32_t> Ticks() {
        std::lock_guard<std::mutex> lock(mutex_);
        return ticks;
    }

    std::set<std::string> bound;
    std::vector<std::string> texts;
    std::vector<uint32_t> ticks;
    int disconnects = 0;

private:
    Input::BindingTexts texts_;
    std::function<void()> disconnectHook_;
    std::mutex mutex_;
};

}  // namespace kvt_test
