// The real tick counter: the monotonic clock in milliseconds, cut to 32 bits. It counts from
// boot, so it wraps about every 49.7 days, exactly as the demo's arithmetic expects.
#include "shell/clock.h"

#include <ctime>

uint32_t tickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

unsigned int randomSeed()
{
    return static_cast<unsigned int>(std::time(nullptr));
}
