// The scenes the main loop plays, in order, and the contract each one keeps.
#pragma once

typedef int (*SceneStep)();     // one logic step; nonzero asks the loop to end the scene
typedef void (*SceneDraw)();    // draws into freshly cleared buffers from an identity modelview
typedef void (*SceneRelease)(); // once at shutdown

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

struct DemoSceneTable {
    void (*prepare)();  // start-up work the scenes share, run before any scene's init
    DemoScene scenes[DEMO_SCENE_COUNT];
};

// Scene 1 is scenes[0]. Defined in scene_table.cpp; the loop tests link a recording table instead.
extern const DemoSceneTable demoScenes;
