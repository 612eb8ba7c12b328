/* The controller stand-in: a native library that run_e2e.sh preloads into
 * every process of a scenario's Wine. In the one process that has Wine's HID
 * bus running SDL2's joysticks (the device process), it attaches SDL2 virtual
 * joysticks, which the bus then offers to Windows programs as HID game
 * controllers, and sets their buttons, hats and axes from the lines the
 * simulated host writes into a FIFO (KVT_PAD_FIFO):
 *   plug P NAME | unplug P | button P B 0|1 | hat P H VALUE | axis P A VALUE
 * P is the pad's slot, 1 to 4. Every other process only waits a while for
 * SDL2 to appear and then lets the thread end.
 *
 * The bus looks SDL2's symbols up in the library it loaded itself, so the
 * few entries used here are looked up there too, and the types they take are
 * declared here from SDL 2.26's ABI (no SDL2 headers on the build machine). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define SDL2_LIBRARY "libSDL2-2.0.so.0"
#define SDL2_INIT_JOYSTICK 0x00000200u
#define SDL2_VIRTUAL_JOYSTICK_DESC_VERSION 1
#define PAD_SLOTS 4
#define PAD_BUTTONS 12
#define PAD_AXES 2
#define PAD_HATS 1
/* Wine's DirectInput gives no vendor and product pair for a device whose pair
 * is 0:0, and SDL3 then passes the device over: the pads carry the pair that
 * the pid.codes registry keeps for testing. */
#define PAD_VENDOR 0x1209
#define PAD_PRODUCT 0x0001

/* SDL_VirtualJoystickDesc of SDL 2.24 and later (version 1). */
typedef struct {
    uint16_t version, type, naxes, nbuttons, nhats, vendor_id, product_id, padding;
    uint32_t button_mask, axis_mask;
    const char* name;
    void* userdata;
    void (*Update)(void* userdata);
    void (*SetPlayerIndex)(void* userdata, int player_index);
    int (*Rumble)(void* userdata, uint16_t low, uint16_t high);
    int (*RumbleTriggers)(void* userdata, uint16_t left, uint16_t right);
    int (*SetLED)(void* userdata, uint8_t red, uint8_t green, uint8_t blue);
    int (*SendEffect)(void* userdata, const void* data, int size);
} VirtualJoystickDesc;

static struct {
    uint32_t (*WasInit)(uint32_t flags);
    int (*AttachVirtualEx)(const VirtualJoystickDesc* desc);
    int (*DetachVirtual)(int device_index);
    int (*NumJoysticks)(void);
    int32_t (*GetDeviceInstanceID)(int device_index);
    void* (*Open)(int device_index);
    void (*Close)(void* joystick);
    int32_t (*InstanceID)(void* joystick);
    int (*SetVirtualButton)(void* joystick, int button, uint8_t value);
    int (*SetVirtualHat)(void* joystick, int hat, uint8_t value);
    int (*SetVirtualAxis)(void* joystick, int axis, int16_t value);
    const char* (*GetError)(void);
} sdl;

struct Pad {
    void* joystick; /* open while plugged */
    char name[64];
};
static struct Pad pads[PAD_SLOTS];

__attribute__((format(printf, 1, 2))) static void Say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fprintf(stderr, "pad stand-in: ");
    vfprintf(stderr, format, arguments);
    fputc('\n', stderr);
    va_end(arguments);
}

static int LookUp(void* library) {
#define KVT_SDL(field, symbol) \
    if (!(*(void**)& sdl.field = dlsym(library, symbol))) return Say("SDL2 lacks %s", symbol), 0;
    KVT_SDL(WasInit, "SDL_WasInit")
    KVT_SDL(AttachVirtualEx, "SDL_JoystickAttachVirtualEx")
    KVT_SDL(DetachVirtual, "SDL_JoystickDetachVirtual")
    KVT_SDL(NumJoysticks, "SDL_NumJoysticks")
    KVT_SDL(GetDeviceInstanceID, "SDL_JoystickGetDeviceInstanceID")
    KVT_SDL(Open, "SDL_JoystickOpen")
    KVT_SDL(Close, "SDL_JoystickClose")
    KVT_SDL(InstanceID, "SDL_JoystickInstanceID")
    KVT_SDL(SetVirtualButton, "SDL_JoystickSetVirtualButton")
    KVT_SDL(SetVirtualHat, "SDL_JoystickSetVirtualHat")
    KVT_SDL(SetVirtualAxis, "SDL_JoystickSetVirtualAxis")
    KVT_SDL(GetError, "SDL_GetError")
#undef KVT_SDL
    return 1;
}

/* The device index is where the joystick sits in SDL's list now, which
 * shifts as others come and go: find it by the instance id. */
