// Start-up, the main loop with its logic tick and scene sequence, and shutdown.
#include "shell/demo.h"

#include <cstdint>
#include <cstdlib>

#include "assets/resources.h"
#include "music/player.h"
#include "shell/clock.h"
#include "shell/gl.h"
#include "shell/overlay.h"
#include "shell/scenes.h"
#include "shell/window.h"

// A logic step falls due once more than this many milliseconds have passed since the last.
static constexpr uint32_t STEP_INTERVAL_MS = 25;
// The most the beats are aimed ahead of a step: a pass or a step interval that long is a stall,
// not a guide to the next.
static constexpr uint32_t BEAT_LEAD_LIMIT_MS = 100;

// Loop state. sceneIndex counts from 1; any index past the last scene draws nothing.
static int sceneIndex = 1;
static int endRequested = 0;
static uint32_t fadeInStart = 0;
static uint32_t fadeOutStart = 0;  // 0: no fade-out under way
static uint32_t lastStepTick = 0;
static bool sequenceDone = false;
// When steps happen and their frames are shown: the last interval between two steps, the time
// from the last step to the buffer swap that showed its frame, and whether that swap is due.
static uint32_t stepIntervalMs = 0;
static uint32_t stepShownAfterMs = 0;
static bool stepFrameShowing = false;

static const DemoScene* currentScene()
{
    if (sceneIndex >= 1 && sceneIndex <= DEMO_SCENE_COUNT) {
        return &demoScenes.scenes[sceneIndex - 1];
    }
    return nullptr;
}

// Everything before the first pass. Returns 0 when the window could not be made: then no
// scene touches GL and no music starts, and the caller goes straight to shutdown.
static int startUp()
{
    std::srand(randomSeed());
    createDemoWindow();
    if (!running) {
        return 0;
    }
    startSound();
    demoScenes.prepare();
    for (const DemoScene& scene : demoScenes.scenes) {
        scene.init();
    }
    // A missing module behaves as one that does not play: each scene shows only its fade-out.
    ResourceBlob* music = findResourceBlob("CHIP1", "MODMUSIC");
    if (music != nullptr) {
        playModule(music->data, music->size);
        std::free(music);
    }
    fadeInStart = tickCount();
    sceneIndex = 1;
    endRequested = 0;
    fadeOutStart = 0;
    lastStepTick = 0;
    sequenceDone = false;
    stepIntervalMs = 0;
    stepShownAfterMs = 0;
    stepFrameShowing = false;
    return 1;
}

// After each loop test: the frame of the last step has just been shown if it was drawn in the
// pass before.
static void noteFrameShown()
{
    if (stepFrameShowing) {
        stepShownAfterMs = tickCount() - lastStepTick;
        stepFrameShowing = false;
    }
}

// A beat should change the frame shown nearest to the moment it is heard. This step's frame
// will be shown about as long after it as the last one was, and the scene may show a beat only
// some steps later; the next step's showing comes a step interval after that. So the step
// takes what will have been heard halfway between the two.
static void aimBeats(const DemoScene* scene)
{
    const uint32_t stepsLater = scene != nullptr ? static_cast<uint32_t>(scene->beatShownAfterSteps) : 0;
    const uint32_t lead = stepShownAfterMs + stepsLater * stepIntervalMs + stepIntervalMs / 2;
    setBeatLead(lead < BEAT_LEAD_LIMIT_MS ? lead : BEAT_LEAD_LIMIT_MS);
}

// One pass: step when due, watch the music, draw the scene, fade, flush. The frame is
// presented by the buffer swap in the next loop test.
static void runPass()
{
    if (tickCount() - lastStepTick > STEP_INTERVAL_MS) {
        const uint32_t now = tickCount();
        stepIntervalMs = lastStepTick != 0 ? now - lastStepTick : 0;
        lastStepTick = now;
        stepFrameShowing = true;
        const DemoScene* scene = currentScene();
        aimBeats(scene);
        if (scene != nullptr) {
            endRequested = scene->step();
        } else {
            sequenceDone = true;
        }
    }
    if (!isModulePlaying()) {
        endRequested = 1;
    }

    clearFrame();
    glLoadIdentity();
    if (const DemoScene* scene = currentScene()) {
        scene->draw();
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    if (!endRequested) {
        fadeIn(fadeInStart);
    } else {
        if (fadeOutStart == 0) {
            fadeOutStart = tickCount();
        }
        if (fadeOut(fadeOutStart)) {
            fadeInStart = tickCount();
            endRequested = 0;
            ++sceneIndex;
            fadeOutStart = 0;
        }
    }
    glFlush();
}

static void shutDown()
{
    for (const DemoScene& scene : demoScenes.scenes) {
        scene.release();
    }
    shutdownSound();
    destroyDemoWindow();
}

int demoSceneIndex() { return sceneIndex; }

int demoMain()
{
    if (startUp()) {
        while (pumpMessages() && !sequenceDone) {
            noteFrameShown();
            runPass();
        }
    }
    shutDown();
    return windowFailure != nullptr ? 1 : 0;
}
