// The tests' tick counter: it reads whatever the test set, optionally moving on by a fixed
// amount after every reading.
#pragma once

#include <cstdint>

void fakeClockSet(uint32_t ms);
void fakeClockAdvance(uint32_t ms);
// Every tickCount() call returns the current value, then adds `ms` (0 to stop).
void fakeClockAdvanceOnRead(uint32_t ms);
uint32_t fakeClockNow();
// How many times tickCount() has been called since the last fakeClockSet.
int fakeClockReads();
