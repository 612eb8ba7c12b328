// Windows' own word on game controllers coming and going (HID device
// interfaces). SDL's joystick layer rescans only a while after such a word,
// so a controller unplugged and plugged back within that while keeps its id
// and its open handle keeps the buttons it last saw held: the input job
// listens here too.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

struct DeviceChange {
    bool arrived = false;  // else it was removed
    std::string path;      // the device interface's path, as the system names it
};

class DeviceWatch {
public:
    virtual ~DeviceWatch() = default;
    // Replaces changes by what came since the last call, oldest first.
    virtual void Take(std::vector<DeviceChange>& changes) = 0;
};

// Watches for the calling thread, which alone may call Take (the system's
// word comes as messages to a window of that thread); null, with the reason
// in error, where the system refuses.
std::unique_ptr<DeviceWatch> WatchDevices(std::string& error);

}  // namespace platform