static int DeviceIndexOf(void* joystick) {
    const int32_t id = sdl.InstanceID(joystick);
    for (int i = 0; i < sdl.NumJoysticks(); ++i)
        if (sdl.GetDeviceInstanceID(i) == id) return i;
    return -1;
}

static void Plug(struct Pad* pad, const char* name) {
    if (pad->joystick) {
        Say("%s is already plugged", pad->name);
        return;
    }
    snprintf(pad->name, sizeof pad->name, "%s", name);
    VirtualJoystickDesc desc;
    memset(&desc, 0, sizeof desc);
    desc.version = SDL2_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.naxes = PAD_AXES;
    desc.nbuttons = PAD_BUTTONS;
    desc.nhats = PAD_HATS;
    desc.vendor_id = PAD_VENDOR;
    desc.product_id = PAD_PRODUCT;
    desc.name = pad->name;
    const int index = sdl.AttachVirtualEx(&desc);
    if (index < 0) {
        Say("cannot attach: %s", sdl.GetError());
        return;
    }
    pad->joystick = sdl.Open(index);
    if (!pad->joystick) {
        sdl.DetachVirtual(index);
        Say("cannot open the attached pad: %s", sdl.GetError());
        return;
    }
    Say("plugged %s as device %d", pad->name, index);
}

static void Unplug(struct Pad* pad) {
    if (!pad->joystick) {
        Say("%s is not plugged", pad->name);
        return;
    }
    const int index = DeviceIndexOf(pad->joystick);
    sdl.Close(pad->joystick);
    pad->joystick = NULL;
    if (index < 0 || sdl.DetachVirtual(index) != 0) {
        Say("cannot detach %s", pad->name);
        return;
    }
    Say("unplugged %s", pad->name);
}

static void Play(char* line) {
    char verb[16] = "";
    int slot = 0, consumed = 0;
    if (sscanf(line, "%15s %d %n", verb, &slot, &consumed) < 2 || slot < 1 || slot > PAD_SLOTS) {
        Say("not a pad line: %s", line);
        return;
    }
    struct Pad* pad = &pads[slot - 1];
    const char* rest = line + consumed;
    if (strcmp(verb, "plug") == 0) {
        Plug(pad, rest);
        return;
    }
    if (strcmp(verb, "unplug") == 0) {
        Unplug(pad);
        return;
    }
    int which = 0, value = 0;
    if (sscanf(rest, "%d %d", &which, &value) != 2) {
        Say("not a pad line: %s", line);
        return;
    }
    if (!pad->joystick) {
        Say("%s: pad not plugged (slot %d)", verb, slot);
        return;
    }
    int status = -1;
    if (strcmp(verb, "button") == 0)
        status = sdl.SetVirtualButton(pad->joystick, which, (uint8_t)value);
    else if (strcmp(verb, "hat") == 0)
        status = sdl.SetVirtualHat(pad->joystick, which, (uint8_t)value);
    else if (strcmp(verb, "axis") == 0)
        status = sdl.SetVirtualAxis(pad->joystick, which, (int16_t)value);
    if (status != 0) Say("cannot play: %s", line);
}

static void ReadLines(const char* path) {
    /* Opened for writing too, so that the FIFO never reads as ended while no
     * writer has it open. */
    const int fd = open(path, O_RDWR);
    if (fd < 0) {
        Say("cannot open %s, error %d", path, errno);
        return;
    }
    char buffer[512];
    size_t used = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer + used, sizeof buffer - 1 - used);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        used += (size_t)got;
        char* start = buffer;
        char* end;
        while ((end = memchr(start, '\n', used - (size_t)(start - buffer))) != NULL) {
            *end = '\0';
            Play(start);
            start = end + 1;
        }
        used -= (size_t)(start - buffer);
        memmove(buffer, start, used);
        if (used == sizeof buffer - 1) used = 0; /* a line too long for any command */
    }
    close(fd);
}

static void* Watch(void* path) {
    /* Wine's HID bus loads SDL2 and starts its joysticks a few seconds after
     * its process starts; a process that has neither by then never will. */
    for (int waited = 0; waited < 600; ++waited) {
        void* library = dlopen(SDL2_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
        if (library) {
            if (!sdl.WasInit && !LookUp(library)) return NULL;
            if (sdl.WasInit(SDL2_INIT_JOYSTICK) & SDL2_INIT_JOYSTICK) {
                Say("SDL2's joysticks are up, reading %s", (const char*)path);
                ReadLines(path);
                return NULL;
            }
            dlclose(library);
        }
        usleep(100 * 1000);
    }
    return NULL;
}

__attribute__((constructor)) static void Start(void) {
    static char path[4096];
    const char* fifo = getenv("KVT_PAD_FIFO");
    if (!fifo || !*fifo || strlen(fifo) >= sizeof path) return;
    strcpy(path, fifo);
    pthread_t thread;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_create(&thread, &attributes, Watch, path);
    pthread_attr_destroy(&attributes);
}
