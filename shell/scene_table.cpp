// The demo's parts: its two scenes, the knot, then the tunnel with its particle layer and
// scroller, and the music player with the embedded resources. The knot swells in the frame of
// the step that takes a beat; the tunnel adds its speeds before it takes the beat, so its
// flight shows the kick a step later.
#include "assets/resources.h"
#include "music/player.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "shell/scenes.h"

const DemoParts demoParts = {
    particlesInit,
    {
        {knotSceneInit, knotSceneStep, knotSceneDraw, knotSceneRelease, 0},
        {tunnelSceneInit, tunnelSceneStep, tunnelSceneDraw, tunnelSceneRelease, 1},
    },
    startSound,
    findResourceBlob,
    playModule,
    isModulePlaying,
    setBeatLead,
    shutdownSound,
};
