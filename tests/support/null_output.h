// The tests' sound output: no device and no thread. It records how it was opened and used;
// tests pull audio themselves through musicRender.
#pragma once

#include "music/output.h"

struct NullOutput {
    int open;       // 1 between audioOutputOpen and audioOutputClose
    int running;    // resumed since it was opened
    int rate;
    int channels;
    int frames;
    AudioRender render;
    int lockDepth;  // locks not yet unlocked
    int locks;      // audioOutputLock calls since the last reset
    int opens;
    int closes;
};

extern NullOutput nullOutput;

// Forgets everything recorded; `refuse` makes the next opens fail as if there were no device.
void nullOutputReset(int refuse = 0);
