// The host's game object table, entry by entry, and the recording behind it.
#include "recording_host.h"

#include <string>

#include "session.h"

namespace simhost {

namespace {

// x64 has one convention, which the host's 64-bit build uses as well.
#if defined(__i386__)
#define KVT_SIM_THISCALL __attribute__((thiscall))
#else
#define KVT_SIM_THISCALL
#endif

using Self = RecordingHost::GameObject;

// The shapes the host's entries have: `this` in ECX, every stack argument 32
// bits, the callee pops them. The table accepts only these types, so an entry
// written with another convention or argument list does not compile.
using TextEntry = void(KVT_SIM_THISCALL*)(Self*, float, float, const char*);
using FourFloatEntry = void(KVT_SIM_THISCALL*)(Self*, float, float, float, float);
using WordEntry = void(KVT_SIM_THISCALL*)(Self*, int32_t);
using UncalledEntry = void(KVT_SIM_THISCALL*)(Self*);

const void* At(TextEntry entry) {
    return reinterpret_cast<const void*>(entry);
}
const void* At(FourFloatEntry entry) {
    return reinterpret_cast<const void*>(entry);
}
const void* At(WordEntry entry) {
    return reinterpret_cast<const void*>(entry);
}
const void* At(UncalledEntry entry) {
    return reinterpret_cast<const void*>(entry);
}

void KVT_SIM_THISCALL WriteText(Self* self, float x, float y, const char* text) {
    // A null text is still a call the plug-in made; it shows as "(null)".
    self->recorder->Record("WriteText", {x, y}, text != nullptr ? text : "(null)");
}
void KVT_SIM_THISCALL DrawFilledBox(Self* self, float x, float y, float width, float height) {
    self->recorder->Record("DrawFilledBox", {x, y, width, height});
}
void KVT_SIM_THISCALL DrawArea(Self* self, float x, float y, float width, float height) {
    self->recorder->Record("DrawArea", {x, y, width, height});
}
void KVT_SIM_THISCALL DrawSelectionBar(Self* self, float x, float y, float width, float height) {
    self->recorder->Record("DrawSelectionBar", {x, y, width, height});
}
void KVT_SIM_THISCALL BeginMode(Self* self, int32_t mode) {
    self->recorder->Record("BeginMode", {static_cast<double>(mode)});
}
void KVT_SIM_THISCALL EndMode(Self* self, int32_t mode) {
    self->recorder->Record("EndMode", {static_cast<double>(mode)});
}
void KVT_SIM_THISCALL SetTextStyle(Self* self, int32_t style) {
    self->recorder->Record("SetTextStyle", {static_cast<double>(style)});
}
void KVT_SIM_THISCALL SetPresetColour(Self* self, int32_t colour) {
    self->recorder->Record("SetPresetColour", {static_cast<double>(colour)});
}
void KVT_SIM_THISCALL SetColour(Self* self, float red, float green, float blue, float alpha) {
    self->recorder->Record("SetColour", {red, green, blue, alpha});
}

// The host has these entries, but what they take is unknown here, so returning
// would leave the plug-in's stack wrong; the session stops instead.
template <int kPosition>
void KVT_SIM_THISCALL Uncalled(Self*) {
    StopAtUnexpectedEntry("IHostGame position " + std::to_string(kPosition) +
                          " called; positions 1, 2, 4 and 8 must never be called");
}

const void* const kHostGameTable[kHostGamePositions] = {
    /* 1 */ At(&Uncalled<1>),
    /* 2 */ At(&Uncalled<2>),
    /* 3 */ At(&WriteText),
    /* 4 */ At(&Uncalled<4>),
    /* 5 */ At(&DrawFilledBox),
    /* 6 */ At(&DrawArea),
    /* 7 */ At(&DrawSelectionBar),
    /* 8 */ At(&Uncalled<8>),
    /* 9 */ At(&BeginMode),
    /* 10 */ At(&EndMode),
    /* 11 */ At(&SetTextStyle),
    /* 12 */ At(&SetPresetColour),
    /* 13 */ At(&SetColour),
};

}  // namespace

RecordingHost::RecordingHost() : object_{kHostGameTable, this} {}

uint32_t RecordingHost::ObjectAddress() const {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&object_));
}

void RecordingHost::Record(const char* name, std::initializer_list<double> numbers, const char* text) {
    HostCall call;
    call.name = name;
    for (double n : numbers) {
        CallArg arg;
        arg.number = n;
        call.args.push_back(arg);
    }
    if (text != nullptr) {
        CallArg arg;
        arg.isText = true;
        arg.text = text;
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

}  // namespace simhost
