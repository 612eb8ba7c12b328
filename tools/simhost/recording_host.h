// The host game object the plug-in draws through: every one of the thirteen
// entries records its call, with its arguments, into the current frame's log.
#pragma once

#include <mutex>

#include "call_log.h"
#include "core/host_interface.h"

namespace simhost {

class RecordingHost final : public IHostGame {
public:
    void KVT_THISCALL HostSlot1() override;
    void KVT_THISCALL HostSlot2() override;
    void KVT_THISCALL WriteText(float x, float y, const char* text) override;
    void KVT_THISCALL HostSlot4() override;
    void KVT_THISCALL DrawFilledBox(float x, float y, float width, float height) override;
    void KVT_THISCALL DrawArea(float x, float y, float width, float height) override;
    void KVT_THISCALL DrawSelectionBar(float x, float y, float width, float height) override;
    void KVT_THISCALL HostSlot8() override;
    void KVT_THISCALL BeginMode(int32_t mode) override;
    void KVT_THISCALL EndMode(int32_t mode) override;
    void KVT_THISCALL SetTextStyle(int32_t style) override;
    void KVT_THISCALL SetPresetColour(int32_t colour) override;
    void KVT_THISCALL SetColour(float red, float green, float blue, float alpha) override;

    // Starts a new frame's log and returns the previous one.
    CallLog TakeLog();

private:
    void Record(const char* name, std::initializer_list<double> numbers, const char* text = nullptr);

    // Drawing belongs to the host's thread, but a misbehaving plug-in could
    // draw from its input job; the log must survive that to report it.
    std::mutex mutex_;
    CallLog log_;
};

}  // namespace simhost
