// The tests' sound output: no device and no thread. It records how it was opened and used;
// tests pull audio themselves, through nullOutputPull (which plays it) or musicRender.
#pragma once

#include <cstdint>

#include "music/output.h"

struct NullOutput {
    bool refuse;    // audioOutputOpen fails as if there were no device
    bool open;      // between audioOutputOpen and audioOutputClose
    bool resumed;   // resumed since it was opened
    int rate;
    int channels;
    int frames;
    AudioRender render;
    int lockDepth;  // locks not yet unlocked
    int locks;      // audioOutputLock calls since the last reset
    int opens;
    int closes;
    int64_t pulled;     // frames pulled through nullOutputPull since it was opened
    int64_t lagFrames;  // how far playback trails them: the position is pulled - lagFrames
};

extern NullOutput nullOutput;

// Forgets everything recorded; `refuse` makes the next opens fail as if there were no device.
void nullOutputReset(bool refuse = false);

// Pulls `frames` frames from the render function into `out`, as a device would.
void nullOutputPull(int16_t* out, int frames);
