// The host's game object for the benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include "core/host_interface.h"

// A host game object that draws nothing, so only the plug-in's work counts.
class NullGame : public IHostGame {
public:
    void HostSlot1() override {}
    void HostSlot2() override {}
    void WriteText(float, float, const char* text) override { benchmark::DoNotOptimize(text); }
    void HostSlot4() override {}
    void DrawFilledBox(float, float, float, float) override {}
    void DrawArea(float, float, float, float) override {}
    void DrawSelectionBar(float, float, float, float) override {}
    void HostSlot8() override {}
    void BeginMode(int32_t) override {}
    void EndMode(int32_t) override {}
    void SetTextStyle(int32_t) override {}
    void SetPresetColour(int32_t) override {}
    void SetColour(float, float, float, float) override {}
};
