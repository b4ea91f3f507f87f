// The particle field through the recorded GL: the pen's figure, emission into the pools, the
// sparks' motion, cooling and death, and the layer's drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "scenes/tunnel/particles.h"
#include "tests/gl_recorder/gl_recorder.h"

namespace {

int aliveCount(const Particle* pool, int size)
{
    int n = 0;
    for (int i = 0; i < size; ++i) {
        n += pool[i].alive == 1;
    }
    return n;
}

int liveDots() { return aliveCount(dotPool, DOT_POOL_SIZE); }
int liveSparks() { return aliveCount(sparkPool, SPARK_POOL_SIZE); }

// The pen point for angle a, per piece of the figure, with radius 64 about (320, 240).
void expectedPenPoint(float a, float* x, float* y)
{
    const float r = 64.0f;
    const float c = static_cast<float>(std::cos(static_cast<double>(a)));
    const float s = static_cast<float>(std::sin(static_cast<double>(a)));
    if (a < 7.853798f) {
        *x = 320.0f + r * c;
        *y = 240.0f + r * s;
    } else if (a < 10.9953165f) {
        *x = 320.0f + 32.0f * c;
        *y = 240.0f + 32.0f + 32.0f * s;
    } else if (a < 14.136836f) {
        *x = 320.0f + 32.0f * c;
        *y = 240.0f - 32.0f - 32.0f * s;
    } else if (a < 20.419872f) {
        *x = 320.0f + 8.0f * c;
        *y = 240.0f + 32.0f - 8.0f * s;
    } else {
        *x = 320.0f + 8.0f * c;
        *y = 240.0f - 32.0f - 8.0f * s;
    }
}

class Particles : public ::testing::Test {
protected:
    void SetUp() override
    {
        particlesInit();
        pen.angle = PEN_START_ANGLE;
        std::srand(1);
        glRecorderReset();
    }
    void TearDown() override
    {
        particlesInit();
        pen.angle = PEN_START_ANGLE;
    }
};

TEST_F(Particles, InitClearsBothPoolsToFreeWhiteRecordsAndLeavesThePen)
{
    sparkPool[3] = Particle{5, 6, 7, 8, 0, 0, 0, 1};
    dotPool[9999] = Particle{5, 6, 7, 8, 0, 0, 0, 1};
    pen.angle = 3.0f;
    particlesInit();
    EXPECT_EQ(pen.angle, 3.0f);
    for (const Particle* p : {&sparkPool[3], &dotPool[9999]}) {
        EXPECT_EQ(p->alive, 0);
        EXPECT_EQ(p->x, 0.0f);
        EXPECT_EQ(p->vy, 0.0f);
        EXPECT_EQ(p->r, 1.0f);
        EXPECT_EQ(p->b, 1.0f);
    }
}

TEST_F(Particles, FirstPenPointIsOneStepPastTheTopOfTheOuterCircle)
{
    EXPECT_EQ(penStep(64.0f), 0);
    const float a = 1.5707595f + 0.015707595f;
    EXPECT_EQ(a, 1.5864671f);
    EXPECT_EQ(dotPool[0].x, 320.0f + 64.0f * static_cast<float>(std::cos(static_cast<double>(a))));
    EXPECT_EQ(dotPool[0].y, 240.0f + 64.0f * static_cast<float>(std::sin(static_cast<double>(a))));
    EXPECT_LT(dotPool[0].x, 320.0f);
    EXPECT_EQ(liveDots(), 4);
    EXPECT_EQ(liveSparks(), 8);
}

// The angle accumulates in float32; the figure's end lands right after the 1600th point.
TEST_F(Particles, FigureTakes1600DotsOver400CallsThenReportsCompletionForever)
{
    for (int call = 1; call <= 400; ++call) {
        ASSERT_EQ(penStep(64.0f), 0) << "call " << call;
        ASSERT_EQ(liveDots(), 4 * call);
    }
    Particle sparksBefore[SPARK_POOL_SIZE];
    std::memcpy(sparksBefore, sparkPool, sizeof sparkPool);
    for (int call = 401; call <= 405; ++call) {
        const float angleBefore = pen.angle;
        EXPECT_EQ(penStep(64.0f), 1) << "call " << call;
        EXPECT_GT(pen.angle, angleBefore);
    }
    EXPECT_EQ(liveDots(), 1600);
    EXPECT_EQ(std::memcmp(sparksBefore, sparkPool, sizeof sparkPool), 0);
}

TEST_F(Particles, EveryDotLiesOnItsPieceOfTheFigureWithinTheOuterCircle)
{
    float angle = PEN_START_ANGLE;
    for (int call = 0; call < 400; ++call) {
        penStep(64.0f);
    }
    int pieceCounts[5] = {0, 0, 0, 0, 0};
    int lastOfPiece[5] = {0, 0, 0, 0, 0};
    const float ends[5] = {7.853798f, 10.9953165f, 14.136836f, 20.419872f, 26.702911f};
    for (int i = 0; i < 1600; ++i) {
        angle += PEN_ANGLE_STEP;
        float x = 0.0f;
        float y = 0.0f;
        expectedPenPoint(angle, &x, &y);
        ASSERT_EQ(dotPool[i].x, x) << "dot " << i;
        ASSERT_EQ(dotPool[i].y, y) << "dot " << i;
        EXPECT_LE(std::hypot(x - 320.0f, y - 240.0f), 64.001f);
        int piece = 0;
        while (angle >= ends[piece]) {
            ++piece;
        }
        ++pieceCounts[piece];
        lastOfPiece[piece] = i;
    }
    // Outer circle once round, two half circles, two small eyes once round each.
    EXPECT_EQ(pieceCounts[0], 400);
    EXPECT_NEAR(pieceCounts[1], 200, 1);
    EXPECT_NEAR(pieceCounts[2], 200, 1);
    EXPECT_NEAR(pieceCounts[3], 400, 1);
    EXPECT_NEAR(pieceCounts[4], 400, 1);
    // The half circles end within one pen step (0.5 units) of the centre and of the bottom.
    EXPECT_NEAR(dotPool[lastOfPiece[1]].x, 320.0f, 0.6f);
    EXPECT_NEAR(dotPool[lastOfPiece[1]].y, 240.0f, 0.6f);
    EXPECT_NEAR(dotPool[lastOfPiece[2]].x, 320.0f, 0.6f);
    EXPECT_NEAR(dotPool[lastOfPiece[2]].y, 176.0f, 0.6f);
}

TEST_F(Particles, DotColourIsTheEmittedValueOver256)
{
    emitParticles(10.0f, 20.0f, 128, 128, 128);
    EXPECT_EQ(dotPool[0].r, 0.5f);
    EXPECT_EQ(dotPool[0].g, 0.5f);
    EXPECT_EQ(dotPool[0].b, 0.5f);
    emitParticles(10.0f, 20.0f, 255, 0, 64);
    EXPECT_EQ(dotPool[1].r, 0.99609375f);
    EXPECT_EQ(dotPool[1].g, 0.0f);
    EXPECT_EQ(dotPool[1].b, 0.25f);
    EXPECT_EQ(dotPool[1].vx, 0.0f);
    EXPECT_EQ(dotPool[1].vy, 0.0f);
}

TEST_F(Particles, SparksGetRandomVelocitiesFromTwoRandCallsEachInTheirRanges)
{
    std::srand(77);
    int draws[5];
    for (int& d : draws) {
        d = std::rand();
    }
    std::srand(77);
    emitParticles(100.0f, 200.0f, 128, 128, 128);
    EXPECT_EQ(sparkPool[0].vx, static_cast<float>(draws[0] % 30) / 100.0f - 0.15f);
    EXPECT_EQ(sparkPool[0].vy, static_cast<float>(draws[1] % 100) / 100.0f);
    EXPECT_EQ(sparkPool[1].vx, static_cast<float>(draws[2] % 30) / 100.0f - 0.15f);
    EXPECT_EQ(sparkPool[1].vy, static_cast<float>(draws[3] % 100) / 100.0f);
    EXPECT_EQ(std::rand(), draws[4]) << "two draws per spark, none for the dot";

    std::srand(5);
    for (int i = 0; i < 2000; ++i) {
        particlesInit();
        emitParticles(0.0f, 0.0f, 1, 1, 1);
        ASSERT_GE(sparkPool[0].vx, -0.1500001f);
        ASSERT_LE(sparkPool[0].vx, 0.1400001f);
        ASSERT_GE(sparkPool[0].vy, 0.0f);
        ASSERT_LE(sparkPool[0].vy, 0.99f);
    }
}

TEST_F(Particles, SparksAreMovedInTheStepThatMakesThem)
{
    std::srand(42);
    const int vxDraw = std::rand();
    const int vyDraw = std::rand();
    std::srand(42);
    EXPECT_EQ(particlesStep(), 0);
    const float vx = static_cast<float>(vxDraw % 30) / 100.0f - 0.15f;
    const float vy = static_cast<float>(vyDraw % 100) / 100.0f;
    const Particle& spark = sparkPool[0];
    EXPECT_EQ(spark.x, dotPool[0].x + vx);
    EXPECT_EQ(spark.y, dotPool[0].y + vy);
    EXPECT_EQ(spark.vy, vy - 0.05f);
    EXPECT_EQ(spark.r, 1.0f);
    EXPECT_EQ(spark.g, 1.0f);
    EXPECT_EQ(spark.b, 0.95f);
    EXPECT_EQ(liveSparks(), 8);
}

TEST_F(Particles, SparkCoolsOneChannelPerStepWhiteYellowRedBlack)
{
    pen.angle = 30.0f;  // figure done: no new particles
    sparkPool[0] = Particle{100.0f, 1.0e7f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1};
    int steps = 0;
    while (sparkPool[0].b > 0.0f) {
        EXPECT_EQ(sparkPool[0].g, 1.0f);
        particlesStep();
        ++steps;
    }
    EXPECT_EQ(steps, 20);
    steps = 0;
    while (sparkPool[0].g > 0.0f) {
        EXPECT_EQ(sparkPool[0].r, 1.0f);
        particlesStep();
        ++steps;
    }
    EXPECT_EQ(steps, 51);
    steps = 0;
    while (sparkPool[0].r > 0.0f) {
        particlesStep();
        ++steps;
    }
    EXPECT_EQ(steps, 51);
    const Particle black = sparkPool[0];
    for (int i = 0; i < 10; ++i) {
        particlesStep();
    }
    EXPECT_EQ(sparkPool[0].r, black.r);
    EXPECT_EQ(sparkPool[0].g, black.g);
    EXPECT_EQ(sparkPool[0].b, black.b);
    EXPECT_EQ(sparkPool[0].alive, 1);
}

TEST_F(Particles, DragPullsVxTowardsZeroAndLeavesExactZeroAlone)
{
    pen.angle = 30.0f;
    sparkPool[0] = Particle{0.0f, 1.0e7f, 0.00025f, 0.0f, 1.0f, 1.0f, 1.0f, 1};
    sparkPool[1] = Particle{0.0f, 1.0e7f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1};
    sparkPool[2] = Particle{0.0f, 1.0e7f, -0.14f, 0.0f, 1.0f, 1.0f, 1.0f, 1};
    particlesStep();
    EXPECT_EQ(sparkPool[0].vx, 0.00025f - 0.0001f);
    EXPECT_EQ(sparkPool[2].vx, -0.14f + 0.0001f);
    particlesStep();
    particlesStep();
    EXPECT_LT(sparkPool[0].vx, 0.0f) << "overshoots by less than one step";
    EXPECT_GT(sparkPool[0].vx, -0.0001f);
    const float overshoot = sparkPool[0].vx;
    particlesStep();
    EXPECT_EQ(sparkPool[0].vx, overshoot + 0.0001f);
    EXPECT_EQ(sparkPool[1].vx, 0.0f);
}

TEST_F(Particles, SparkDiesOnlyBelowZeroAndItsRecordIsTheNextTaken)
{
    pen.angle = 30.0f;
    sparkPool[0] = Particle{10.0f, 0.5f, 0.0f, -1.0f, 1.0f, 1.0f, 1.0f, 1};   // to -0.5: dies
    sparkPool[1] = Particle{10.0f, 0.05f, 0.0f, -0.05f, 1.0f, 1.0f, 1.0f, 1};  // to 0: lives
    sparkPool[2] = Particle{10.0f, 50.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1};
    particlesStep();
    EXPECT_EQ(sparkPool[0].alive, 0);
    EXPECT_EQ(sparkPool[1].alive, 1);
    EXPECT_EQ(sparkPool[1].y, 0.0f);
    particlesStep();
    EXPECT_EQ(sparkPool[1].alive, 0);
    EXPECT_EQ(sparkPool[2].alive, 1);

    emitParticles(7.0f, 8.0f, 128, 128, 128);
    EXPECT_EQ(sparkPool[0].alive, 1);
    EXPECT_EQ(sparkPool[0].x, 7.0f);
    EXPECT_EQ(sparkPool[1].alive, 1);
    EXPECT_EQ(sparkPool[1].x, 7.0f);
    EXPECT_EQ(sparkPool[3].alive, 0);

    dotPool[0].alive = 1;
    dotPool[1].alive = 0;  // the dot just made went to 0; free a hole below the next
    dotPool[2].alive = 1;
    emitParticles(9.0f, 9.0f, 128, 128, 128);
    EXPECT_EQ(dotPool[1].alive, 1);
    EXPECT_EQ(dotPool[1].x, 9.0f);
    EXPECT_EQ(dotPool[3].alive, 0);
}

TEST_F(Particles, FullSparkPoolStillMakesTheDotAndOneFreeRecordMakesOneSpark)
{
    for (Particle& spark : sparkPool) {
        spark = Particle{1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1};
    }
    emitParticles(50.0f, 60.0f, 128, 128, 128);
    EXPECT_EQ(liveSparks(), SPARK_POOL_SIZE);
    EXPECT_EQ(sparkPool[0].x, 1.0f);
    EXPECT_EQ(liveDots(), 1);

    sparkPool[999].alive = 0;
    emitParticles(50.0f, 60.0f, 128, 128, 128);
    EXPECT_EQ(sparkPool[999].alive, 1);
    EXPECT_EQ(sparkPool[999].x, 50.0f);
    EXPECT_EQ(liveDots(), 2);
}

TEST_F(Particles, FullDotPoolMakesTheSparksAndNoDot)
{
    for (Particle& dot : dotPool) {
        dot = Particle{1.0f, 2.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.5f, 1};
    }
    emitParticles(50.0f, 60.0f, 255, 255, 255);
    EXPECT_EQ(liveSparks(), 2);
    EXPECT_EQ(dotPool[DOT_POOL_SIZE - 1].x, 1.0f);
    EXPECT_EQ(dotPool[0].r, 0.5f);
}

TEST_F(Particles, LayerIsLiftedWithDotsBehindAndSparksAsPlusSigns)
{
    dotPool[0] = Particle{10.0f, 20.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.5f, 1};
    dotPool[5] = Particle{30.0f, 40.0f, 0.0f, 0.0f, 0.25f, 0.5f, 0.75f, 1};
    dotPool[6] = Particle{99.0f, 99.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0};
    sparkPool[2] = Particle{100.0f, 200.0f, 0.1f, 0.1f, 1.0f, 0.5f, 0.0f, 1};
    particlesDraw();

    ASSERT_GE(glrec.calls.size(), 1u);
    EXPECT_EQ(glrec.calls[0].name, "glTranslatef");
    EXPECT_EQ(glrec.calls[0].args, (std::vector<double>{0, 32, 0}));
    EXPECT_EQ(glCallNames(), (std::vector<std::string>{
        "glTranslatef", "glBegin", "glColor3f", "glVertex3f", "glColor3f", "glVertex3f", "glEnd",
        "glBegin", "glColor3f", "glVertex2f", "glVertex2f", "glVertex2f", "glVertex2f", "glEnd"}));

    auto begins = glCallsNamed("glBegin");
    EXPECT_EQ(begins[0].args[0], GL_POINTS);
    EXPECT_EQ(begins[1].args[0], GL_LINES);
    auto dots = glCallsNamed("glVertex3f");
    EXPECT_EQ(dots[0].args, (std::vector<double>{10, 20, -0.1f}));
    EXPECT_EQ(dots[1].args, (std::vector<double>{30, 40, -0.1f}));
    auto colours = glCallsNamed("glColor3f");
    EXPECT_EQ(colours[1].args, (std::vector<double>{0.25, 0.5, 0.75}));
    EXPECT_EQ(colours[2].args, (std::vector<double>{1, 0.5, 0}));
    auto plus = glCallsNamed("glVertex2f");
    const double expected[4][2] = {{99, 200}, {101, 200}, {100, 199}, {100, 201}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(plus[i].args, (std::vector<double>{expected[i][0], expected[i][1]}));
    }
    EXPECT_EQ(glrec.modelview.back()[13], 32.0) << "the translation is left for the caller";
}

}  // namespace
