// The line to the controller stand-in: the simulated host plays a player's
// controller by writing lines into the FIFO that the stand-in, preloaded into
// Wine's device process, reads (KVT_PAD_FIFO, a Unix path, reached through
// Wine's Z: drive), and it asks Windows' own game-controller list whether a
// controller is there, which is what any program in the process would see.
#pragma once

#include <windows.h>

#include <string>

namespace simhost {

class PadLink {
public:
    PadLink() = default;
    ~PadLink();
    PadLink(const PadLink&) = delete;
    PadLink& operator=(const PadLink&) = delete;

    // Sends one line ("button 1 3 1"); empty when written, otherwise why not.
    std::string Send(const std::string& line);

    // How many attached game controllers of that name DirectInput lists; 0
    // with a reason when DirectInput cannot be asked.
    int Listed(const std::string& name, std::string& error);

private:
    HANDLE fifo_ = INVALID_HANDLE_VALUE;
    void* directInput_ = nullptr;  // IDirectInput8A, made at the first question
};

}  // namespace simhost
