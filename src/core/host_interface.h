// The host's plug-in interface: IPlugin, which the host calls, and IHostGame,
// the host's object through which the plug-in draws. Both are virtual tables
// laid out by the host's compiler: entries in declaration order, this in ECX,
// arguments on the stack popped by the callee (thiscall), every argument 32 bits.
#pragma once

#include <cstdint>

#if defined(_WIN32) && defined(__i386__)
#define KVT_THISCALL __attribute__((thiscall))
#else
#define KVT_THISCALL
#endif

// g++ gives a C++ virtual destructor two vtable slots; the host expects one, its
// compiler's deleting destructor with a hidden flags word. So slot 1 is an
// ordinary virtual function of that shape: bit 0 of flags asks for the memory
// to be freed as well.
class IPlugin {
public:
    virtual void* KVT_THISCALL DeletingDestructor(uint32_t flags) = 0;
    virtual const char* KVT_THISCALL GetPluginName() = 0;
    virtual void KVT_THISCALL DrawPluginPage() = 0;
    virtual void KVT_THISCALL HostEntry4() = 0;
    virtual void KVT_THISCALL HandlePluginInput(uint32_t key, uint32_t up, uint32_t down, uint32_t left,
                                                uint32_t right, uint32_t select) = 0;
    virtual void KVT_THISCALL HostEntry6(uint32_t a) = 0;
    virtual void KVT_THISCALL HostEntry7(uint32_t a, uint32_t b, uint32_t c) = 0;
    virtual void KVT_THISCALL HostEntry8(uint32_t a, uint32_t b, uint32_t c, uint32_t d) = 0;
    virtual void KVT_THISCALL HostEntry9(uint32_t a, uint32_t b, uint32_t c) = 0;

protected:
    ~IPlugin() = default;
};

// Positions 1, 2, 4 and 8 exist in the host's table but are never called; they
// are declared so the called entries keep their places.
class IHostGame {
public:
    virtual void KVT_THISCALL HostSlot1() = 0;
    virtual void KVT_THISCALL HostSlot2() = 0;
    virtual void KVT_THISCALL WriteText(float x, float y, const char* text) = 0;
    virtual void KVT_THISCALL HostSlot4() = 0;
    virtual void KVT_THISCALL DrawFilledBox(float x, float y, float width, float height) = 0;
    virtual void KVT_THISCALL DrawArea(float x, float y, float width, float height) = 0;
    virtual void KVT_THISCALL DrawSelectionBar(float x, float y, float width, float height) = 0;
    virtual void KVT_THISCALL HostSlot8() = 0;
    virtual void KVT_THISCALL BeginMode(int32_t mode) = 0;
    virtual void KVT_THISCALL EndMode(int32_t mode) = 0;
    virtual void KVT_THISCALL SetTextStyle(int32_t style) = 0;
    virtual void KVT_THISCALL SetPresetColour(int32_t colour) = 0;
    virtual void KVT_THISCALL SetColour(float red, float green, float blue, float alpha) = 0;

protected:
    ~IHostGame() = default;
};

// The host's own numbers for its drawing entries.
namespace host_draw {
inline constexpr int32_t kStyleDescription = 0;  // SetTextStyle: the description line
inline constexpr int32_t kStyleMenu = 1;         // SetTextStyle: titles, menu lines, captions
inline constexpr int32_t kPresetMenuLine = 3;    // SetPresetColour: enabled lines, captions
inline constexpr int32_t kPresetTitle = 4;       // SetPresetColour: page title, lower text
inline constexpr int32_t kModeOverlay = 64;      // BeginMode/EndMode around an overlay caption
}  // namespace host_draw

// The one export. C linkage, cdecl, undecorated.
extern "C"
#if defined(_WIN32)
    __declspec(dllexport)
#endif
        IPlugin* KVT_CreatePlugin(IHostGame* game);
