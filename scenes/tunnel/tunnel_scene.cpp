// Scene two: a flight through a textured tunnel whose centre line bends along a closed path
// and whose rings breathe; beats kick the flight and the breathing, which then die away.
// Over it the scene draws the particle field and, once the pen's figure is done, the scroller.
#include "scenes/tunnel/tunnel_scene.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "assets/texture_resource.h"
#include "math/vec3.h"
#include "music/player.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_state.h"
#include "shell/clock.h"
#include "shell/overlay.h"
#include "shell/screen.h"

TunnelState tunnelScene = TUNNEL_START_STATE;

static constexpr float CAMERA_AHEAD = 1.0f;
static constexpr float BALL_AHEAD = 6.0f;
static constexpr float CAMERA_TILT_DEGREES = 5.0f;
static constexpr float RING_WAVE_STEP = 0.78537977f;  // T/8: the radius wave repeats every 8 rings
static constexpr float RING_WAVE_DEPTH = 0.2f;
static constexpr float BRIGHTEST_RING = 6.0f;
static constexpr float QUAD_TURN = 0.03125f;     // 1/32 of a turn per quad
static constexpr float QUAD_TEXTURE = 0.0625f;   // the texture wraps twice around a ring
static constexpr float BALL_HALF_SIZE = 0.5f;

// c is kept as float32; the cosine and sine are taken in double and stored as float32.
PathOffset tunnelPath(float d, int n)
{
    const float c = d / static_cast<float>(2 * n) * FULL_TURN;
    const double turn = static_cast<double>(c);
    return PathOffset{static_cast<float>(std::cos(1.5 * turn)), static_cast<float>(std::sin(2.0 * turn))};
}

// The scene's own report, on standard output, of a texture it has to do without; every
// resource the demo cannot make is reported on stderr as well (loadTextureResource).
void tunnelReportMissingTextures()
{
    if (tunnelScene.tunnelTexture == 0) {
        std::puts("error, could not load picture");
        std::fflush(stdout);
    }
    if (tunnelScene.ballTexture == 0) {
        std::puts("error, could not load picture");
        std::fflush(stdout);
    }
}

void tunnelSceneInit()
{
    tunnelScene.tunnelTexture = loadTextureResource("TUNNEL");
    tunnelScene.ballTexture = loadTextureResource("BALL");
    tunnelReportMissingTextures();
}

// The speeds are added before this step's beat is handled, and a beat's values are decayed
// in the same step. The decay is unclamped float32: a speed comes to rest at the first value
// not above 0 (about -0.01), so between beats the flight drifts slowly backwards.
int tunnelSceneStep()
{
    tunnelScene.travelPosition += tunnelScene.travelSpeed;
    tunnelScene.wobbleAngle += tunnelScene.wobbleSpeed;
    if (takeBeat() == 1) {
        tunnelScene.travelSpeed = TRAVEL_SPEED_KICK;
        tunnelScene.wobbleSpeed = WOBBLE_SPEED_KICK;
    }
    if (tunnelScene.travelSpeed > 0.0f) {
        tunnelScene.travelSpeed -= SPEED_DECAY;
    }
    if (tunnelScene.wobbleSpeed > 0.0f) {
        tunnelScene.wobbleSpeed -= SPEED_DECAY;
    }
    if (tunnelScene.startTick == 0) {
        tunnelScene.startTick = tickCount();
    }
    const uint32_t now = tickCount();
    if (now - tunnelScene.startTick > PARTICLE_DELAY_MS) {
        if (particlesStep() != 0) {
            scrollerAdvance();
        }
    }
    return 0;
}

void tunnelSceneDraw()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    drawTunnel();
    glBindTexture(GL_TEXTURE_2D, 0);
    pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    particlesDraw();
    glLoadIdentity();
    scrollerDraw();
    popOverlayProjection();
}

// Nothing to release: the scene's two textures go with the GL context when the window is
// destroyed.
void tunnelSceneRelease() {}

// Brightness of a ring edge at depth `edge`: 1 level with the ball, 0 at the mouth and at
// depth 12. Beyond that it goes negative and GL clamps it, so the far rings are black.
static float edgeBrightness(int edge)
{
    return 1.0f - std::fabs(BRIGHTEST_RING - static_cast<float>(edge)) / BRIGHTEST_RING;
}

static float edgeRadius(int edge)
{
    const float phase = static_cast<float>(edge) * RING_WAVE_STEP + tunnelScene.wobbleAngle;
    return 1.0f + RING_WAVE_DEPTH * static_cast<float>(std::cos(static_cast<double>(phase)));
}

// The wall's normal at angle theta points from the wall to the tunnel's axis.
static Vec3 wallNormal(float cosTheta, float sinTheta)
{
    Vec3 normal = {-cosTheta, -sinTheta, 0.0f};
    vec3Normalize(&normal);
    return normal;
}

