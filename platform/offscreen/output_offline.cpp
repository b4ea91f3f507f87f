// The capture's sound output: no device; the capture pulls the player's audio itself, in
// lockstep with the virtual clock, so the sound track matches the picture sample for sample.
// What it has pulled counts as played: that audio goes with the frames already kept.
#include "platform/offscreen/output_offline.h"

#include <cstring>

#include "music/output.h"

static AudioRender renderAudio = nullptr;
static int outputChannels = 2;
static bool started = false;
static int64_t pulledFrames = 0;

int audioOutputOpen(int, int channels, int, AudioRender render)
{
    renderAudio = render;
    outputChannels = channels;
    started = false;
    pulledFrames = 0;
    return 1;
}

void audioOutputResume() { started = true; }
void audioOutputLock() {}
void audioOutputUnlock() {}
int64_t audioOutputPlayedFrames() { return pulledFrames; }

void audioOutputClose()
{
    renderAudio = nullptr;
    started = false;
    pulledFrames = 0;
}

void offlineAudioRender(int16_t* out, int frames)
{
    if (renderAudio != nullptr && started) {
        renderAudio(out, frames);
        pulledFrames += frames;
    } else {
        std::memset(out, 0, sizeof(int16_t) * static_cast<size_t>(frames) * outputChannels);
    }
}
