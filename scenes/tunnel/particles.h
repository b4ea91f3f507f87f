// The particle field: a pen tracing a yin-yang figure in grey dots, throwing off sparks.
#pragma once

void particlesInit();
int particlesStep();
void particlesDraw();
