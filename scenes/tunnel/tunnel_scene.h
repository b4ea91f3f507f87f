// Scene two: the flight through the breathing tunnel, with the particle pen and the scroller
// drawn over it.
#pragma once

void tunnelSceneInit();
int tunnelSceneStep();
void tunnelSceneDraw();
void tunnelSceneRelease();
