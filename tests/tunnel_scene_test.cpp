// The tunnel scene through the recorded GL and the fake clock: its step (speeds, beats, the
// particle delay, the scroller's start), the path, the rings, the sprite and the start-up.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "music/player.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "tests/gl_recorder/gl_recorder.h"
#include "tests/support/fake_clock.h"

namespace {

constexpr char MISSING_LINE[] = "error, could not load picture\n";

int liveDots()
{
    int n = 0;
    for (const Particle& dot : dotPool) {
        n += dot.alive;
    }
    return n;
}

class TunnelScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        tunnel = TUNNEL_START_STATE;
        particlesInit();
        pen.angle = PEN_START_ANGLE;
        scrollPosition = SCROLL_START;
        beatFlag.store(0);
        fakeClockAdvanceOnRead(0);
        fakeClockSet(50000);
        glRecorderReset();
    }
    void TearDown() override { SetUp(); }
};

// ---------------------------------------------------------------------------------------------
// The step

TEST_F(TunnelScene, WithoutBeatsSpeedsDecayUnclampedAndComeToRestJustBelowZero)
{
    float travelSpeed = 0.2f;
    float wobbleSpeed = 0.35f;
    for (int step = 1; step <= 40; ++step) {
        const float travelBefore = tunnel.travelPosition;
        const float wobbleBefore = tunnel.wobbleAngle;
        EXPECT_EQ(tunnelSceneStep(), 0);
        ASSERT_EQ(tunnel.travelPosition, travelBefore + travelSpeed) << "step " << step;
        ASSERT_EQ(tunnel.wobbleAngle, wobbleBefore + wobbleSpeed) << "step " << step;
        travelSpeed = tunnel.travelSpeed;
        wobbleSpeed = tunnel.wobbleSpeed;
        if (step == 1) {
            EXPECT_EQ(travelSpeed, 0.2f - 0.015f);
            EXPECT_EQ(wobbleSpeed, 0.35f - 0.015f);
        }
        if (step == 13) {
            EXPECT_GT(travelSpeed, 0.0f) << "0.005 is still above the bound";
        }
        if (step == 23) {
            EXPECT_GT(wobbleSpeed, 0.0f);
        }
        if (step >= 14) {
            ASSERT_EQ(travelSpeed, -0.0100000035f) << "step " << step;
        }
        if (step >= 24) {
            ASSERT_EQ(wobbleSpeed, -0.0099999290f) << "step " << step;
        }
    }
    EXPECT_LT(tunnel.travelPosition, 1.5f) << "the flight drifts backwards between beats";
}

TEST_F(TunnelScene, BeatKicksBothSpeedsAfterTheIncrementsAndDecaysThemInTheSameStep)
{
    for (int i = 0; i < 30; ++i) {
        tunnelSceneStep();
    }
    const float restTravel = tunnel.travelSpeed;
    const float restWobble = tunnel.wobbleSpeed;
    const float travelBefore = tunnel.travelPosition;
    const float wobbleBefore = tunnel.wobbleAngle;
    onBeatInstrument();
    tunnelSceneStep();
    EXPECT_EQ(tunnel.travelPosition, travelBefore + restTravel) << "the beat does not move this step";
    EXPECT_EQ(tunnel.wobbleAngle, wobbleBefore + restWobble);
    EXPECT_EQ(tunnel.travelSpeed, 0.2f - 0.015f);
    EXPECT_EQ(tunnel.wobbleSpeed, 0.35f - 0.015f);
    EXPECT_EQ(takeBeat(), 0) << "the step takes the beat";

    const float positionAfterBeat = tunnel.travelPosition;
    tunnelSceneStep();
    EXPECT_EQ(tunnel.travelPosition, positionAfterBeat + 0.185f);
}

TEST_F(TunnelScene, ParticleFieldStartsOnlyAfterMoreThanOneSecond)
{
    tunnelSceneStep();
    EXPECT_EQ(tunnel.startTick, 50000u);
    fakeClockSet(51000);
    tunnelSceneStep();
    EXPECT_EQ(pen.angle, PEN_START_ANGLE) << "exactly 1000 ms must not start the field";
    EXPECT_EQ(liveDots(), 0);
    EXPECT_EQ(tunnel.startTick, 50000u) << "the start tick is recorded once";
    fakeClockSet(51001);
    tunnelSceneStep();
    EXPECT_GT(pen.angle, PEN_START_ANGLE);
    EXPECT_EQ(liveDots(), 4);
}

