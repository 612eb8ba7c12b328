// A controller that Windows saw go and come back while SDL's joystick layer
// did not (it rescans only a while after the last change): how a device
// change's path names an open controller.
#pragma once

#include <cstdint>
#include <string_view>

namespace Input {

// Whether the device interface at changedPath is that controller: the same
// path, ignoring case, where SDL gives the controller one of Windows'
// interface paths; else the same vendor and product (VID_xxxx, PID_xxxx),
// which also names an identical twin.
bool DeviceChangeNames(std::string_view changedPath, const char* controllerPath, uint16_t vendor,
                       uint16_t product);

}  // namespace Input
