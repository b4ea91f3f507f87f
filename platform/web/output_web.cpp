// The sound output in a browser. Live, on Web Audio: the player renders on the main thread
// (there is no audio thread to lock out), once a frame, chunk after chunk, each chunk scheduled
// as a buffer source at its own time on the AudioContext's clock, until the audio queued runs a
// little ahead of that clock. The played position is read from the same clock less the
// context's output latency, so a beat is seen when it is heard. A page without Web Audio gets a
// silent output that keeps the same pace on the browser's clock. On demand, nothing is
// scheduled: the frame loop pulls the music in lockstep with its virtual clock.
#include <emscripten.h>

#include <cstring>

#include "music/output.h"
#include "platform/web/web.h"

// How far ahead of the context's clock audio is queued: enough to ride out a slow frame, on
// a slow machine a frame of several hundred milliseconds. How far ahead does not move the
// played position, which is read from the clock.
static constexpr double QUEUE_AHEAD_SECONDS = 0.5;
// The first chunk starts this long after the output resumes, so it is never late.
static constexpr double START_DELAY_SECONDS = 0.05;
static constexpr int MAX_CHUNK_FRAMES = 4096;
static constexpr int MAX_CHANNELS = 2;

struct WebOutputState {
    AudioRender render;     // null while no output is open
    int rate;
    int channels;
    int chunkFrames;
    bool started;           // resumed: from then on the player is pulled
    bool timed;             // live: startTime below is set
    double startTime;       // the context time at which pulled frame 0 plays
    int64_t pulledFrames;
    int64_t playedFrames;   // the last answer of audioOutputPlayedFrames
};
static constexpr WebOutputState WEB_OUTPUT_START_STATE = {nullptr, 44100, 2, MAX_CHUNK_FRAMES, false, false, 0.0, 0, 0};
static WebOutputState webOutput = WEB_OUTPUT_START_STATE;
static int16_t chunk[MAX_CHUNK_FRAMES * MAX_CHANNELS];
// On demand, a frame interval's music in one piece, as the capture renders it: at least 1 fps.
static constexpr int MAX_SLICE_FRAMES = 48000;
static int16_t slice[MAX_SLICE_FRAMES * MAX_CHANNELS];

// One AudioContext for the page, made by the page beforehand or else here, and resumed inside
// the click that starts the demo, as browsers ask; it stays for a run played again. Returns 0
// where there is no Web Audio.
EM_JS(int, webAudioOpen, (int rate), {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    if (!Module.audioContext) {
        try {
            Module.audioContext = new Context({ sampleRate: rate });
        } catch (e) {
            Module.audioContext = new Context();
        }
    }
    Module.audioSources = [];
    Module.audioContext.resume();
    return 1;
});

// The time on the context's clock, or on the browser's where there is no Web Audio.
EM_JS(double, webAudioNow, (), {
    return Module.audioContext ? Module.audioContext.currentTime : performance.now() / 1000;
});

// The context time of what is being heard now: its clock less the latency to the loudspeaker.
EM_JS(double, webAudioHeardNow, (), {
    var c = Module.audioContext;
    if (!c) return performance.now() / 1000;
    return c.currentTime - (c.outputLatency || 0) - (c.baseLatency || 0);
});

// Plays `frames` interleaved 16-bit frames from `samples` at context time `when`.
EM_JS(void, webAudioQueue, (const int16_t* samples, int frames, int channels, int rate, double when), {
    var c = Module.audioContext;
    if (!c) return;
    var buffer = c.createBuffer(channels, frames, rate);
    var first = samples >> 1;
    for (var ch = 0; ch < channels; ++ch) {
        var data = buffer.getChannelData(ch);
        for (var i = 0; i < frames; ++i) data[i] = HEAP16[first + i * channels + ch] / 32768;
    }
    var source = c.createBufferSource();
    source.buffer = buffer;
    source.connect(c.destination);
    source.onended = function() {
        var i = Module.audioSources.indexOf(source);
        if (i >= 0) Module.audioSources.splice(i, 1);
    };
    Module.audioSources.push(source);
    source.start(when);
});

EM_JS(void, webAudioStop, (), {
    if (!Module.audioContext) return;
    Module.audioSources.forEach(function(source) { source.onended = null; source.stop(); });
    Module.audioSources = [];
    Module.audioContext.suspend();
});

bool audioOutputOpen(int rate, int channels, int frames, AudioRender render)
{
    if (channels < 1 || channels > MAX_CHANNELS) {
        return false;
    }
    webOutput = WEB_OUTPUT_START_STATE;
    webOutput.render = render;
    webOutput.rate = rate;
    webOutput.channels = channels;
    webOutput.chunkFrames = frames > 0 && frames < MAX_CHUNK_FRAMES ? frames : MAX_CHUNK_FRAMES;
    if (!webTiming.onDemand) {
        webAudioOpen(rate);
    }
    return true;
}

void audioOutputResume() { webOutput.started = true; }
// One thread: the player only runs when the main loop pulls it.
void audioOutputLock() {}
void audioOutputUnlock() {}

int64_t audioOutputPlayedFrames()
{
    if (webOutput.render == nullptr) {
        return 0;
    }
    if (!webTiming.onDemand && webOutput.timed) {
        const double heard = (webAudioHeardNow() - webOutput.startTime) * webOutput.rate;
        const int64_t frames = heard > 0.0 ? static_cast<int64_t>(heard) : 0;
        if (frames > webOutput.playedFrames) {
            webOutput.playedFrames = frames < webOutput.pulledFrames ? frames : webOutput.pulledFrames;
        }
    }
    return webOutput.playedFrames;
}

void audioOutputClose()
{
    if (webOutput.render != nullptr && !webTiming.onDemand) {
        webAudioStop();
    }
    webOutput = WEB_OUTPUT_START_STATE;
}

void webAudioPump()
{
    if (webOutput.render == nullptr || !webOutput.started) {
        return;
    }
    const double now = webAudioNow();
    if (!webOutput.timed) {
        webOutput.startTime = now + START_DELAY_SECONDS;
        webOutput.timed = true;
    }
    // After a stall longer than the queue, the next chunk plays as soon as it can: the rest of
    // the music moves later by the stall, and the played position waits for it.
    if (webOutput.startTime + static_cast<double>(webOutput.pulledFrames) / webOutput.rate < now) {
        webOutput.startTime = now + START_DELAY_SECONDS - static_cast<double>(webOutput.pulledFrames) / webOutput.rate;
    }
    for (;;) {
        const double at = webOutput.startTime + static_cast<double>(webOutput.pulledFrames) / webOutput.rate;
        if (at >= now + QUEUE_AHEAD_SECONDS) {
            break;
        }
        webOutput.render(chunk, webOutput.chunkFrames);
        webAudioQueue(chunk, webOutput.chunkFrames, webOutput.channels, webOutput.rate, at);
        webOutput.pulledFrames += webOutput.chunkFrames;
    }
}

void webAudioRenderInLockstep(int frames)
{
    while (frames > 0) {
        const int n = frames < MAX_SLICE_FRAMES ? frames : MAX_SLICE_FRAMES;
        if (webOutput.render != nullptr && webOutput.started) {
            webOutput.render(slice, n);
            webOutput.pulledFrames += n;
            webOutput.playedFrames = webOutput.pulledFrames;
        }
        frames -= n;
    }
}
