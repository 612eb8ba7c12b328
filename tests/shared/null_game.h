// A host game object that draws nothing: for the benchmarks, where only the
// plug-in's work may count, and for tools that run the plug-in to ask it
// something.
#pragma once

#include "core/host_interface.h"

class NullGame : public IHostGame {
public:
    void HostSlot1() override {}
    void HostSlot2() override {}
    // Reads the text, so that an optimiser cannot drop making it.
    void WriteText(float, float, const char* text) override {
        volatile char first = text ? text[0] : '\0';
        (void)first;
    }
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
