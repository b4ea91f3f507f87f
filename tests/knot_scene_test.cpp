// The knot scene's start-up and its step: balls, swirl, camera, beats, decays, growth and
// the 30-second clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "math/knot_math.h"
#include "music/player.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/gl_recorder.h"

namespace {

constexpr uint32_t START_MS = 5000;

class KnotScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        glRecorderReset();
        fakeClockAdvanceOnRead(0);
        fakeClockSet(START_MS);
        takeBeat();
        knotScene = KNOT_START_STATE;
        std::srand(1234);
        knotSceneInit();
    }

    static void steps(int n)
    {
        for (int i = 0; i < n; ++i) {
            knotSceneStep();
        }
    }

    // Steps until the step about to run is the first to count beats.
    static void growTube() { steps(179); }

    static void beatStep()
    {
        onBeatInstrument();
        knotSceneStep();
    }
};

bool sameVec(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

TEST_F(KnotScene, SegmentsFollowTheCurveAndTheLastClosesOnTheFirstPoint)
{
    EXPECT_TRUE(sameVec(knotScene.segments[0].start, Vec3{1, 1, 0}));
    EXPECT_TRUE(sameVec(knotScene.segments[179].end, Vec3{1, 1, 0}));
    for (int i = 0; i < 180; ++i) {
        Vec3 c{};
        knotPoint(6, 7, &c.x, &c.y, &c.z, static_cast<float>(i) / 180.0f);
        EXPECT_TRUE(sameVec(knotScene.segments[i].start, c)) << i;
        EXPECT_TRUE(sameVec(knotScene.segments[i].end, knotScene.segments[(i + 1) % 180].start)) << i;
    }
}

// Each point draws angle, radius and brightness, in that order, from rand().
TEST_F(KnotScene, SwirlStartsOnItsPlaneWithRandomValuesOnTheirGrids)
{
    std::srand(99);
    knotSceneInit();
    std::srand(99);
    for (int i = 0; i < 100; ++i) {
        const SwirlPoint& p = knotScene.swirlPoints[i];
        float angle = static_cast<float>(std::rand() % 100) / 100.0f * FULL_TURN;
        float radius = static_cast<float>(std::rand() % 100) / 100.0f * 7.0f;
        float brightness = static_cast<float>(std::rand() % 50) / 100.0f + 0.5f;
        EXPECT_EQ(p.x, 0.0f);
        EXPECT_EQ(p.y, 0.0f);
        EXPECT_EQ(p.z, -5.0f);
        EXPECT_EQ(p.angle, angle) << i;
        EXPECT_EQ(p.radius, radius) << i;
        EXPECT_EQ(p.brightness, brightness) << i;
        EXPECT_GE(p.brightness, 0.5f);
        EXPECT_LE(p.brightness, 0.99f);
    }
    for (const Vec3& ball : knotScene.balls) {
        EXPECT_TRUE(sameVec(ball, Vec3{0, 0, 0}));
    }
}

TEST_F(KnotScene, FirstStepPlacesBallsAndCameraFromTheAnglesBeforeTheyAdvance)
{
    EXPECT_EQ(knotSceneStep(), 0);
    EXPECT_EQ(knotScene.growthCount, 2);
    EXPECT_TRUE(sameVec(knotScene.balls[0], Vec3{2.5f, 0, 0}));
    EXPECT_NEAR(knotScene.balls[3].x, 0.00009f, 0.000005f);
    EXPECT_EQ(knotScene.balls[3].y, 0.0f);
    EXPECT_FLOAT_EQ(knotScene.balls[3].z, 2.5f);
    for (int i = 0; i < 12; ++i) {
        double a = static_cast<float>(i) * 0.5235865f;
        EXPECT_FLOAT_EQ(knotScene.balls[i].x, static_cast<float>(2.5 * std::cos(a))) << i;
        EXPECT_FLOAT_EQ(knotScene.balls[i].z, static_cast<float>(2.5 * std::sin(a))) << i;
    }
    EXPECT_EQ(knotScene.ballOrbitAngle, 0.05f);
    EXPECT_EQ(knotScene.cameraOrbitAngle, 1.5f);
    EXPECT_FLOAT_EQ(knotScene.cameraPosition.x, 4.998287f);
    EXPECT_EQ(knotScene.cameraPosition.y, 3.5f);
    EXPECT_FLOAT_EQ(knotScene.cameraPosition.z, 0.1308817f);
}

// The half turn is 3.141519: with pi the camera would sit measurably elsewhere after a
// long orbit (at 180 degrees, z is sin of 3.141519, not sin of pi).
TEST_F(KnotScene, CameraConvertsDegreesWithTheHalfTurnConstant)
{
    steps(120);
    EXPECT_EQ(knotScene.cameraOrbitAngle, 180.0f);
    EXPECT_FLOAT_EQ(knotScene.cameraPosition.x, -5.0f);
    EXPECT_FLOAT_EQ(knotScene.cameraPosition.z, static_cast<float>(5.0 * std::sin(static_cast<double>(3.141519f))));
    EXPECT_GT(knotScene.cameraPosition.z, 0.00035f);
}

TEST_F(KnotScene, SwirlPointsCircleInwardsAndAreRebornOnTheRimOnlyBelowZero)
{
    for (SwirlPoint& point : knotScene.swirlPoints) {
        point.radius = 5.0f;
    }
    knotScene.swirlPoints[0].angle = 0.5f;
    knotScene.swirlPoints[0].radius = 3.0f;
    knotScene.swirlPoints[1].radius = 0.05f;  // reaches exactly 0: not yet reborn
    knotScene.swirlPoints[2].radius = 0.0f;   // placed at the centre and reborn in the same step
    knotScene.swirlPoints[2].angle = 1.0f;
    knotScene.swirlPoints[3].radius = 0.02f;
    knotScene.swirlPoints[3].angle = 2.0f;
    std::srand(77);
    knotSceneStep();
    EXPECT_EQ(knotScene.swirlPoints[0].x, static_cast<float>(std::cos(0.5) * 3.0f));
    EXPECT_EQ(knotScene.swirlPoints[0].y, static_cast<float>(std::sin(0.5) * 3.0f));
    EXPECT_EQ(knotScene.swirlPoints[0].radius, 3.0f - 0.05f);
    EXPECT_EQ(knotScene.swirlPoints[0].angle, 0.5f + 0.05f);
    EXPECT_EQ(knotScene.swirlPoints[0].z, -5.0f);
    EXPECT_EQ(knotScene.swirlPoints[1].radius, 0.0f);
    EXPECT_EQ(knotScene.swirlPoints[2].x, 0.0f);
    EXPECT_EQ(knotScene.swirlPoints[2].y, 0.0f);
    EXPECT_EQ(knotScene.swirlPoints[2].radius, 7.0f);
    // Reborn, but drawn this frame where it was: near the centre.
    EXPECT_EQ(knotScene.swirlPoints[3].radius, 7.0f);
    EXPECT_FLOAT_EQ(knotScene.swirlPoints[3].x, static_cast<float>(std::cos(2.0) * 0.02f));
    EXPECT_FLOAT_EQ(knotScene.swirlPoints[3].y, static_cast<float>(std::sin(2.0) * 0.02f));
    // Points 2 and 3 are reborn in that order, each drawing its angle, then its brightness.
    std::srand(77);
    for (int i = 2; i < 4; ++i) {
        EXPECT_EQ(knotScene.swirlPoints[i].angle, static_cast<float>(std::rand() % 100) / 100.0f * FULL_TURN) << i;
        EXPECT_EQ(knotScene.swirlPoints[i].brightness, static_cast<float>(std::rand() % 50) / 100.0f + 0.5f) << i;
    }
}

TEST_F(KnotScene, GrowthReachesOneHundredNinetyAfter189StepsAndStays)
{
    steps(178);
    EXPECT_EQ(knotScene.growthCount, 179);
    steps(1);
    EXPECT_EQ(knotScene.growthCount, 180);
    steps(10);
    EXPECT_EQ(knotScene.growthCount, 190);
    steps(50);
    EXPECT_EQ(knotScene.growthCount, 190);
}

TEST_F(KnotScene, BeatWhileTheTubeGrowsIsIgnoredAndNotRemembered)
{
    steps(178);
    ASSERT_EQ(knotScene.growthCount, 179);
    beatStep();
    EXPECT_EQ(knotScene.growthCount, 180);
    knotSceneStep();
    EXPECT_EQ(knotScene.pulseScale, 1.0f);
    EXPECT_EQ(knotScene.waveKick, 0.0f);
    EXPECT_EQ(knotScene.wavePhase, 0.0f);
    EXPECT_EQ(knotScene.beatCount, 0);
    EXPECT_EQ(knotScene.cameraOrbitSpeed, 1.5f);
    EXPECT_EQ(knotScene.ballOrbitSpeed, 0.05f);
}

TEST_F(KnotScene, WithoutBeatsWaveAndPulseStayAtRest)
{
    steps(300);
    EXPECT_EQ(knotScene.pulseScale, 1.0f);
    EXPECT_EQ(knotScene.waveKick, 0.0f);
    EXPECT_EQ(knotScene.wavePhase, 0.0f);
}

TEST_F(KnotScene, FirstCountedBeatReversesBothOrbitsAndDrawsANewLimit)
{
    growTube();
    ASSERT_EQ(knotScene.growthCount, 180);
    beatStep();
    EXPECT_EQ(knotScene.cameraOrbitSpeed, -1.5f);
    EXPECT_EQ(knotScene.ballOrbitSpeed, -0.05f);
    EXPECT_EQ(knotScene.beatCount, 0);
    EXPECT_GE(knotScene.beatLimit, 1);
    EXPECT_LE(knotScene.beatLimit, 4);
    // The next reversal comes on the counted beat that takes knotScene.beatCount past the limit.
    int limit = knotScene.beatLimit;
    for (int i = 1; i <= limit; ++i) {
        beatStep();
        EXPECT_EQ(knotScene.beatCount, i);
        EXPECT_EQ(knotScene.cameraOrbitSpeed, -1.5f);
    }
    beatStep();
    EXPECT_EQ(knotScene.beatCount, 0);
    EXPECT_EQ(knotScene.cameraOrbitSpeed, 1.5f);
    EXPECT_EQ(knotScene.ballOrbitSpeed, 0.05f);
}

// Unclamped float32 decays: the values come to rest just past their bounds, not on them.
TEST_F(KnotScene, PulseAndWaveDecayWithoutClampingToTheirResting)
{
    growTube();
    beatStep();
    EXPECT_EQ(knotScene.pulseScale, 1.14f);
    EXPECT_EQ(knotScene.waveKick, 0.4f);
    const float kicks[] = {0.400000006f, 0.300000012f, 0.200000018f, 0.100000016f, 1.49011612e-08f, -0.0999999866f};
    float phase = 0.0f;
    phase += 0.4f;
    EXPECT_EQ(knotScene.wavePhase, phase);
    for (int i = 1; i < 6; ++i) {
        knotSceneStep();
        EXPECT_EQ(knotScene.waveKick, kicks[i]) << i;
        phase += knotScene.waveKick;
        EXPECT_EQ(knotScene.wavePhase, phase);
    }
    EXPECT_EQ(knotScene.waveKick, -0.0999999866f);
    steps(9);  // fifteen steps counting the beat's own: still above 1, so one more decay
    EXPECT_GT(knotScene.pulseScale, 1.0f);
    knotSceneStep();
    EXPECT_EQ(knotScene.pulseScale, 0.990000129f);
    EXPECT_EQ(knotScene.waveKick, -0.0999999866f);
    steps(20);
    EXPECT_EQ(knotScene.pulseScale, 0.990000129f);
    EXPECT_EQ(knotScene.waveKick, -0.0999999866f);
    EXPECT_NEAR(knotScene.wavePhase, phase - 3.0f, 1e-5f);
}

TEST_F(KnotScene, AsksToEndOnlyAfterThirtySecondsFromTheFirstStep)
{
    fakeClockSet(START_MS);
    EXPECT_EQ(knotSceneStep(), 0);
    EXPECT_EQ(knotScene.startTick, START_MS);
    fakeClockSet(START_MS + 30000);
    EXPECT_EQ(knotSceneStep(), 0);
    EXPECT_EQ(knotScene.cameraDistance, 5.0f);
    fakeClockSet(START_MS + 30001);
    EXPECT_EQ(knotSceneStep(), 1);
    EXPECT_EQ(knotScene.cameraDistance, 4.75f);
    EXPECT_EQ(knotScene.startTick, START_MS);
}

TEST_F(KnotScene, ThirtySecondsAreMeasuredAcrossTheTickCounterWrap)
{
    fakeClockSet(0xFFFFF000u);
    knotSceneStep();
    fakeClockSet(0xFFFFF000u + 30000u);
    EXPECT_EQ(knotSceneStep(), 0);
    fakeClockSet(0xFFFFF000u + 30001u);
    EXPECT_EQ(knotSceneStep(), 1);
}

// The camera flies in by 0.25 a step to the knot's axis and stops there; each step places
// it with the distance from before that step's move.
TEST_F(KnotScene, CameraFliesInToTheAxisInTwentyStepsAndNeverPastIt)
{
    knotSceneStep();
    fakeClockSet(START_MS + 40000);
    float expected = 5.0f;
    for (int i = 1; i <= 25; ++i) {
        float before = knotScene.cameraDistance;
        EXPECT_EQ(knotSceneStep(), 1);
        EXPECT_EQ(knotScene.cameraPosition.y, before - 1.5f);
        expected = expected > 0.25f ? expected - 0.25f : 0.0f;
        EXPECT_EQ(knotScene.cameraDistance, expected) << i;
        EXPECT_GE(knotScene.cameraDistance, 0.0f);
    }
    EXPECT_EQ(knotScene.cameraDistance, 0.0f);
    EXPECT_EQ(knotScene.cameraPosition.x, 0.0f);
    EXPECT_EQ(knotScene.cameraPosition.y, -1.5f);
}

}  // namespace
