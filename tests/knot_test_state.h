// The knot scene's state as it stood at program start, captured before any test runs, so
// that each test can start from a fresh scene as the demo does (the demo never resets it).
#pragma once

#include <cstring>

#include "scenes/knot/knot_state.h"

struct KnotStateCopy {
    KnotSegment segments[KNOT_SEGMENT_COUNT];
    Vec3 balls[KNOT_BALL_COUNT];
    SwirlPoint swirl[SWIRL_POINT_COUNT];
    GLuint tubeTexture;
    GLuint ballTexture;
    float ballOrbitAngle;
    float ballOrbitSpeed;
    float cameraOrbitAngle;
    float cameraOrbitSpeed;
    float cameraDistance;
    Vec3 cameraPosition;
    float pulseScale;
    float waveKick;
    float wavePhase;
    int32_t growthCount;
    int32_t beatCount;
    int32_t beatLimit;
    uint32_t knotStartTick;
};

inline KnotStateCopy copyKnotState()
{
    KnotStateCopy c{};
    std::memcpy(c.segments, knotSegments, sizeof knotSegments);
    std::memcpy(c.balls, knotBalls, sizeof knotBalls);
    std::memcpy(c.swirl, swirlPoints, sizeof swirlPoints);
    c.tubeTexture = knotTubeTexture;
    c.ballTexture = knotBallTexture;
    c.ballOrbitAngle = ballOrbitAngle;
    c.ballOrbitSpeed = ballOrbitSpeed;
    c.cameraOrbitAngle = cameraOrbitAngle;
    c.cameraOrbitSpeed = cameraOrbitSpeed;
    c.cameraDistance = cameraDistance;
    c.cameraPosition = cameraPosition;
    c.pulseScale = pulseScale;
    c.waveKick = waveKick;
    c.wavePhase = wavePhase;
    c.growthCount = growthCount;
    c.beatCount = beatCount;
    c.beatLimit = beatLimit;
    c.knotStartTick = knotStartTick;
    return c;
}

// Taken during static initialisation: the state's own initialisers are constants, so they
// are in place before this runs and before any test touches them.
inline const KnotStateCopy knotStateAtStart = copyKnotState();

inline void restoreKnotStateAtStart()
{
    const KnotStateCopy& c = knotStateAtStart;
    std::memcpy(knotSegments, c.segments, sizeof knotSegments);
    std::memcpy(knotBalls, c.balls, sizeof knotBalls);
    std::memcpy(swirlPoints, c.swirl, sizeof swirlPoints);
    knotTubeTexture = c.tubeTexture;
    knotBallTexture = c.ballTexture;
    ballOrbitAngle = c.ballOrbitAngle;
    ballOrbitSpeed = c.ballOrbitSpeed;
    cameraOrbitAngle = c.cameraOrbitAngle;
    cameraOrbitSpeed = c.cameraOrbitSpeed;
    cameraDistance = c.cameraDistance;
    cameraPosition = c.cameraPosition;
    pulseScale = c.pulseScale;
    waveKick = c.waveKick;
    wavePhase = c.wavePhase;
    growthCount = c.growthCount;
    beatCount = c.beatCount;
    beatLimit = c.beatLimit;
    knotStartTick = c.knotStartTick;
}
