// The capture's sound output: no device; the capture pulls the player's audio itself, in
// lockstep with the virtual clock, so the sound track matches the picture sample for sample.
// What it has pulled counts as played: that audio goes with the frames already kept.
#include "platform/offscreen/output_offline.h"

#include <cstring>

#include "music/output.h"

struct OfflineOutputState {
    AudioRender render;    // null while no output is open
    int channels;
    bool started;          // resumed: from then on the capture's pulls render the module
    int64_t pulledFrames;  // rendered since the output was opened, all of them played
};
static constexpr OfflineOutputState OFFLINE_OUTPUT_START_STATE = {nullptr, 2, false, 0};
static OfflineOutputState offlineOutput = OFFLINE_OUTPUT_START_STATE;

bool audioOutputOpen(int, int channels, int, AudioRender render)
{
    offlineOutput = OFFLINE_OUTPUT_START_STATE;
    offlineOutput.render = render;
    offlineOutput.channels = channels;
    return true;
}

void audioOutputResume() { offlineOutput.started = true; }
void audioOutputLock() {}
void audioOutputUnlock() {}
int64_t audioOutputPlayedFrames() { return offlineOutput.pulledFrames; }

void audioOutputClose()
{
    offlineOutput.render = nullptr;
    offlineOutput.started = false;
    offlineOutput.pulledFrames = 0;
}

void offlineAudioRender(int16_t* out, int frames)
{
    if (offlineOutput.render != nullptr && offlineOutput.started) {
        offlineOutput.render(out, frames);
        offlineOutput.pulledFrames += frames;
    } else {
        std::memset(out, 0, sizeof(int16_t) * static_cast<size_t>(frames) * offlineOutput.channels);
    }
}
