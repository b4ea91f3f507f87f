// The knot scene's state: built once at start-up, advanced by knotSceneStep, read by the
// drawing. Scene one plays once per run, so nothing here is ever reset.
#pragma once

#include <cstdint>

#include "math/vec3.h"
#include "shell/gl.h"

constexpr int KNOT_SEGMENT_COUNT = 180;
constexpr int KNOT_BALL_COUNT = 12;
constexpr int SWIRL_POINT_COUNT = 100;
// growthCount stops here: ten steps past the full tube, so the outlined tail fills in.
constexpr int KNOT_GROWTH_LIMIT = 190;
// T/12 as a float32: the balls' spacing and the thickness wave's step per segment.
constexpr float TWELFTH_TURN = 0.5235865f;

// One piece of the knot curve; end always equals the next segment's start.
struct KnotSegment {
    Vec3 start;
    Vec3 end;
};

// One point of the red swirl, in its plane at z = -5.
struct SwirlPoint {
    float x;
    float y;
    float z;
    float angle;       // radians
    float radius;      // from at most 7 down to below 0, then reborn at 7
    float brightness;  // 0.5 .. 0.99
};

extern KnotSegment knotSegments[KNOT_SEGMENT_COUNT];
extern Vec3 knotBalls[KNOT_BALL_COUNT];
extern SwirlPoint swirlPoints[SWIRL_POINT_COUNT];

extern GLuint knotTubeTexture;
extern GLuint knotBallTexture;
extern float ballOrbitAngle;    // radians
extern float ballOrbitSpeed;    // radians per step
extern float cameraOrbitAngle;  // degrees
extern float cameraOrbitSpeed;  // degrees per step
extern float cameraDistance;
extern Vec3 cameraPosition;
extern float pulseScale;
extern float waveKick;
extern float wavePhase;  // radians
extern int32_t growthCount;
extern int32_t beatCount;
extern int32_t beatLimit;
extern uint32_t knotStartTick;  // 0: not yet recorded
