// The tunnel scene through the recorded GL and the fake clock: its step (speeds, beats, the
// particle delay, the scroller's start), the path, the rings and the start-up.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "music/player.h"
#include "scenes/tunnel/particles.h"
#include "scenes/tunnel/scroller.h"
#include "scenes/tunnel/tunnel_scene.h"
#include "scenes/tunnel/tunnel_state.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/gl_recorder.h"

namespace {

constexpr char MISSING_LINE[] = "error, could not load picture\n";

int liveDots()
{
    int n = 0;
    for (const Particle& dot : particleField.dots) {
        n += dot.alive;
    }
    return n;
}

class TunnelScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        tunnelScene = TUNNEL_START_STATE;
        particleField = PARTICLE_FIELD_START_STATE;
        particlesInit();
        scroller = SCROLLER_START_STATE;
        takeBeat();
        fakeClockAdvanceOnRead(0);
        fakeClockSet(50000);
        glRecorderReset();
    }
    void TearDown() override { SetUp(); }
};

// The decay is unclamped: each speed rests at the first float32 value not above 0.
TEST_F(TunnelScene, WithoutBeatsSpeedsDecayToRestJustBelowZero)
{
    float travelSpeeds[40];
    float wobbleSpeeds[40];
    for (int step = 0; step < 40; ++step) {
        const float travel = tunnelScene.travelPosition;
        const float wobble = tunnelScene.wobbleAngle;
        EXPECT_EQ(tunnelSceneStep(), 0);
        travelSpeeds[step] = tunnelScene.travelPosition - travel;
        wobbleSpeeds[step] = tunnelScene.wobbleAngle - wobble;
    }
    EXPECT_EQ(travelSpeeds[0], 0.2f);
    EXPECT_NEAR(travelSpeeds[1], 0.185f, 1e-6);
    EXPECT_NEAR(travelSpeeds[13], 0.005f, 1e-6);
    EXPECT_EQ(wobbleSpeeds[0], 0.35f);
    EXPECT_NEAR(wobbleSpeeds[23], 0.005f, 1e-6);
    EXPECT_EQ(tunnelScene.travelSpeed, -0.0100000035f);
    EXPECT_EQ(tunnelScene.wobbleSpeed, -0.0099999290f);
    EXPECT_LT(travelSpeeds[39], 0.0f) << "between beats the flight drifts backwards";
    EXPECT_LT(wobbleSpeeds[39], 0.0f);
}

TEST_F(TunnelScene, BeatKicksTheSpeedsAfterThisStepsIncrementsAndDecaysThemAtOnce)
{
    for (int i = 0; i < 30; ++i) {
        tunnelSceneStep();
    }
    const float travelBefore = tunnelScene.travelPosition;
    const float restSpeed = tunnelScene.travelSpeed;
    onBeatInstrument();
    tunnelSceneStep();
    EXPECT_EQ(tunnelScene.travelPosition, travelBefore + restSpeed);
    EXPECT_EQ(tunnelScene.travelSpeed, 0.2f - 0.015f);
    EXPECT_EQ(tunnelScene.wobbleSpeed, 0.35f - 0.015f);
    EXPECT_EQ(takeBeat(), 0) << "the step takes the beat";
}

TEST_F(TunnelScene, ParticleFieldStartsOnlyAfterMoreThanOneSecondEvenAcrossTheWrap)
{
    for (uint32_t start : {50000u, 0xFFFFFF00u}) {
        SetUp();
        fakeClockSet(start);
        tunnelSceneStep();
        EXPECT_EQ(tunnelScene.startTick, start);
        fakeClockSet(start + 1000u);
        tunnelSceneStep();
        EXPECT_EQ(liveDots(), 0) << "exactly 1000 ms must not start the field";
        fakeClockSet(start + 1001u);
        tunnelSceneStep();
        EXPECT_EQ(liveDots(), 4);
        EXPECT_EQ(tunnelScene.startTick, start) << "the start tick is recorded once";
    }
}

TEST_F(TunnelScene, ScrollerAdvancesFromTheStepThatCompletesTheFigureOn)
{
    tunnelSceneStep();
    fakeClockSet(52000);
    for (int i = 1; i <= 400; ++i) {
        tunnelSceneStep();
        ASSERT_EQ(scroller.scrollPosition, SCROLL_START) << "particle step " << i;
    }
    tunnelSceneStep();
    EXPECT_EQ(scroller.scrollPosition, -19.5f);
    tunnelSceneStep();
    EXPECT_EQ(scroller.scrollPosition, -19.0f);
}

