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

// Loop state. sceneIndex counts from 1; any index past the last scene draws nothing.
static int sceneIndex = 1;
static int endRequested = 0;
static uint32_t fadeInStart = 0;
static uint32_t fadeOutStart = 0;  // 0: no fade-out under way
static uint32_t lastStepTick = 0;
static bool sequenceDone = false;

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
    return 1;
}

// One pass: step when due, watch the music, draw the scene, fade, flush. The frame is
// presented by the buffer swap in the next loop test.
static void runPass()
{
    if (tickCount() - lastStepTick > STEP_INTERVAL_MS) {
        lastStepTick = tickCount();
        const DemoScene* scene = currentScene();
        if (scene != nullptr) {
            endRequested = scene->step();
        } else {
            sequenceDone = true;
        }
    }
    if (!isModulePlaying()) {
        endRequested = 1;
    }

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
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
            runPass();
        }
    }
    shutDown();
    return windowFailure != nullptr ? 1 : 0;
}
