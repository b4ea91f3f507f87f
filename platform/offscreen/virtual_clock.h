// The capture's clock, linked in place of the real one (shell/clock.h): time moves only when
// the capture moves it, and the seed is the one it was given.
#pragma once

#include <cstdint>

// tickCount() reads CLOCK_BASE_MS plus the time set here.
constexpr uint32_t CLOCK_BASE_MS = 1000000;  // any start well above the 25 ms step interval
void virtualClockSet(int64_t msSinceStart);
void virtualClockSeed(unsigned int seed);