TEST_F(TunnelScene, PathOneAndSixRingsAheadOfTravelZeroUsesTheDemosTurn)
{
    // (cos(T/36), sin(T/27)) and (cos(T/6), sin(2T/9)), with T rather than 2*pi.
    const double t = static_cast<double>(FULL_TURN);
    const PathOffset camera = tunnelPath(1.0f, RING_COUNT);
    const PathOffset ball = tunnelPath(6.0f, RING_COUNT);
    EXPECT_NEAR(camera.x, std::cos(t / 36.0), 1e-6);
    EXPECT_NEAR(camera.y, std::sin(t / 27.0), 1e-6);
    EXPECT_NEAR(ball.x, std::cos(t / 6.0), 1e-6);
    EXPECT_NEAR(ball.y, std::sin(2.0 * t / 9.0), 1e-6);
    EXPECT_NEAR(camera.y, 0.2306, 1e-4);
    EXPECT_NEAR(ball.x, 0.5000, 1e-4);
}

// Wherever the flight is, the camera sits one ring ahead on the path, turned towards its offset
// (5 degrees of yaw per unit of x, 5 of pitch per unit of y), and the ball six rings ahead.
TEST_F(TunnelScene, CameraAndBallFollowThePathAheadOfTheTravelPosition)
{
    for (float travel : {0.0f, 2.3f, 40.7f}) {
        glRecorderReset();
        tunnelScene.travelPosition = travel;
        drawTunnel();
        const PathOffset camera = tunnelPath(travel + 1.0f, RING_COUNT);
        const PathOffset ball = tunnelPath(travel + 6.0f, RING_COUNT);
        auto translate = glCallsNamed("glTranslatef");
        ASSERT_EQ(translate.size(), 1u);
        EXPECT_EQ(translate[0].args, (std::vector<double>{-camera.x, -camera.y, -1})) << travel;
        const Mat4& view = glrec.modelview.back();  // yaw about y, then pitch about x
        EXPECT_NEAR(std::asin(-view[2]) * 180.0 / M_PI, 5.0 * camera.x, 1e-4) << travel;
        EXPECT_NEAR(std::asin(-view[9]) * 180.0 / M_PI, 5.0 * camera.y, 1e-4) << travel;
        auto sprite = glCallsNamed("glVertex3f").back();
        EXPECT_EQ(sprite.args, (std::vector<double>{ball.x + 0.5f, ball.y + 0.5f, -6})) << travel;
    }
}

struct RingVertex {
    float colour;
    std::vector<double> normal;
    std::vector<double> texCoord;
    std::vector<double> position;
};

