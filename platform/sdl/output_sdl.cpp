// The sound output on SDL2 audio. When no real device can be opened (a headless machine, a
// busy device) it opens SDL's dummy driver instead, which is only used when named: nothing is
// heard, and the module keeps to the clock by itself, so it still plays its full length, with
// its beats, in real time.
//
// The playback position on a device is an estimate: SDL 2 tells when the device asks for the
// next buffer, not when a frame is heard. It calls back once the device has room for a
// buffer, with one buffer still queued in front of it, so at a callback the frame being heard
// is about two buffers before the end of what has been pulled, and from there it moves on with
// the clock.
#include <SDL.h>

#include <algorithm>
#include <atomic>

#include "music/output.h"
#include "platform/sdl/system.h"
#include "shell/process.h"

// The device and how it was opened; the main thread's last answer for the position; the
// audio thread's start of the clock for the silent output.
struct SdlOutputState {
    SDL_AudioDeviceID device;
    AudioRender render;
    int bytesPerFrame;
    int rate;
    int bufferFrames;    // frames in each callback
    bool silent;         // SDL's dummy driver: no sound is made and the clock sets the pace
    uint64_t lastPull;   // performance counter at the silent output's last callback
    unsigned int continuesSeen;  // the process's continue count at that callback
    int64_t lastPlayed;  // the position last reported: it never goes back
};
static constexpr SdlOutputState SDL_OUTPUT_START_STATE = {0, nullptr, 0, 0, 0, false, 0, 0, 0};
static SdlOutputState sdlOutput = SDL_OUTPUT_START_STATE;

// What the audio thread publishes after each callback: the frames pulled so far and when that
// callback began. pullSequence is odd while the two change, so that the main thread never
// combines halves of two callbacks; the audio thread never waits for it.
static std::atomic<uint32_t> pullSequence{0};
static std::atomic<int64_t> pulledFrames{0};
static std::atomic<uint64_t> pullCounter{0};
// The performance counter at the silent output's first callback, moved on by the time the
// process stood stopped: the audio thread sets it, the main thread reads it.
static std::atomic<uint64_t> silentStart{0};

// Frames of audio in the time between two performance counter readings.
static int64_t framesBetween(uint64_t from, uint64_t to)
{
    const uint64_t ticks = to > from ? to - from : 0;
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    const uint64_t rate = static_cast<uint64_t>(sdlOutput.rate);
    return static_cast<int64_t>(ticks / frequency * rate + ticks % frequency * rate / frequency);
}

static void publishPull(int64_t pulled, uint64_t when)
{
    const uint32_t sequence = pullSequence.load(std::memory_order_relaxed);
    pullSequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    pulledFrames.store(pulled, std::memory_order_relaxed);
    pullCounter.store(when, std::memory_order_relaxed);
    pullSequence.store(sequence + 2, std::memory_order_release);
}

// Reads what the last callback published; false if the audio thread kept changing it.
static bool readPull(int64_t* pulled, uint64_t* when)
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        const uint32_t before = pullSequence.load(std::memory_order_acquire);
        if (before % 2 != 0) {
            continue;
        }
        *pulled = pulledFrames.load(std::memory_order_relaxed);
        *when = pullCounter.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (pullSequence.load(std::memory_order_relaxed) == before) {
            return true;
        }
    }
    return false;
}

