// Scene one's state and its update: the knot table and the textures made once at start-up,
// then one step per logic tick (balls, swirl, camera, beat, decays, growth, clock).
#include "scenes/knot/knot_scene.h"

#include <cmath>
#include <cstdlib>

#include "assets/texture_resource.h"
#include "math/knot_math.h"
#include "music/player.h"
#include "scenes/knot/knot_state.h"
#include "shell/clock.h"

KnotState knotScene = KNOT_START_STATE;

static constexpr float BALL_ORBIT_RADIUS = 2.5f;
static constexpr float SWIRL_DEPTH = -5.0f;
static constexpr float SWIRL_RIM = 7.0f;
static constexpr float SWIRL_SPEED = 0.05f;
// The camera's degrees-to-radians half turn: deliberately 3.141519, not pi.
static constexpr float CAMERA_HALF_TURN = 3.141519f;
static constexpr float CAMERA_HEIGHT_BELOW_DISTANCE = 1.5f;
static constexpr float CAMERA_FLY_IN = 0.25f;
static constexpr float BEAT_PULSE_SCALE = 1.15f;
static constexpr float BEAT_WAVE_KICK = 0.5f;
static constexpr float PULSE_DECAY = 0.01f;
static constexpr float WAVE_KICK_DECAY = 0.1f;
static constexpr uint32_t SCENE_LENGTH_MS = 30000;

static float randomAngle() { return static_cast<float>(std::rand() % 100) / 100.0f * FULL_TURN; }
static float randomBrightness() { return static_cast<float>(std::rand() % 50) / 100.0f + 0.5f; }

// The knot is sampled once; the last segment ends on the first point instead of on t = 1,
// which would miss it because T is not 2*pi.
void knotSceneInit()
{
    for (int i = 0; i < KNOT_SEGMENT_COUNT; ++i) {
        float t = static_cast<float>(i) / static_cast<float>(KNOT_SEGMENT_COUNT);
        Vec3& start = knotScene.segments[i].start;
        knotPoint(6.0f, 7.0f, &start.x, &start.y, &start.z, t);
        int previous = i == 0 ? KNOT_SEGMENT_COUNT - 1 : i - 1;
        knotScene.segments[previous].end = start;
    }
    for (Vec3& ball : knotScene.balls) {
        ball = Vec3{0.0f, 0.0f, 0.0f};
    }
    for (SwirlPoint& point : knotScene.swirlPoints) {
        point.x = 0.0f;
        point.y = 0.0f;
        point.z = SWIRL_DEPTH;
        point.angle = randomAngle();
        point.radius = static_cast<float>(std::rand() % 100) / 100.0f * SWIRL_RIM;
        point.brightness = randomBrightness();
    }
    knotScene.tubeTexture = loadTextureResource("REDDISH");
    knotScene.ballTexture = loadTextureResource("BALL");
}

static void stepBalls()
{
    for (int i = 0; i < KNOT_BALL_COUNT; ++i) {
        float a = knotScene.ballOrbitAngle + static_cast<float>(i) * TWELFTH_TURN;
        knotScene.balls[i].x = static_cast<float>(BALL_ORBIT_RADIUS * std::cos(static_cast<double>(a)));
        knotScene.balls[i].z = static_cast<float>(BALL_ORBIT_RADIUS * std::sin(static_cast<double>(a)));
    }
    knotScene.ballOrbitAngle += knotScene.ballOrbitSpeed;
}

// A point is placed from its radius and angle before they move; one that drops below the
// centre keeps that position for this step and starts again on the rim from the next.
static void stepSwirl()
{
    for (SwirlPoint& point : knotScene.swirlPoints) {
        point.x = static_cast<float>(std::cos(static_cast<double>(point.angle)) * point.radius);
        point.y = static_cast<float>(std::sin(static_cast<double>(point.angle)) * point.radius);
        point.radius -= SWIRL_SPEED;
        point.angle += SWIRL_SPEED;
        if (point.radius < 0.0f) {
            point.radius = SWIRL_RIM;
            point.angle = randomAngle();
            point.brightness = randomBrightness();
        }
    }
}

static void stepCamera()
{
    knotScene.cameraOrbitAngle += knotScene.cameraOrbitSpeed;
    float a = knotScene.cameraOrbitAngle * CAMERA_HALF_TURN / 180.0f;
    knotScene.cameraPosition.x = static_cast<float>(knotScene.cameraDistance * std::cos(static_cast<double>(a)));
    knotScene.cameraPosition.y = knotScene.cameraDistance - CAMERA_HEIGHT_BELOW_DISTANCE;
    knotScene.cameraPosition.z = static_cast<float>(knotScene.cameraDistance * std::sin(static_cast<double>(a)));
}

// The beat is taken on every step, so one that arrives while the tube grows is dropped
// rather than held until the tube is complete.
static void stepBeat()
{
    if (!takeBeat() || knotScene.growthCount < KNOT_SEGMENT_COUNT) {
        return;
    }
    knotScene.pulseScale = BEAT_PULSE_SCALE;
    knotScene.waveKick = BEAT_WAVE_KICK;
    ++knotScene.beatCount;
    if (knotScene.beatCount > knotScene.beatLimit) {
        knotScene.beatCount = 0;
        knotScene.cameraOrbitSpeed = -knotScene.cameraOrbitSpeed;
        knotScene.ballOrbitSpeed = -knotScene.ballOrbitSpeed;
        knotScene.beatLimit = std::rand() % 4 + 1;
    }
}

// Unclamped float32 decays: pulseScale settles at 0.99000013 and waveKick at -0.09999999,
// so the wave keeps drifting backwards between beats. That drift is part of the look.
static void stepDecay()
{
    if (knotScene.pulseScale > 1.0f) {
        knotScene.pulseScale -= PULSE_DECAY;
    }
    if (knotScene.waveKick > 0.0f) {
        knotScene.waveKick -= WAVE_KICK_DECAY;
    }
    knotScene.wavePhase += knotScene.waveKick;
}

// 0 for the first 30 seconds from the first step, then 1 on every step while the camera
// flies in to the knot's axis.
static int stepClock()
{
    if (knotScene.startTick == 0) {
        knotScene.startTick = tickCount();
    }
    if (tickCount() - knotScene.startTick <= SCENE_LENGTH_MS) {
        return 0;
    }
    knotScene.cameraDistance -= CAMERA_FLY_IN;
    if (knotScene.cameraDistance < 0.0f) {
        knotScene.cameraDistance = 0.0f;
    }
    return 1;
}

int knotSceneStep()
{
    stepBalls();
    stepSwirl();
    stepCamera();
    stepBeat();
    stepDecay();
    knotScene.growthCount += 1;
    if (knotScene.growthCount > KNOT_GROWTH_LIMIT - 1) {
        knotScene.growthCount = KNOT_GROWTH_LIMIT;
    }
    return stepClock();
}

// Nothing to release: the scene's two textures go with the GL context when the window is
// destroyed.
void knotSceneRelease() {}
