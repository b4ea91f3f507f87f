// Start-up, the main loop with its logic tick and scene sequence, and shutdown.
#include "shell/demo.h"

#include <cstdint>
#include <cstdlib>

#include "shell/clock.h"
#include "shell/gl.h"
#include "shell/gl_state.h"
#include "shell/overlay.h"
#include "shell/scenes.h"
#include "shell/window.h"

// A logic step falls due once more than this many milliseconds have passed since the last.
static constexpr uint32_t STEP_INTERVAL_MS = 25;
// The most the beats are aimed ahead of a step: a pass or a step interval that long is a stall,
// not a guide to the next.
static constexpr uint32_t BEAT_LEAD_LIMIT_MS = 100;

// The loop's state, set to its start value as each run begins. sceneIndex counts from 1; any
// index past the last scene draws nothing.
struct DemoLoopState {
    const DemoParts* parts;  // what the run plays
    int sceneIndex;
    int endRequested;        // the current scene is to end: its step asked, or the music stopped
    uint32_t fadeInStart;    // tick at which the current scene's fade-in began
    uint32_t fadeOutStart;   // tick at which its fade-out began; 0: no fade-out under way
    uint32_t lastStepTick;   // tick at which the last step fell due; 0: none yet
    bool sequenceDone;       // a step fell due past the last scene: the loop ends
    // When steps happen and their frames are shown: the last interval between two steps, the
    // time from the last step to the buffer swap that showed its frame, and whether that swap
    // is due.
    uint32_t stepIntervalMs;
    uint32_t stepShownAfterMs;
    bool stepFrameShowing;
};
static constexpr DemoLoopState DEMO_LOOP_START_STATE = {nullptr, 1, 0, 0, 0, 0, false, 0, 0, false};
static DemoLoopState loop = DEMO_LOOP_START_STATE;

static const DemoScene* currentScene()
{
    if (loop.sceneIndex >= 1 && loop.sceneIndex <= DEMO_SCENE_COUNT) {
        return &loop.parts->scenes[loop.sceneIndex - 1];
    }
    return nullptr;
}

// Everything before the first pass. False when the window could not be made: then no scene
// touches GL and no music starts, and the caller goes straight to shutdown.
static bool startUp(const DemoParts& parts)
{
    loop = DEMO_LOOP_START_STATE;
    loop.parts = &parts;
    std::srand(randomSeed());
    createDemoWindow();
    if (!windowCore.running) {
        return false;
    }
    parts.startSound();
    parts.prepareScenes();
    for (const DemoScene& scene : parts.scenes) {
        scene.init();
    }
    // A missing module behaves as one that does not play: each scene shows only its fade-out.
    ResourceBlob music;
    if (takeResource("CHIP1", "MODMUSIC", &music, parts.findResourceBlob)) {
        parts.playModule(music.data, music.size);
    }
    loop.fadeInStart = tickCount();
    return true;
}

// After each loop test: the frame of the last step has just been shown if it was drawn in the
// pass before.
static void noteFrameShown()
{
    if (loop.stepFrameShowing) {
        loop.stepShownAfterMs = tickCount() - loop.lastStepTick;
        loop.stepFrameShowing = false;
    }
}

// A beat should change the frame shown nearest to the moment it is heard. This step's frame
// will be shown about as long after it as the last one was, and the scene may show a beat only
// some steps later; the next step's showing comes a step interval after that. So the step
// takes what will have been heard halfway between the two.
static void aimBeats(const DemoScene* scene)
{
    const uint32_t stepsLater = scene != nullptr ? static_cast<uint32_t>(scene->beatShownAfterSteps) : 0;
    const uint32_t lead = loop.stepShownAfterMs + stepsLater * loop.stepIntervalMs + loop.stepIntervalMs / 2;
    loop.parts->setBeatLead(lead < BEAT_LEAD_LIMIT_MS ? lead : BEAT_LEAD_LIMIT_MS);
}

// One pass: step when due, watch the music, draw the scene, fade, flush. The frame is
// presented by the buffer swap in the next loop test.
static void runPass()
{
    if (tickCount() - loop.lastStepTick > STEP_INTERVAL_MS) {
        const uint32_t now = tickCount();
        loop.stepIntervalMs = loop.lastStepTick != 0 ? now - loop.lastStepTick : 0;
        loop.lastStepTick = now;
        loop.stepFrameShowing = true;
        const DemoScene* scene = currentScene();
        aimBeats(scene);
        if (scene != nullptr) {
            loop.endRequested = scene->step();
        } else {
            loop.sequenceDone = true;
        }
    }
    if (!loop.parts->isModulePlaying()) {
        loop.endRequested = 1;
    }

    clearFrame();
    glLoadIdentity();
    if (const DemoScene* scene = currentScene()) {
        scene->draw();
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    if (!loop.endRequested) {
        fadeIn(loop.fadeInStart);
    } else {
        if (loop.fadeOutStart == 0) {
            loop.fadeOutStart = tickCount();
        }
        // The pass on which the fade-out completes draws no overlay: its frame shows the
        // scene unfaded, and the next pass the next scene under an almost opaque fade-in.
        if (fadeOut(loop.fadeOutStart)) {
            loop.fadeInStart = tickCount();
            loop.endRequested = 0;
            ++loop.sceneIndex;
            loop.fadeOutStart = 0;
        }
    }
    glFlush();
    reportGlErrors();
}

static void shutDown(const DemoParts& parts)
{
    for (const DemoScene& scene : parts.scenes) {
        scene.release();
    }
    parts.shutdownSound();
    destroyDemoWindow();
}

int demoSceneIndex() { return loop.sceneIndex; }

int demoMain() { return demoRun(demoParts); }

int demoRun(const DemoParts& parts)
{
    if (startUp(parts)) {
        // In the order it runs: the loop test (pumpMessages takes at most one event, then
        // presents the frame the pass before drew), then the pass, which steps when one is
        // due, watches the music, draws the frame and fades it.
        while (pumpMessages() && !loop.sequenceDone) {
            noteFrameShown();
            runPass();
        }
    }
    shutDown(parts);
    return windowCore.failure != nullptr ? EXIT_FAILED : EXIT_DONE;
}