TEST_F(TunnelScene, OneSecondDelayIsMeasuredAcrossTheTickCounterWrap)
{
    fakeClockSet(0xFFFFFF00u);
    tunnelSceneStep();
    fakeClockSet(0x000002E8u);  // 1000 ms later
    tunnelSceneStep();
    EXPECT_EQ(liveDots(), 0);
    fakeClockSet(0x000002E9u);
    tunnelSceneStep();
    EXPECT_EQ(liveDots(), 4);
}

TEST_F(TunnelScene, ScrollerAdvancesOnlyFromTheStepThatCompletesTheFigure)
{
    tunnelSceneStep();
    fakeClockSet(52000);
    for (int i = 1; i <= 400; ++i) {
        tunnelSceneStep();
        ASSERT_EQ(scrollPosition, SCROLL_START) << "particle step " << i;
    }
    EXPECT_EQ(liveDots(), 1600);
    tunnelSceneStep();
    EXPECT_EQ(scrollPosition, -19.5f);
    tunnelSceneStep();
    EXPECT_EQ(scrollPosition, -19.0f);
}

// ---------------------------------------------------------------------------------------------
// The path and the camera

TEST_F(TunnelScene, PathAtTravelZeroPlacesCameraAndBall)
{
    const PathOffset cameraPoint = tunnelPath(1.0f, RING_COUNT);
    const PathOffset ballPoint = tunnelPath(6.0f, RING_COUNT);
    // (cos(T/36), sin(T/27)) and (cos(T/6), sin(2T/9)), with T rather than 2*pi.
    const double t = static_cast<double>(T);
    EXPECT_NEAR(cameraPoint.x, std::cos(t / 36.0), 1e-6);
    EXPECT_NEAR(cameraPoint.y, std::sin(t / 27.0), 1e-6);
    EXPECT_NEAR(ballPoint.x, std::cos(t / 6.0), 1e-6);
    EXPECT_NEAR(ballPoint.y, std::sin(2.0 * t / 9.0), 1e-6);
    EXPECT_NEAR(cameraPoint.x, 0.9848, 1e-4);
    EXPECT_NEAR(cameraPoint.y, 0.2306, 1e-4);
    EXPECT_NEAR(ballPoint.x, 0.5000, 1e-4);
    EXPECT_NEAR(ballPoint.y, 0.9848, 1e-4);
    const PathOffset origin = tunnelPath(0.0f, RING_COUNT);
    EXPECT_EQ(origin.x, 1.0f);
    EXPECT_EQ(origin.y, 0.0f);
    const PathOffset round = tunnelPath(108.0f, RING_COUNT);
    // Retraced every 108 rings, up to the few ten-thousandths by which four turns of T fall short.
    EXPECT_NEAR(round.x, 1.0f, 1e-3);
    EXPECT_NEAR(round.y, 0.0f, 1e-3);
}

TEST_F(TunnelScene, CameraTiltsAtMostFiveDegreesAndSitsOneRingIn)
{
    drawTunnel();
    const PathOffset p = tunnelPath(1.0f, RING_COUNT);
    EXPECT_EQ(glrec.calls[0].name, "glLoadIdentity");
    auto rotations = glCallsNamed("glRotatef");
    ASSERT_EQ(rotations.size(), 2u);
    EXPECT_EQ(rotations[0].args, (std::vector<double>{5.0f * p.x, 0, 1, 0}));
    EXPECT_EQ(rotations[1].args, (std::vector<double>{5.0f * p.y, 1, 0, 0}));
    auto translations = glCallsNamed("glTranslatef");
    ASSERT_EQ(translations.size(), 1u);
    EXPECT_EQ(translations[0].args, (std::vector<double>{-p.x, -p.y, -1}));
}

// ---------------------------------------------------------------------------------------------
// The rings

struct RingVertex {
    float colour;
    std::vector<double> normal;
    std::vector<double> texCoord;
    std::vector<double> position;
};

