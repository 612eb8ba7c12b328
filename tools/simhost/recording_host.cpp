// Recording of the plug-in's drawing calls.
#include "recording_host.h"

namespace simhost {

void RecordingHost::Record(const char* name, std::initializer_list<double> numbers, const char* text) {
    HostCall call;
    call.name = name;
    for (double n : numbers) {
        CallArg arg;
        arg.number = n;
        call.args.push_back(arg);
    }
    if (text != nullptr || call.name == "WriteText") {
        CallArg arg;
        arg.isText = true;
        arg.text = text != nullptr ? text : "(null)";
        call.args.push_back(arg);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(std::move(call));
}

CallLog RecordingHost::TakeLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    CallLog taken;
    taken.swap(log_);
    return taken;
}

void RecordingHost::HostSlot1() {
    Record("HostSlot1", {});
}
void RecordingHost::HostSlot2() {
    Record("HostSlot2", {});
}
void RecordingHost::WriteText(float x, float y, const char* text) {
    Record("WriteText", {x, y}, text);
}
void RecordingHost::HostSlot4() {
    Record("HostSlot4", {});
}
void RecordingHost::DrawFilledBox(float x, float y, float width, float height) {
    Record("DrawFilledBox", {x, y, width, height});
}
void RecordingHost::DrawArea(float x, float y, float width, float height) {
    Record("DrawArea", {x, y, width, height});
}
void RecordingHost::DrawSelectionBar(float x, float y, float width, float height) {
    Record("DrawSelectionBar", {x, y, width, height});
}
void RecordingHost::HostSlot8() {
    Record("HostSlot8", {});
}
void RecordingHost::BeginMode(int32_t mode) {
    Record("BeginMode", {static_cast<double>(mode)});
}
void RecordingHost::EndMode(int32_t mode) {
    Record("EndMode", {static_cast<double>(mode)});
}
void RecordingHost::SetTextStyle(int32_t style) {
    Record("SetTextStyle", {static_cast<double>(style)});
}
void RecordingHost::SetPresetColour(int32_t colour) {
    Record("SetPresetColour", {static_cast<double>(colour)});
}
void RecordingHost::SetColour(float red, float green, float blue, float alpha) {
    Record("SetColour", {red, green, blue, alpha});
}

}  // namespace simhost
