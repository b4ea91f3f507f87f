// The particle field: a pen tracing a yin-yang figure in grey dots, throwing off sparks that
// fall and cool. Everything lives in the 640x480 overlay space, drawn lifted by 32 units.
#pragma once

#include <cstdint>

#include "shell/screen.h"

// Clears both pools. Called once at start-up; the pen keeps its load-time position.
void particlesInit();
// Moves the pen and every live spark by one logic step; nonzero once the figure is complete.
int particlesStep();
// Draws the dots and the sparks; leaves the layer's translation on the modelview matrix.
void particlesDraw();

// ---------------------------------------------------------------------------------------------
// The field's state and inner steps, read by its tests and benchmarks.

struct Particle {
    float x;
    float y;
    float vx;
    float vy;
    float r;
    float g;
    float b;
    int32_t alive;
};

constexpr int SPARK_POOL_SIZE = 1000;
constexpr int DOT_POOL_SIZE = 10000;

struct Pen {
    float angle;    // radians along the figure; only ever grows
    float centreX;
    float centreY;
};

constexpr float PEN_START_ANGLE = 1.5707595f;  // T/4: the top of the outer circle
constexpr float PEN_ANGLE_STEP = 0.015707595f;  // T/400
constexpr float PEN_RADIUS = 64.0f;

// The field: its two pools and the pen, as at program load (the pools all zero until
// particlesInit clears them). Scene two plays once per run, so the demo never resets it; a test
// starts from a fresh field with `particleField = PARTICLE_FIELD_START_STATE` and particlesInit.
struct ParticleField {
    Particle sparks[SPARK_POOL_SIZE];
    Particle dots[DOT_POOL_SIZE];  // dots never move, fade or die
    Pen pen;
};
constexpr ParticleField PARTICLE_FIELD_START_STATE = {
    {}, {}, {PEN_START_ANGLE, SCREEN_WIDTH / 2.0f, SCREEN_HEIGHT / 2.0f},
};

extern ParticleField particleField;

// Up to two white sparks and one dot at (x, y); the colour is on a 0..255 scale.
void emitParticles(float x, float y, int r, int g, int b);
// Four pen moves, each emitting at its point; 1 (and no emission) once the figure is done.
int penStep(float radius);