// The vertices of ring i (the 27 ring quads come first, then the sprite), in drawing order.
std::vector<RingVertex> ringVertices(int i)
{
    std::vector<RingVertex> out;
    int begin = -1;
    for (int r = 0; r <= i; ++r) {
        begin = glFindCall("glBegin", static_cast<size_t>(begin + 1));
    }
    const int end = glFindCall("glEnd", static_cast<size_t>(begin));
    RingVertex v;
    for (int c = begin + 1; c < end; ++c) {
        const GlCall& call = glrec.calls[c];
        if (call.name == "glColor3f") {
            v.colour = static_cast<float>(call.args[0]);
            EXPECT_EQ(call.args[0], call.args[1]);
            EXPECT_EQ(call.args[0], call.args[2]);
        } else if (call.name == "glNormal3f") {
            v.normal = call.args;
        } else if (call.name == "glTexCoord2f") {
            v.texCoord = call.args;
        } else if (call.name == "glVertex3f") {
            v.position = call.args;
            out.push_back(v);
        }
    }
    return out;
}

TEST_F(TunnelScene, DrawsTwentySevenRingsOfThirtyTwoQuadsEachInItsOwnBeginEnd)
{
    drawTunnel();
    auto begins = glCallsNamed("glBegin");
    ASSERT_EQ(begins.size(), 28u);
    for (const GlCall& b : begins) {
        EXPECT_EQ(b.args[0], GL_QUADS);
    }
    for (int i = 0; i < RING_COUNT; ++i) {
        EXPECT_EQ(ringVertices(i).size(), 128u) << "ring " << i;
    }
    // Each vertex is given as colour, normal, texture coordinate, position.
    const int first = glFindCall("glBegin");
    EXPECT_EQ(glrec.calls[first + 1].name, "glColor3f");
    EXPECT_EQ(glrec.calls[first + 2].name, "glNormal3f");
    EXPECT_EQ(glrec.calls[first + 3].name, "glTexCoord2f");
    EXPECT_EQ(glrec.calls[first + 4].name, "glVertex3f");
}

TEST_F(TunnelScene, RingRadiiBreatheBetweenOnePointTwoAndPointEight)
{
    drawTunnel();
    auto radiusAt = [](int ring) {
        const RingVertex near = ringVertices(ring)[1];  // quad 0's near vertex, at angle 0
        const PathOffset centre = tunnelPath(static_cast<float>(ring), RING_COUNT);
        EXPECT_EQ(near.position[1], centre.y);
        EXPECT_EQ(near.position[2], -ring);
        return near.position[0] - centre.x;
    };
    EXPECT_NEAR(radiusAt(0), 1.2, 1e-6);
    EXPECT_NEAR(radiusAt(4), 0.8, 1e-6);
    EXPECT_NEAR(radiusAt(8), 1.2, 1e-5) << "the wave repeats every 8 rings";

    tunnel.wobbleAngle = 3.1415926f;
    glRecorderReset();
    drawTunnel();
    EXPECT_NEAR(radiusAt(0), 0.8, 1e-6) << "the wave travels with the wobble angle";
}

TEST_F(TunnelScene, BrightnessPeaksLevelWithTheBallAndRingsTwelveOnAreBlack)
{
    drawTunnel();
    for (int i = 0; i < RING_COUNT; ++i) {
        const auto vertices = ringVertices(i);
        const float nearLight = 1.0f - std::fabs(6.0f - static_cast<float>(i)) / 6.0f;
        const float farLight = 1.0f - std::fabs(6.0f - static_cast<float>(i + 1)) / 6.0f;
        for (size_t v = 0; v < vertices.size(); ++v) {
            const bool isNear = v % 4 == 1 || v % 4 == 2;
            ASSERT_EQ(vertices[v].colour, isNear ? nearLight : farLight) << "ring " << i;
            if (i >= 12) {
                ASSERT_LE(vertices[v].colour, 0.0f) << "ring " << i;
            }
        }
    }
    EXPECT_EQ(ringVertices(6)[1].colour, 1.0f);
    EXPECT_EQ(ringVertices(0)[1].colour, 0.0f);
    EXPECT_EQ(ringVertices(5)[0].colour, 1.0f);
}

