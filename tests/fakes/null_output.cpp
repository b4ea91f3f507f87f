// The tests' sound output: a record of how it is used, and pulls only when a test pulls.
#include "tests/fakes/null_output.h"

NullOutput nullOutput{};

void nullOutputReset(bool refuse)
{
    nullOutput = NullOutput{};
    nullOutput.refuse = refuse;
}

bool audioOutputOpen(int rate, int channels, int frames, AudioRender render)
{
    nullOutput.opens++;
    if (nullOutput.refuse) {
        return false;
    }
    nullOutput.open = true;
    nullOutput.resumed = false;
    nullOutput.rate = rate;
    nullOutput.channels = channels;
    nullOutput.frames = frames;
    nullOutput.render = render;
    nullOutput.pulled = 0;
    return true;
}

void audioOutputResume()
{
    if (nullOutput.open) {
        nullOutput.resumed = true;
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
    nullOutput.open = false;
    nullOutput.resumed = false;
}
