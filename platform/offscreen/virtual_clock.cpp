// The capture's clock: time moves only when the capture moves it, one frame interval per
// pass of the main loop, so every frame is taken at exactly its own moment.
#include "platform/offscreen/virtual_clock.h"
#include "shell/clock.h"

static uint32_t now = CLOCK_BASE_MS;
static unsigned int seed = 0;

void virtualClockSet(int64_t msSinceStart) { now = CLOCK_BASE_MS + static_cast<uint32_t>(msSinceStart); }
void virtualClockSeed(unsigned int s) { seed = s; }

uint32_t tickCount() { return now; }
unsigned int randomSeed() { return seed; }