TEST_F(TunnelScene, TextureWrapsOncePerRingAndTwiceAroundAtTravelZero)
{
    drawTunnel();
    for (int i = 0; i < RING_COUNT; ++i) {
        const auto vertices = ringVertices(i);
        for (int j = 0; j < QUADS_PER_RING; ++j) {
            const double t0 = j / 16.0;
            const double t1 = (j + 1) / 16.0;
            const double expected[4][2] = {{0, t0}, {1, t0}, {1, t1}, {0, t1}};
            for (int k = 0; k < 4; ++k) {
                ASSERT_EQ(vertices[j * 4 + k].texCoord, (std::vector<double>{expected[k][0], expected[k][1]}))
                    << "ring " << i << " quad " << j << " vertex " << k;
            }
        }
    }
    tunnel.travelPosition = 0.25f;
    glRecorderReset();
    drawTunnel();
    EXPECT_EQ(ringVertices(3)[0].texCoord[0], -0.25f);
    EXPECT_EQ(ringVertices(3)[1].texCoord[0], 0.75f);
}

TEST_F(TunnelScene, QuadsGoFarNearNearFarWithUnitNormalsTowardsTheAxis)
{
    tunnel.travelPosition = 2.5f;
    tunnel.wobbleAngle = 1.0f;
    drawTunnel();
    const auto vertices = ringVertices(3);
    for (int j = 0; j < QUADS_PER_RING; ++j) {
        const float theta0 = static_cast<float>(j) * 0.03125f * T;
        const float theta1 = static_cast<float>(j + 1) * 0.03125f * T;
        const double expectedZ[4] = {-4, -3, -3, -4};
        const float angles[4] = {theta0, theta0, theta1, theta1};
        for (int k = 0; k < 4; ++k) {
            const RingVertex& v = vertices[j * 4 + k];
            EXPECT_EQ(v.position[2], expectedZ[k]);
            EXPECT_NEAR(v.normal[0], -std::cos(angles[k]), 1e-6);
            EXPECT_NEAR(v.normal[1], -std::sin(angles[k]), 1e-6);
            EXPECT_EQ(v.normal[2], 0.0);
            const PathOffset centre = tunnelPath((expectedZ[k] == -3 ? 3.0f : 4.0f) + 2.5f, RING_COUNT);
            const double angle = std::atan2(v.position[1] - centre.y, v.position[0] - centre.x);
            EXPECT_NEAR(std::cos(angle), std::cos(angles[k]), 1e-5);
            EXPECT_NEAR(std::sin(angle), std::sin(angles[k]), 1e-5);
        }
    }
}

TEST_F(TunnelScene, BallSpriteIsAWhiteQuadSixRingsAheadWithLightingOff)
{
    tunnel.ballTexture = 7;
    tunnel.tunnelTexture = 5;
    drawTunnel();
    auto binds = glCallsNamed("glBindTexture");
    ASSERT_EQ(binds.size(), 2u);
    EXPECT_EQ(binds[0].args[1], 5);
    EXPECT_EQ(binds[1].args[1], 7);

    const int lastBegin = static_cast<int>(glrec.calls.size()) - 10;
    EXPECT_EQ(glrec.calls[lastBegin].name, "glBegin");
    EXPECT_EQ(glrec.calls[lastBegin - 4].name, "glDisable");
    EXPECT_EQ(glrec.calls[lastBegin - 4].args[0], GL_LIGHTING);
    EXPECT_EQ(glrec.calls[lastBegin - 3].args[0], GL_LIGHT0);
    EXPECT_EQ(glrec.calls[lastBegin - 2].name, "glColor3f");
    EXPECT_EQ(glrec.calls[lastBegin - 2].args, (std::vector<double>{1, 1, 1}));
    const PathOffset s = tunnelPath(6.0f, RING_COUNT);
    const double expected[4][4] = {{0, 1, s.x - 0.5f, s.y + 0.5f},
                                   {0, 0, s.x - 0.5f, s.y - 0.5f},
                                   {1, 0, s.x + 0.5f, s.y - 0.5f},
                                   {1, 1, s.x + 0.5f, s.y + 0.5f}};
    for (int k = 0; k < 4; ++k) {
        const GlCall& tex = glrec.calls[lastBegin + 1 + 2 * k];
        const GlCall& vertex = glrec.calls[lastBegin + 2 + 2 * k];
        EXPECT_EQ(tex.args, (std::vector<double>{expected[k][0], expected[k][1]}));
        EXPECT_EQ(vertex.args, (std::vector<double>{expected[k][2], expected[k][3], -6}));
    }
    EXPECT_EQ(glrec.calls.back().name, "glEnd");
}

