// The knot scene's state: built once at start-up, advanced by knotSceneStep, read by the
// drawing. Scene one plays once per run, so the demo never resets it; a test starts from a
// fresh scene with `knotScene = KNOT_START_STATE`.
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

struct KnotState {
    KnotSegment segments[KNOT_SEGMENT_COUNT];  // the curve, sampled once by knotSceneInit
    Vec3 balls[KNOT_BALL_COUNT];               // ball centres; y stays 0
    SwirlPoint swirlPoints[SWIRL_POINT_COUNT];
    GLuint tubeTexture;      // from resource "REDDISH"
    GLuint ballTexture;      // from resource "BALL", a texture object of the scene's own
    float ballOrbitAngle;    // radians
    float ballOrbitSpeed;    // radians per step; its sign flips when the orbits reverse
    float cameraOrbitAngle;  // degrees
    float cameraOrbitSpeed;  // degrees per step; its sign flips when the orbits reverse
    float cameraDistance;    // from the knot's axis; shrinks to 0 once the scene asks to end
    Vec3 cameraPosition;     // recomputed every step from the three above
    float pulseScale;        // applied to every curve point when drawing; 1.15 right after a beat
    float waveKick;          // added to wavePhase every step; 0.5 right after a beat
    float wavePhase;         // radians: the thickness wave's phase along the tube
    int32_t growthCount;     // segments grown so far, up to KNOT_GROWTH_LIMIT
    int32_t beatCount;       // beats counted since the orbits last reversed
    int32_t beatLimit;       // the orbits reverse on the beat that takes beatCount past it
    uint32_t startTick;      // tick of the scene's first step; 0 until then
};

constexpr KnotState KNOT_START_STATE = {
    {}, {}, {}, 0, 0, 0.0f, 0.05f, 0.0f, 1.5f, 5.0f, {0.0f, 0.0f, 0.0f}, 1.0f, 0.0f, 0.0f, 1, 0, 0, 0,
};

extern KnotState knotScene;
