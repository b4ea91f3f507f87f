// The tick counter: milliseconds as an unsigned 32-bit value that wraps like a system tick
// counter. Durations are always unsigned differences of two readings.
#pragma once

#include <cstdint>

uint32_t tickCount();

// The seed for the random generator: the calendar time in seconds, so no two runs are alike.
unsigned int randomSeed();
