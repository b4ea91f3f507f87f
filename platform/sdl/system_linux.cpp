// The SDL platform on Linux: SDL's X11 video driver preferred, and ALSA's diagnostics quieted.
#include "platform/sdl/system.h"

#include <SDL.h>
#include <alsa/error.h>
#include <dlfcn.h>

#include <cstdlib>

// X11 is where display modes can really be switched, so the default full screen asks for it
// alone (Wayland desktops run X programs as well; a Wayland client cannot switch the display's
// mode, and SDL would only scale a 640x480 picture up to pretend it had). A window over the
// desktop or a captioned one needs no switch: where X11 cannot be had, SDL's Wayland driver
// serves it.
// Wayland is offered only where a compositor could be reached (libwayland-client needs
// XDG_RUNTIME_DIR unless it is handed a socket or an absolute path, and otherwise prints its
// own complaint on stderr before SDL gives its reason).
bool preferVideoDriver(bool switchesMode)
{
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    bool waylandReachable = std::getenv("WAYLAND_SOCKET") != nullptr ||
                            (runtimeDir != nullptr && runtimeDir[0] != '\0') ||
                            (waylandDisplay != nullptr && waylandDisplay[0] == '/');
    const char* drivers = switchesMode || !waylandReachable ? "x11" : "x11,wayland";
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers, SDL_HINT_DEFAULT);
    // XDG_RUNTIME_DIR alone is set on a text console too; a Wayland desktop names its
    // compositor.
    bool waylandNamed =
        std::getenv("WAYLAND_SOCKET") != nullptr || (waylandDisplay != nullptr && waylandDisplay[0] != '\0');
    return switchesMode && waylandNamed;
}

// ALSA's own diagnostics (several lines on stderr when a machine has no sound card) say
// nothing the fallback does not already handle; SDL uses the same libasound, so one handler
// quiets them. libasound is found at run time, not linked: the program then needs nothing
// of the system's sound libraries beyond what SDL itself loads, and a system without ALSA
// has nothing to quiet. The library stays open, as the handler must.
static void ignoreAlsa(const char*, int, const char*, int, const char*, ...) {}

void quietSoundLibrary()
{
    using SetHandler = int (*)(snd_lib_error_handler_t);
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa != nullptr) {
        if (auto setHandler = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) {
            setHandler(ignoreAlsa);
        }
    }
}
