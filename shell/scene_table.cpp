// The demo's two scenes: the knot, then the tunnel with its particle layer and scroller.
#include "scenes/knot/knot_scene.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "shell/scenes.h"

const DemoSceneTable demoScenes = {
    particlesInit,
    {
        {knotSceneInit, knotSceneStep, knotSceneDraw, knotSceneRelease},
        {tunnelSceneInit, tunnelSceneStep, tunnelSceneDraw, tunnelSceneRelease},
    },
};
