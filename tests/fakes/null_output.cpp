#include "tests/fakes/null_output.h"

NullOutput nullOutput{};
static int refuseOpen = 0;

void nullOutputReset(int refuse)
{
    nullOutput = NullOutput{};
    refuseOpen = refuse;
}

int audioOutputOpen(int rate, int channels, int frames, AudioRender render)
{
    nullOutput.opens++;
    if (refuseOpen) {
        return 0;
    }
    nullOutput.open = 1;
    nullOutput.resumed = 0;
    nullOutput.rate = rate;
    nullOutput.channels = channels;
    nullOutput.frames = frames;
    nullOutput.render = render;
    nullOutput.pulled = 0;
    return 1;
}

void audioOutputResume()
{
    if (nullOutput.open) {
        nullOutput.resumed = 1;
    }
}

void audioOutputLock()
{
    nullOutput.lockDepth++;
    nullOutput.locks++;
}

void audioOutputUnlock() { nullOutput.lockDepth--; }

int64_t audioOutputPlayedFrames()
{
    return nullOutput.pulled > nullOutput.lagFrames ? nullOutput.pulled - nullOutput.lagFrames : 0;
}

void nullOutputPull(int16_t* out, int frames)
{
    nullOutput.render(out, frames);
    nullOutput.pulled += frames;
}

void audioOutputClose()
{
    nullOutput.closes++;
    nullOutput.open = 0;
    nullOutput.resumed = 0;
}
