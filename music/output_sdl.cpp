// The sound output on SDL2 audio. When no real device can be opened (a headless machine, a
// busy device) it opens SDL's dummy driver instead, which is only used when named and which
// consumes audio at real-time pace: the module then plays its full length, silently.
#include <SDL.h>
#include <alsa/error.h>
#include <dlfcn.h>

#include "music/output.h"

static SDL_AudioDeviceID device = 0;
static AudioRender render = nullptr;
static int bytesPerFrame = 0;

static void pullAudio(void*, Uint8* stream, int length)
{
    render(reinterpret_cast<int16_t*>(stream), length / bytesPerFrame);
}

// ALSA's own diagnostics (several lines on stderr when a machine has no sound card) say
// nothing the fallback does not already handle; SDL uses the same libasound, so one handler
// quiets them. libasound is found at run time, not linked: the program then needs nothing
// of the system's sound libraries beyond what SDL itself loads, and a system without ALSA
// has nothing to quiet. The library stays open, as the handler must.
static void ignoreAlsa(const char*, int, const char*, int, const char*, ...) {}

static void quietAlsa()
{
    using SetHandler = int (*)(snd_lib_error_handler_t);
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa != nullptr) {
        if (auto setHandler = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) {
            setHandler(ignoreAlsa);
        }
    }
}

static SDL_AudioDeviceID openDevice(const SDL_AudioSpec& wanted)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return 0;
    }
    SDL_AudioSpec obtained;
    // No changes allowed: SDL converts to whatever the device really takes.
    return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
}

int audioOutputOpen(int rate, int channels, int frames, AudioRender renderFunction)
{
    quietAlsa();
    render = renderFunction;
    bytesPerFrame = channels * static_cast<int>(sizeof(int16_t));
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = static_cast<Uint16>(frames);
    wanted.callback = pullAudio;
    device = openDevice(wanted);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        // Override: the environment's SDL_AUDIODRIVER would otherwise win over a hint.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        device = openDevice(wanted);
    }
    return device != 0 ? 1 : 0;
}

void audioOutputResume()
{
    if (device != 0) {
        SDL_PauseAudioDevice(device, 0);
    }
}

void audioOutputLock()
{
    if (device != 0) {
        SDL_LockAudioDevice(device);
    }
}

void audioOutputUnlock()
{
    if (device != 0) {
        SDL_UnlockAudioDevice(device);
    }
}

void audioOutputClose()
{
    if (device != 0) {
        SDL_CloseAudioDevice(device);
        device = 0;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
