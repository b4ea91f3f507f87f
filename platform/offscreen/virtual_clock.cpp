// The capture's clock: time moves only when the capture moves it, one frame interval per
// pass of the main loop, so every frame is taken at exactly its own moment.
#include "platform/offscreen/virtual_clock.h"

#include "shell/clock.h"

struct VirtualClockState {
    uint32_t now;       // what tickCount() reads
    unsigned int seed;  // what randomSeed() gives
};
static VirtualClockState virtualClock = {CLOCK_BASE_MS, 0};

void virtualClockSet(int64_t msSinceStart) { virtualClock.now = CLOCK_BASE_MS + static_cast<uint32_t>(msSinceStart); }
void virtualClockSeed(unsigned int seed) { virtualClock.seed = seed; }

uint32_t tickCount() { return virtualClock.now; }
unsigned int randomSeed() { return virtualClock.seed; }
