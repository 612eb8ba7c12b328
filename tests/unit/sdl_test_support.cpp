// Virtual controllers for the input job's tests.
#include "sdl_test_support.h"

#include <gtest/gtest.h>

namespace kvt_test {

SDL_JoystickID AttachVirtualJoystick(const char* name, int buttons, int hats, int axes) {
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) EXPECT_TRUE(SDL_Init(SDL_INIT_JOYSTICK)) << SDL_GetError();
    SDL_VirtualJoystickDesc desc;
    SDL_INIT_INTERFACE(&desc);
    desc.type = SDL_JOYSTICK_TYPE_WHEEL;
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.naxes = static_cast<Uint16>(axes);
    desc.name = name;
    // Each its own product, as a path names one in the device notifications.
    static Uint16 product = 0;
    desc.vendor_id = 0x1209;
    desc.product_id = ++product;
    const SDL_JoystickID id = SDL_AttachVirtualJoystick(&desc);
    EXPECT_NE(id, 0u) << SDL_GetError();
    return id;
}

}  // namespace kvt_test
