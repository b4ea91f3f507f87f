// The SDL platform on Linux: SDL's X11 video driver preferred, and ALSA's diagnostics quieted.
#include "platform/sdl/system.h"

#include <SDL.h>
#include <alsa/error.h>
#include <dlfcn.h>

// X11 is where display modes can really be switched (Wayland desktops run it as well).
void preferVideoDriver() { SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_DEFAULT); }

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
