// The real tick counter: the monotonic clock in milliseconds, cut to 32 bits, less the time the
// process stood stopped. It counts from boot, so it wraps about every 49.7 days, exactly as the
// demo's arithmetic expects. A stopped process's sound device stops with it and the song
// resumes where it was, so the demo's time resumes there as well: when the process has been
// continued since the last reading, the time since that reading did not pass. The main loop
// reads the clock several times a pass, so at most a pass's time is lost with a stop.
#include "shell/clock.h"

#include <ctime>

#include "shell/process.h"

// The readings so far, all on the main loop's thread. stoppedMs: the time spent stopped.
struct SdlClockState {
    uint64_t lastMs;
    uint64_t stoppedMs;
    unsigned int continuesSeen;
};
static constexpr SdlClockState SDL_CLOCK_START_STATE = {0, 0, 0};
static SdlClockState sdlClock = SDL_CLOCK_START_STATE;

uint32_t tickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    const unsigned int continues = continueCount();
    if (continues != sdlClock.continuesSeen) {
        sdlClock.continuesSeen = continues;
        if (sdlClock.lastMs != 0) {
            sdlClock.stoppedMs += ms - sdlClock.lastMs;
        }
    }
    sdlClock.lastMs = ms;
    return static_cast<uint32_t>(ms - sdlClock.stoppedMs);
}

unsigned int randomSeed()
{
    return static_cast<unsigned int>(std::time(nullptr));
}
