// The browser's clock: performance.now() in milliseconds, cut to 32 bits; on demand, the
// virtual clock moved by the frame loop (main_web.cpp).
#include <emscripten.h>

#include <ctime>

#include "platform/web/web.h"
#include "shell/clock.h"

WebTiming webTiming = WEB_TIMING_START;

static uint32_t virtualNow = WEB_CLOCK_BASE_MS;

void webClockSet(int64_t msSinceStart) { virtualNow = WEB_CLOCK_BASE_MS + static_cast<uint32_t>(msSinceStart); }

uint32_t tickCount()
{
    if (webTiming.onDemand) {
        return virtualNow;
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

unsigned int randomSeed()
{
    return webTiming.onDemand ? webTiming.seed : static_cast<unsigned int>(std::time(nullptr));
}