// ---------------------------------------------------------------------------------------------
// The scene's drawing and start-up

TEST_F(TunnelScene, SceneDrawsTunnelThenOverlayLayerThenScrollerAndRestoresMatrices)
{
    scrollPosition = 96.0f;
    dotPool[0] = Particle{300.0f, 200.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.5f, 1};
    tunnelSceneDraw();
    auto names = glCallNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names[0], "glClearColor");
    EXPECT_EQ(glrec.clearColor, (std::array<float, 4>{0, 0, 0, 1}));
    const int sprite = glFindCall("glDisable");
    const int unbind = glFindCall("glBindTexture", static_cast<size_t>(sprite) + 1);
    const int ortho = glFindCall("glOrtho");
    const int lift = glFindCall("glTranslatef", static_cast<size_t>(ortho));
    const int points = glFindCall("glVertex3f", static_cast<size_t>(lift));
    const int text = glFindCall("glCallLists");
    ASSERT_GT(unbind, sprite);
    EXPECT_EQ(glrec.calls[unbind].args[1], 0);
    EXPECT_GT(ortho, unbind);
    EXPECT_EQ(glrec.calls[ortho].args, (std::vector<double>{0, 640, 0, 480, -1, 9999}));
    EXPECT_GT(lift, ortho);
    EXPECT_GT(points, lift);
    EXPECT_GT(text, points);
    EXPECT_EQ(glrec.calls[text].text, ".:: Quiltrax ::.");
    // The scroller is drawn from the identity, without the particle layer's lift.
    const int raster = glFindCall("glRasterPos2f");
    EXPECT_EQ(glrec.calls[raster].args[1], 96.0);
    const int reload = glFindCall("glLoadIdentity", static_cast<size_t>(points));
    EXPECT_LT(reload, raster);
    EXPECT_EQ(glrec.modelview.size(), 1u);
    EXPECT_EQ(glrec.projection.size(), 1u);
    EXPECT_EQ(glrec.matrixMode, static_cast<GLenum>(GL_MODELVIEW));
}

TEST_F(TunnelScene, EachMissingTextureWritesOneLineAndTheSceneDrawsUntextured)
{
    testing::internal::CaptureStdout();
    reportMissingTextures();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(MISSING_LINE) + MISSING_LINE);

    tunnel.tunnelTexture = 3;
    testing::internal::CaptureStdout();
    reportMissingTextures();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), MISSING_LINE);

    tunnel.ballTexture = 4;
    testing::internal::CaptureStdout();
    reportMissingTextures();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    tunnel = TUNNEL_START_STATE;
    tunnelSceneDraw();
    for (const GlCall& bind : glCallsNamed("glBindTexture")) {
        EXPECT_EQ(bind.args[1], 0);
    }
    EXPECT_EQ(glCallsNamed("glBegin").size(), 30u) << "rings, sprite, dots and sparks all drawn";
}

TEST_F(TunnelScene, StartUpLoadsBothTexturesAndReportsOnlyTheMissingOnes)
{
    testing::internal::CaptureStdout();
    tunnelSceneInit();
    const std::string out = testing::internal::GetCapturedStdout();
    const int missing = (tunnel.tunnelTexture == 0) + (tunnel.ballTexture == 0);
    std::string expected;
    for (int i = 0; i < missing; ++i) {
        expected += MISSING_LINE;
    }
    EXPECT_EQ(out, expected);
    if (tunnel.tunnelTexture != 0 && tunnel.ballTexture != 0) {
        EXPECT_NE(tunnel.tunnelTexture, tunnel.ballTexture);
        const GlTexture& wall = glrec.textures[tunnel.tunnelTexture];
        EXPECT_EQ(wall.minFilter, GL_LINEAR);
        EXPECT_EQ(wall.magFilter, GL_LINEAR);
    }
}

}  // namespace
