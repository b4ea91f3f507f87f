// The scenes the main loop plays, in order, the contract each one keeps, and the rest of what
// the loop calls besides the window, the clock and GL: the music and the module's lookup.
//
// Those reach the loop as one table it is handed, a seam like the window or the clock but
// chosen at run time rather than link time: the pieces behind it are core modules that the rest
// of the demo and its tests link as they are. The demo plays demoParts (scene_table.cpp); the
// loop tests hand demoRun a recording set and the start-up profile a set whose entries time the
// demo's own.
#pragma once

#include <cstdint>

#include "assets/resources.h"

// The scene contract.
//
// SceneStep: one logic step, on a pass on which a step falls due, before that pass draws;
// nonzero asks the loop to end the scene. A step reads the clock itself and takes the beat
// itself, with exactly one takeBeat() per step, whether or not it uses it: takeBeat hands out
// every beat heard since the last call at once, so a second call in the same step finds none,
// and a step that skipped the call would show its beats a step late. The loop never reads the
// beat.
// SceneDraw: draws into freshly cleared buffers from an identity modelview; may leave any
// texture bound.
// SceneRelease: once at shutdown. The demo's scenes have nothing to release: their textures go
// with the GL context when the window is destroyed.
typedef int (*SceneStep)();
typedef void (*SceneDraw)();
typedef void (*SceneRelease)();

struct DemoScene {
    void (*init)();  // once at start-up, with the GL context current
    SceneStep step;
    SceneDraw draw;
    SceneRelease release;
    // Steps from the one that takes a beat to the first whose frame shows it: 0 when a step's
    // own frame shows its beat, 1 when the scene moves by what the step before it set.
    int beatShownAfterSteps;
};

constexpr int DEMO_SCENE_COUNT = 2;

// The entries after the scenes keep the contracts of their namesakes in music/player.h and
// assets/resources.h. All stand in the order the loop first calls them.
struct DemoParts {
    void (*prepareScenes)();             // the tunnel's particle field (particlesInit), before any scene's init
    DemoScene scenes[DEMO_SCENE_COUNT];  // scene 1 is scenes[0]
    void (*startSound)();
    ResourceBlob* (*findResourceBlob)(const char* name, const char* type);  // the module, "CHIP1"
    int (*playModule)(const unsigned char* bytes, uint32_t length);
    int (*isModulePlaying)();
    void (*setBeatLead)(uint32_t ms);
    void (*shutdownSound)();
};

// The demo's own: the knot, then the tunnel, over the embedded module.
extern const DemoParts demoParts;
