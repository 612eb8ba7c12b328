// The FIFO to the controller stand-in and Windows' list of game controllers.
#include "pad_link.h"

#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>

#include <cstdlib>

namespace simhost {

namespace {

struct Search {
    const std::string* name;
    int found;
};

BOOL CALLBACK NoteController(LPCDIDEVICEINSTANCEA device, LPVOID context) {
    auto* search = static_cast<Search*>(context);
    if (*search->name == device->tszInstanceName || *search->name == device->tszProductName) ++search->found;
    return DIENUM_CONTINUE;
}

}  // namespace

PadLink::~PadLink() {
    if (fifo_ != INVALID_HANDLE_VALUE) CloseHandle(fifo_);
    if (directInput_) static_cast<IDirectInput8A*>(directInput_)->Release();
}

std::string PadLink::Send(const std::string& line) {
    if (fifo_ == INVALID_HANDLE_VALUE) {
        const char* unixPath = std::getenv("KVT_PAD_FIFO");
        if (unixPath == nullptr || *unixPath == '\0')
            return "no controller stand-in (KVT_PAD_FIFO is not set: run the scenario with run_e2e.sh)";
        // Wine's Z: drive is the Unix root.
        std::string path = std::string("Z:") + unixPath;
        for (char& c : path)
            if (c == '/') c = '\\';
        fifo_ = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
        if (fifo_ == INVALID_HANDLE_VALUE)
            return "cannot open the stand-in's FIFO " + path + ", error " + std::to_string(GetLastError());
    }
    const std::string text = line + "\n";
    DWORD written = 0;
    if (!WriteFile(fifo_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        return "cannot write to the stand-in's FIFO, error " + std::to_string(GetLastError());
    return std::string();
}

int PadLink::Listed(const std::string& name, std::string& error) {
    if (!directInput_) {
        HRESULT made = DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                          &directInput_, nullptr);
        if (FAILED(made) || !directInput_) {
            directInput_ = nullptr;
            error = "DirectInput8Create failed, " + std::to_string(static_cast<long>(made));
            return 0;
        }
    }
    Search search{&name, 0};
    HRESULT listed = static_cast<IDirectInput8A*>(directInput_)
                         ->EnumDevices(DI8DEVCLASS_GAMECTRL, NoteController, &search, DIEDFL_ATTACHEDONLY);
    if (FAILED(listed)) {
        error = "EnumDevices failed, " + std::to_string(static_cast<long>(listed));
        return 0;
    }
    return search.found;
}

}  // namespace simhost
