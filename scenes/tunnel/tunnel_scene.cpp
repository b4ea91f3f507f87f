// Placeholder until the tunnel scene lands: draws nothing and never asks to end.
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/tunnel_scene.h"

void tunnelSceneInit() {}
int tunnelSceneStep() { return 0; }
void tunnelSceneDraw() {}
void tunnelSceneRelease() {}
void particlesInit() {}
int particlesStep() { return 0; }
void particlesDraw() {}
