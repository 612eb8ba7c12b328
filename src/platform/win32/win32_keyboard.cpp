// The real keyboard of the platform seam: DirectInput 8 from dinput8.dll, a
// system DLL, so the plug-in still imports nothing of its own.
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
// windows.h first: dinput.h relies on its types.
#include <dinput.h>

#include "platform/keyboard_device.h"

namespace platform {
namespace {
IDirectInput8A* AsDirectInput(DirectInputObject* object) {
    return reinterpret_cast<IDirectInput8A*>(object);
}
IDirectInputDevice8A* AsDevice(KeyboardDevice* device) {
    return reinterpret_cast<IDirectInputDevice8A*>(device);
}
static_assert(sizeof(DIPROPSTRING) == 536 && sizeof(DIPROPHEADER) == 16, "the key-name query's layout");
}  // namespace

InputResult CreateDirectInput(DirectInputObject** object) {
    void* created = nullptr;
    const HRESULT result = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION,
                                              IID_IDirectInput8A, &created, nullptr);
    *object = static_cast<DirectInputObject*>(created);
    return result;
}

void ReleaseDirectInput(DirectInputObject* object) {
    if (object) AsDirectInput(object)->Release();
}

InputResult CreateSystemKeyboard(DirectInputObject* object, KeyboardDevice** device) {
    IDirectInputDevice8A* created = nullptr;
    const HRESULT result = AsDirectInput(object)->CreateDevice(GUID_SysKeyboard, &created, nullptr);
    *device = reinterpret_cast<KeyboardDevice*>(created);
    return result;
}

InputResult SetKeyboardDataFormat(KeyboardDevice* device) {
    return AsDevice(device)->SetDataFormat(&c_dfDIKeyboard);
}

InputResult SetKeyboardCooperativeLevel(KeyboardDevice* device, uint32_t window, uint32_t flags) {
    return AsDevice(device)->SetCooperativeLevel(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)),
                                                 flags);
}

InputResult AcquireKeyboard(KeyboardDevice* device) {
    return AsDevice(device)->Acquire();
}

InputResult UnacquireKeyboard(KeyboardDevice* device) {
    return AsDevice(device)->Unacquire();
}

InputResult ReadKeyboardState(KeyboardDevice* device, uint8_t (&state)[kKeyCount]) {
    return AsDevice(device)->GetDeviceState(kKeyCount, state);
}

InputResult ReadKeyName(KeyboardDevice* device, int32_t key, std::u16string* name) {
    DIPROPSTRING property{};
    property.diph.dwSize = sizeof property;
    property.diph.dwHeaderSize = sizeof property.diph;
    property.diph.dwObj = static_cast<DWORD>(key);
    property.diph.dwHow = DIPH_BYOFFSET;
    const HRESULT result = AsDevice(device)->GetProperty(DIPROP_KEYNAME, &property.diph);
    name->clear();
    if (SUCCEEDED(result)) {
        property.wsz[MAX_PATH - 1] = L'\0';
        for (const WCHAR* c = property.wsz; *c; ++c) name->push_back(static_cast<char16_t>(*c));
    }
    return result;
}

void ReleaseKeyboard(KeyboardDevice* device) {
    if (device) AsDevice(device)->Release();
}

}  // namespace platform
