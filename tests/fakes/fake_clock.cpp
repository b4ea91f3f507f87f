#include "tests/fakes/fake_clock.h"

#include "shell/clock.h"

static uint32_t now = 0;
static uint32_t stepOnRead = 0;
static int reads = 0;

void fakeClockSet(uint32_t ms)
{
    now = ms;
    reads = 0;
}

void fakeClockAdvance(uint32_t ms) { now += ms; }
void fakeClockAdvanceOnRead(uint32_t ms) { stepOnRead = ms; }
uint32_t fakeClockNow() { return now; }
int fakeClockReads() { return reads; }

uint32_t tickCount()
{
    ++reads;
    uint32_t value = now;
    now += stepOnRead;
    return value;
}

unsigned int randomSeed() { return 12345u; }