// Ring i spans z = -i (near edge) to z = -(i + 1) (far edge). Each quad goes far, near, near,
// far, which winds it counter-clockwise seen from inside, so back-face culling keeps it.
static void drawRing(int i)
{
    const PathOffset nearCentre = tunnelPath(static_cast<float>(i) + tunnelScene.travelPosition, RING_COUNT);
    const PathOffset farCentre = tunnelPath(static_cast<float>(i + 1) + tunnelScene.travelPosition, RING_COUNT);
    const float nearRadius = edgeRadius(i);
    const float farRadius = edgeRadius(i + 1);
    const float nearLight = edgeBrightness(i);
    const float farLight = edgeBrightness(i + 1);
    const float nearS = 1.0f - tunnelScene.travelPosition;
    const float farS = 0.0f - tunnelScene.travelPosition;
    const float nearZ = -static_cast<float>(i);
    const float farZ = -static_cast<float>(i + 1);

    glBegin(GL_QUADS);
    for (int j = 0; j < QUADS_PER_RING; ++j) {
        const float theta0 = static_cast<float>(j) * QUAD_TURN * FULL_TURN;
        const float theta1 = static_cast<float>(j + 1) * QUAD_TURN * FULL_TURN;
        const float cos0 = static_cast<float>(std::cos(static_cast<double>(theta0)));
        const float sin0 = static_cast<float>(std::sin(static_cast<double>(theta0)));
        const float cos1 = static_cast<float>(std::cos(static_cast<double>(theta1)));
        const float sin1 = static_cast<float>(std::sin(static_cast<double>(theta1)));
        const float t0 = static_cast<float>(j) * QUAD_TEXTURE;
        const float t1 = static_cast<float>(j + 1) * QUAD_TEXTURE;
        const Vec3 normal0 = wallNormal(cos0, sin0);
        const Vec3 normal1 = wallNormal(cos1, sin1);

        glColor3f(farLight, farLight, farLight);
        glNormal3f(normal0.x, normal0.y, normal0.z);
        glTexCoord2f(farS, t0);
        glVertex3f(farRadius * cos0 + farCentre.x, farRadius * sin0 + farCentre.y, farZ);

        glColor3f(nearLight, nearLight, nearLight);
        glNormal3f(normal0.x, normal0.y, normal0.z);
        glTexCoord2f(nearS, t0);
        glVertex3f(nearRadius * cos0 + nearCentre.x, nearRadius * sin0 + nearCentre.y, nearZ);

        glColor3f(nearLight, nearLight, nearLight);
        glNormal3f(normal1.x, normal1.y, normal1.z);
        glTexCoord2f(nearS, t1);
        glVertex3f(nearRadius * cos1 + nearCentre.x, nearRadius * sin1 + nearCentre.y, nearZ);

        glColor3f(farLight, farLight, farLight);
        glNormal3f(normal1.x, normal1.y, normal1.z);
        glTexCoord2f(farS, t1);
        glVertex3f(farRadius * cos1 + farCentre.x, farRadius * sin1 + farCentre.y, farZ);
    }
    glEnd();
}

// The ball floats six rings ahead, level with the brightest band; its shape comes from the
// texture's alpha under the standing blend function.
static void drawBallSprite(PathOffset ball)
{
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, tunnelScene.ballTexture);
    const float z = -BALL_AHEAD;
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(ball.x - BALL_HALF_SIZE, ball.y + BALL_HALF_SIZE, z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(ball.x - BALL_HALF_SIZE, ball.y - BALL_HALF_SIZE, z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(ball.x + BALL_HALF_SIZE, ball.y - BALL_HALF_SIZE, z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(ball.x + BALL_HALF_SIZE, ball.y + BALL_HALF_SIZE, z);
    glEnd();
}

void drawTunnel()
{
    glLoadIdentity();
    const PathOffset camera = tunnelPath(tunnelScene.travelPosition + CAMERA_AHEAD, RING_COUNT);
    const PathOffset ball = tunnelPath(tunnelScene.travelPosition + BALL_AHEAD, RING_COUNT);
    glRotatef(CAMERA_TILT_DEGREES * camera.x, 0.0f, 1.0f, 0.0f);
    glRotatef(CAMERA_TILT_DEGREES * camera.y, 1.0f, 0.0f, 0.0f);
    glTranslatef(-camera.x, -camera.y, -1.0f);
    glBindTexture(GL_TEXTURE_2D, tunnelScene.tunnelTexture);
    for (int i = 0; i < RING_COUNT; ++i) {
        drawRing(i);
    }
    drawBallSprite(ball);
}
