// Shared pieces of the native tests: a recording host game object and a
// scratch game folder with the plug-in's paths pointed into it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/host_interface.h"
#include "platform/sim/sim_platform.h"

namespace kvt_test {

struct DrawCall {
    std::string entry;
    std::vector<float> numbers;
    std::string text;
};

class RecordingGame : public IHostGame {
public:
    void HostSlot1() override { Add("HostSlot1"); }
    void HostSlot2() override { Add("HostSlot2"); }
    void WriteText(float x, float y, const char* text) override {
        Add("WriteText", {x, y}, text ? text : "");
    }
    void HostSlot4() override { Add("HostSlot4"); }
    void DrawFilledBox(float x, float y, float w, float h) override { Add("DrawFilledBox", {x, y, w, h}); }
    void DrawArea(float x, float y, float w, float h) override { Add("DrawArea", {x, y, w, h}); }
    void DrawSelectionBar(float x, float y, float w, float h) override {
        Add("DrawSelectionBar", {x, y, w, h});
    }
    void HostSlot8() override { Add("HostSlot8"); }
    void BeginMode(int32_t mode) override { Add("BeginMode", {float(mode)}); }
    void EndMode(int32_t mode) override { Add("EndMode", {float(mode)}); }
    void SetTextStyle(int32_t style) override { Add("SetTextStyle", {float(style)}); }
    void SetPresetColour(int32_t colour) override { Add("SetPresetColour", {float(colour)}); }
    void SetColour(float r, float g, float b, float a) override { Add("SetColour", {r, g, b, a}); }

    std::vector<DrawCall> calls;

    // The texts written at a given y, in call order.
    std::vector<std::string> TextsAt(float y) const;
    // Every WriteText call as "x,y:text".
    std::vector<std::string> Texts() const;
    // The y of the 510-wide selection bar, or -1 when none was drawn.
    float SelectionBarY() const;
    void Clear() { calls.clear(); }

private:
    void Add(const char* entry, std::vector<float> numbers = {}, std::string text = {}) {
        calls.push_back({entry, std::move(numbers), std::move(text)});
    }
};

// A fresh game folder under the system's temp folder; the plug-in's paths and
// log point into it while the object lives.
class ScratchGame {
public:
    ScratchGame();
    ~ScratchGame();
    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path pluginFolder() const { return root_ / "Plugins" / "KVTControls"; }
    std::string ReadFile(const std::filesystem::path& file) const;
    void WriteFile(const std::filesystem::path& file, const std::string& text) const;
    std::string LogText() const { return ReadFile(pluginFolder() / "KVTControls.log"); }

private:
    std::filesystem::path root_;
};

// The host's game state object in a simulated host: made in the arena and
// published where the host keeps it, running, in the given game mode.
uint32_t MakeGameState(platform::sim::HostArena& arena, int32_t mode);

// Forgets everything the plug-in keeps per process (the core's start-up, the
// code patches, the settings object and the menu's book, the input job, the
// host locations, the VR bridge, the keys RurAzu holds down), as a new
// process would start.
void ForgetProcessState();

// Waits, in real time, until the condition holds or a generous limit passes
// (a thread's progress, never a speed check). False when it never held.
bool WaitFor(const std::function<bool()>& condition);

}  // namespace kvt_test
