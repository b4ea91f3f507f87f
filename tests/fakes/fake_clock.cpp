// The tests' tick counter and seed.
#include "tests/fakes/fake_clock.h"

#include "shell/clock.h"

struct FakeClockState {
    uint32_t now;
    uint32_t stepOnRead;  // added after every reading
    int reads;            // readings since the last fakeClockSet
};
static FakeClockState fakeClock = {0, 0, 0};

void fakeClockSet(uint32_t ms)
{
    fakeClock.now = ms;
    fakeClock.reads = 0;
}

void fakeClockAdvance(uint32_t ms) { fakeClock.now += ms; }
void fakeClockAdvanceOnRead(uint32_t ms) { fakeClock.stepOnRead = ms; }
uint32_t fakeClockNow() { return fakeClock.now; }
int fakeClockReads() { return fakeClock.reads; }

uint32_t tickCount()
{
    ++fakeClock.reads;
    uint32_t value = fakeClock.now;
    fakeClock.now += fakeClock.stepOnRead;
    return value;
}

unsigned int randomSeed() { return 12345u; }
