// Placeholder until the knot scene lands: draws nothing and never asks to end.
#include "scenes/knot/knot_scene.h"

void knotSceneInit() {}
int knotSceneStep() { return 0; }
void knotSceneDraw() {}
void knotSceneRelease() {}
