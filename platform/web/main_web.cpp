// The entry in a browser. The page loads the program, then calls webStart from the click that
// starts the demo (browsers start sound only after a gesture), or webRenderFrame for a frame on
// demand. The demo's loop runs one pass per call of the browser's frame callback
// (emscripten_set_main_loop): start-up, passes and shutdown as demoRun does them on the
// desktop. When the loop ends, the page is told (Module.onDemoEnd) and offers to play again.
#include <emscripten.h>

#include <cstdint>

#include "music/player.h"
#include "platform/web/web.h"
#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/process.h"
#include "shell/scenes.h"
#include "shell/window.h"

// On demand, the frame loop renders passes for at most this long per frame callback, so the
// page stays responsive.
static constexpr double ON_DEMAND_BUDGET_MS = 100.0;

struct WebRunState {
    bool playing;        // between the start and the shutdown of a run
    int64_t passes;      // passes run so far
    int64_t frame;       // on demand: the frame to stop at
};
static WebRunState webRun = {false, 0, 0};

EM_JS(void, webTellEnd, (int status), {
    if (Module.onDemoEnd) Module.onDemoEnd(status);
});

EM_JS(void, webTellFrame, (double frame, double ms), {
    console.log('frame ' + frame + ' at ' + ms + ' ms');
    if (Module.onFrameReady) Module.onFrameReady(frame, ms);
});

static void endRun()
{
    emscripten_cancel_main_loop();
    webRun.playing = false;
    webTellEnd(demoShutdown());
}

static int64_t frameStartMs(int64_t n) { return n * 1000 / webTiming.fps; }
static int64_t frameStartSample(int64_t n) { return n * MIXING_RATE / webTiming.fps; }

// Live: the sound queued ahead of its clock, then one pass.
static void livePass()
{
    webAudioPump();
    if (!demoPass()) {
        endRun();
    }
}

// On demand: passes as the capture runs them. Before pass k the music of frame k - 1's
// interval is rendered and the clock set to frame k's moment; the loop stops once the frame
// asked for is drawn, leaving it on the canvas.
static void onDemandPasses()
{
    const double until = emscripten_get_now() + ON_DEMAND_BUDGET_MS;
    while (emscripten_get_now() < until) {
        const int64_t k = webRun.passes;
        if (k > webRun.frame) {
            emscripten_cancel_main_loop();
            webTellFrame(static_cast<double>(webRun.frame), static_cast<double>(frameStartMs(webRun.frame)));
            return;
        }
        if (k > 0) {
            webAudioRenderInLockstep(static_cast<int>(frameStartSample(k) - frameStartSample(k - 1)));
        }
        webClockSet(frameStartMs(k));
        if (!demoPass()) {
            endRun();
            return;
        }
        ++webRun.passes;
    }
}

static void frameCallback()
{
    if (webTiming.onDemand) {
        onDemandPasses();
    } else {
        ++webRun.passes;
        livePass();
    }
}

static int startRun()
{
    if (webRun.playing) {
        return 0;
    }
    windowCore = WINDOW_CORE_START_STATE;
    webRun.passes = 0;
    webRun.playing = true;
    if (!demoStart(demoParts)) {
        webRun.playing = false;
        const int status = demoShutdown();
        webTellEnd(status);
        return status;
    }
    emscripten_set_main_loop(frameCallback, 0, 0);
    return 0;
}

// Plays the demo live from the start. Returns 0, or EXIT_FAILED when the window could not be
// made (the reason went to the console, and to the page through onDemoEnd).
extern "C" EMSCRIPTEN_KEEPALIVE int webStart()
{
    webTiming = WEB_TIMING_START;
    return startRun();
}

// Renders the demo on the virtual clock at `fps` frames per second with the random generator
// seeded with `seed`, from the start up to the first frame at or after `ms`, and stops there
// (Module.onFrameReady and a console line "frame N at T ms"), as yarvik-capture --fps fps
// --seed seed renders that frame. Called again with the same rate and seed and a later time
// while the run stands, it goes on from the frame it stopped at.
extern "C" EMSCRIPTEN_KEEPALIVE int webRenderFrame(double ms, int fps, unsigned int seed)
{
    if (fps < 1 || fps > 1000 || !(ms >= 0.0)) {
        return EXIT_USAGE;
    }
    const int64_t frame = static_cast<int64_t>((ms * fps + 999.0) / 1000.0);
    if (webRun.playing) {
        if (!webTiming.onDemand || webTiming.fps != fps || webTiming.seed != seed || frame < webRun.passes) {
            return EXIT_USAGE;
        }
        webRun.frame = frame;
        emscripten_set_main_loop(frameCallback, 0, 0);
        return 0;
    }
    webTiming = WebTiming{true, fps, seed};
    webRun.frame = frame;
    webClockSet(0);
    return startRun();
}

int main()
{
    prepareProcess();
    keepHeapTop();
    return 0;
}