// The dummy driver calls back once per buffer and then sleeps a buffer's length in whole
// milliseconds: a little early when idle, later and later under load, and it never makes up
// for lost time. Since nothing is heard, the clock sets the pace instead: each callback
// renders what the time since the first one asks for, plus one buffer ahead as a device
// would hold, into the buffer SDL hands over (which goes nowhere), as often as that takes.
// The time the process stood stopped does not count, as it does not for the demo's clock: a
// device stops with the process.
static int64_t pullSilently(Uint8* stream, int frames, uint64_t now, int64_t pulled)
{
    const unsigned int continues = continueCount();
    uint64_t start = silentStart.load(std::memory_order_relaxed);
    if (start == 0) {
        start = now;
    } else if (continues != sdlOutput.continuesSeen && now > sdlOutput.lastPull) {
        start += now - sdlOutput.lastPull;
    }
    silentStart.store(start, std::memory_order_relaxed);
    sdlOutput.lastPull = now;
    sdlOutput.continuesSeen = continues;
    const int64_t due = framesBetween(start, now) + frames;
    while (pulled < due) {
        const int count = static_cast<int>(std::min<int64_t>(frames, due - pulled));
        sdlOutput.render(reinterpret_cast<int16_t*>(stream), count);
        pulled += count;
    }
    return pulled;
}

static void pullAudio(void*, Uint8* stream, int length)
{
    const uint64_t now = SDL_GetPerformanceCounter();
    const int frames = length / sdlOutput.bytesPerFrame;
    int64_t pulled = pulledFrames.load(std::memory_order_relaxed);
    if (sdlOutput.silent) {
        pulled = pullSilently(stream, frames, now, pulled);
    } else {
        sdlOutput.render(reinterpret_cast<int16_t*>(stream), frames);
        pulled += frames;
    }
    publishPull(pulled, now);
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

bool audioOutputOpen(int rate, int channels, int frames, AudioRender renderFunction)
{
    quietSoundLibrary();
    sdlOutput = SDL_OUTPUT_START_STATE;
    sdlOutput.render = renderFunction;
    sdlOutput.bytesPerFrame = channels * static_cast<int>(sizeof(int16_t));
    sdlOutput.rate = rate;
    sdlOutput.bufferFrames = frames;
    pullSequence.store(0);
    pulledFrames.store(0);
    pullCounter.store(0);
    silentStart.store(0);
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = static_cast<Uint16>(frames);
    wanted.callback = pullAudio;
    sdlOutput.device = openDevice(wanted);
    if (sdlOutput.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        // Override: the environment's SDL_AUDIODRIVER would otherwise win over a hint. Reset
        // once used, so that a later open tries the real drivers again.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        sdlOutput.device = openDevice(wanted);
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    sdlOutput.silent = driver != nullptr && SDL_strcmp(driver, "dummy") == 0;
    return sdlOutput.device != 0;
}

void audioOutputResume()
{
    if (sdlOutput.device != 0) {
        SDL_PauseAudioDevice(sdlOutput.device, 0);
    }
}

void audioOutputLock()
{
    if (sdlOutput.device != 0) {
        SDL_LockAudioDevice(sdlOutput.device);
    }
}

void audioOutputUnlock()
{
    if (sdlOutput.device != 0) {
        SDL_UnlockAudioDevice(sdlOutput.device);
    }
}

// The silent output has played what the clock says, up to what it has pulled. A device has
// played all but two buffers of what was pulled at the last callback, plus the time since,
// and never more than that callback pulled.
int64_t audioOutputPlayedFrames()
{
    int64_t pulled = 0;
    uint64_t when = 0;
    if (sdlOutput.device == 0 || !readPull(&pulled, &when) || pulled == 0) {
        return sdlOutput.lastPlayed;
    }
    const uint64_t now = SDL_GetPerformanceCounter();
    int64_t played;
    if (sdlOutput.silent) {
        played = std::min(pulled, framesBetween(silentStart.load(std::memory_order_relaxed), now));
    } else {
        played = std::min(pulled, pulled - 2 * sdlOutput.bufferFrames + framesBetween(when, now));
    }
    sdlOutput.lastPlayed = std::max(sdlOutput.lastPlayed, played);
    return sdlOutput.lastPlayed;
}

void audioOutputClose()
{
    if (sdlOutput.device != 0) {
        SDL_CloseAudioDevice(sdlOutput.device);
    }
    sdlOutput = SDL_OUTPUT_START_STATE;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