// The vertices of ring i, in drawing order: each ring has a glBegin/glEnd of its own.
std::vector<RingVertex> ringVertices(int i)
{
    int begin = -1;
    for (int r = 0; r <= i; ++r) {
        begin = glFindCall("glBegin", static_cast<size_t>(begin + 1));
    }
    std::vector<RingVertex> out;
    RingVertex v{};
    for (int c = begin + 1; glrec.calls[c].name != "glEnd"; ++c) {
        const GlCall& call = glrec.calls[c];
        if (call.name == "glColor3f") {
            v.colour = static_cast<float>(call.args[0]);
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

TEST_F(TunnelScene, RingsAtTravelZeroHaveTheirRadiiBrightnessAndTextureCoordinates)
{
    drawTunnel();
    EXPECT_EQ(glCallsNamed("glBegin").size(), 28u) << "27 rings and the sprite";
    for (int i = 0; i < RING_COUNT; ++i) {
        const auto vertices = ringVertices(i);
        ASSERT_EQ(vertices.size(), 128u);
        const float nearLight = 1.0f - std::fabs(6.0f - static_cast<float>(i)) / 6.0f;
        const float farLight = 1.0f - std::fabs(6.0f - static_cast<float>(i + 1)) / 6.0f;
        for (int j = 0; j < QUADS_PER_RING; ++j) {
            // Far, near, near, far: s is 0 at the far edge and 1 at the near one.
            const double expected[4][3] = {{0, j / 16.0, farLight}, {1, j / 16.0, nearLight},
                                           {1, (j + 1) / 16.0, nearLight}, {0, (j + 1) / 16.0, farLight}};
            for (int k = 0; k < 4; ++k) {
                const RingVertex& v = vertices[j * 4 + k];
                ASSERT_EQ(v.texCoord, (std::vector<double>{expected[k][0], expected[k][1]})) << i << " " << j;
                ASSERT_EQ(v.colour, static_cast<float>(expected[k][2]));
                ASSERT_EQ(v.position[2], expected[k][0] == 1 ? -i : -(i + 1));
                ASSERT_TRUE(i < 12 || v.colour <= 0.0f) << "rings 12 to 26 are black";
            }
        }
    }
    EXPECT_EQ(ringVertices(6)[1].colour, 1.0f);
    EXPECT_EQ(ringVertices(0)[1].normal, (std::vector<double>{-1, 0, 0})) << "towards the axis";
    auto nearRadius = [](int ring) {
        return ringVertices(ring)[1].position[0] - tunnelPath(static_cast<float>(ring), RING_COUNT).x;
    };
    EXPECT_NEAR(nearRadius(0), 1.2, 1e-6);
    EXPECT_NEAR(nearRadius(4), 0.8, 1e-6);
}

// Away from travel position 0, with the rings breathing: each ring's far edge is exactly the
// next ring's near edge, ring 0's near edge surrounds the path at the travel position, and the
// wall texture has moved towards the viewer with the flight, one repeat per ring.
TEST_F(TunnelScene, WallStaysSeamlessAndItsTextureStreamsPastAsTheFlightGoesOn)
{
    tunnelScene.travelPosition = 2.3f;
    tunnelScene.wobbleAngle = 0.4f;
    drawTunnel();
    EXPECT_EQ(ringVertices(0)[1].position[1], tunnelPath(2.3f, RING_COUNT).y);
    std::vector<RingVertex> previous;
    for (int i = 0; i < RING_COUNT; ++i) {
        const std::vector<RingVertex> ring = ringVertices(i);  // far, near, near, far per quad
        for (int j = 0; j < QUADS_PER_RING; ++j) {
            ASSERT_TRUE(i == 0 || previous[j * 4].position == ring[j * 4 + 1].position) << i << " " << j;
            ASSERT_EQ(ring[j * 4].texCoord[0], 0.0f - 2.3f);
            ASSERT_EQ(ring[j * 4 + 1].texCoord[0], 1.0f - 2.3f);
        }
        previous = ring;
    }
}

TEST_F(TunnelScene, DrawsTunnelThenLiftedParticlesThenScrollerFromTheIdentity)
{
    tunnelScene.ballTexture = 7;
    scroller.scrollPosition = 96.0f;
    particleField.dots[0] = Particle{300.0f, 200.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.5f, 1};
    tunnelSceneDraw();
    EXPECT_EQ(glrec.calls[0].name, "glClearColor");
    EXPECT_EQ(glrec.clearColor, (std::array<float, 4>{0, 0, 0, 1}));
    auto binds = glCallsNamed("glBindTexture");
    ASSERT_EQ(binds.size(), 3u);
    EXPECT_EQ(binds[1].args[1], 7) << "the sprite";
    EXPECT_EQ(binds[2].args[1], 0) << "nothing textured in the overlay";
    const int ortho = glFindCall("glOrtho");
    const int dot = glFindCall("glVertex3f", static_cast<size_t>(ortho));
    const int raster = glFindCall("glRasterPos2f");
    EXPECT_LT(glFindCall("glTranslatef", static_cast<size_t>(ortho)), dot);
    EXPECT_LT(glFindCall("glLoadIdentity", static_cast<size_t>(dot)), raster) << "the lift is dropped";
    EXPECT_EQ(glrec.calls[raster].args[1], 96.0);
    EXPECT_EQ(glrec.modelview.size(), 1u);
    EXPECT_EQ(glrec.projection.size(), 1u);
}

TEST_F(TunnelScene, EachMissingTextureWritesOneLineAndTheSceneStillDraws)
{
    testing::internal::CaptureStdout();
    tunnelReportMissingTextures();
    tunnelScene.tunnelTexture = 3;
    tunnelReportMissingTextures();
    tunnelScene.ballTexture = 4;
    tunnelReportMissingTextures();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(MISSING_LINE) + MISSING_LINE + MISSING_LINE);

    tunnelScene = TUNNEL_START_STATE;
    tunnelSceneDraw();
    for (const GlCall& bind : glCallsNamed("glBindTexture")) {
        EXPECT_EQ(bind.args[1], 0);
    }
    EXPECT_EQ(glCallsNamed("glBegin").size(), 30u) << "rings, sprite, dots and sparks";

    // At start-up: the GL hands out no texture for the tunnel's picture (name 0), one for the ball.
    glRecorderReset();
    glrec.nextTexture = 0;
    testing::internal::CaptureStdout();
    tunnelSceneInit();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), MISSING_LINE);
    EXPECT_EQ(tunnelScene.tunnelTexture, 0u);
    EXPECT_NE(tunnelScene.ballTexture, 0u);
}

}  // namespace
