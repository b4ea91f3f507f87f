// What the browser platform's files share: how the run is timed. A page plays the demo live
// (the browser's clock, the sound on Web Audio), or renders frames on demand: the clock moved
// one frame interval per pass and the music rendered in lockstep and dropped, as yarvik-capture
// does, so that frame n is the demo at exactly n * 1000 / fps ms.
#pragma once

#include <cstdint>

struct WebTiming {
    bool onDemand;        // frames on demand instead of live
    int fps;              // on demand: frames per second
    unsigned int seed;    // on demand: the random generator's seed
};
constexpr WebTiming WEB_TIMING_START = {false, 60, 1};
extern WebTiming webTiming;

// On demand: tickCount() reads WEB_CLOCK_BASE_MS plus what is set here, the same start the
// capture's clock has, so the first step falls due on the same frame.
constexpr uint32_t WEB_CLOCK_BASE_MS = 1000000;
void webClockSet(int64_t msSinceStart);

// Live: schedules the player's audio on the AudioContext up to a little ahead of its clock.
// Called once a frame, before the pass.
void webAudioPump();
// On demand: renders `frames` frames of the music (if it has started) and drops them; they
// count as played.
void webAudioRenderInLockstep(int frames);
