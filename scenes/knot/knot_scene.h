// Scene one: a lit tube growing along a (6, 7) knot, balls circling it, a red swirl behind.
#pragma once

void knotSceneInit();
int knotSceneStep();
void knotSceneDraw();
void knotSceneRelease();
