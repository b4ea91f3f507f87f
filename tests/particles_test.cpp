// The particle field through the recorded GL: the pen's figure, emission into the pools, the
// sparks' motion, cooling and death, and the layer's drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "scenes/tunnel/particles.h"
#include "tests/fakes/gl_recorder.h"

namespace {

int alive(const Particle* pool, int size)
{
    int n = 0;
    for (int i = 0; i < size; ++i) {
        n += pool[i].alive;
    }
    return n;
}

Particle spark(float y, float vx, float vy) { return Particle{10.0f, y, vx, vy, 1.0f, 1.0f, 1.0f, 1}; }

class Particles : public ::testing::Test {
protected:
    void SetUp() override
    {
        particleField = PARTICLE_FIELD_START_STATE;
        particlesInit();
        glRecorderReset();
    }
    void TearDown() override { SetUp(); }
    static void finishFigure() { particleField.pen.angle = 30.0f; }
};

// The angle accumulates in float32 and the figure's end lands right after the 1600th point.
TEST_F(Particles, PenStartsNearTheTopAndDraws1600DotsOver400CallsThenOnlyReportsCompletion)
{
    EXPECT_EQ(penStep(64.0f), 0);
    const double a = 1.5864671f;
    EXPECT_EQ(particleField.dots[0].x, 320.0f + 64.0f * static_cast<float>(std::cos(a)));
    EXPECT_EQ(particleField.dots[0].y, 240.0f + 64.0f * static_cast<float>(std::sin(a)));
    for (int call = 2; call <= 400; ++call) {
        ASSERT_EQ(penStep(64.0f), 0) << "call " << call;
    }
    EXPECT_EQ(alive(particleField.dots, DOT_POOL_SIZE), 1600);
    Particle sparksBefore[SPARK_POOL_SIZE];
    std::memcpy(sparksBefore, particleField.sparks, sizeof particleField.sparks);
    // Past the figure's end each call moves the angle on by the one step that finds it done.
    float angle = particleField.pen.angle;
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(penStep(64.0f), 1);
        angle += PEN_ANGLE_STEP;
        EXPECT_EQ(particleField.pen.angle, angle) << "call " << call;
    }
    EXPECT_EQ(alive(particleField.dots, DOT_POOL_SIZE), 1600);
    EXPECT_EQ(std::memcmp(sparksBefore, particleField.sparks, sizeof particleField.sparks), 0);
}

// Outer circle, the two half circles of the S, the two eyes: every dot within radius 64 of
// the centre; the S passes through the centre and ends at the bottom of the outer circle.
TEST_F(Particles, FigureIsTheYinYangOutline)
{
    for (int call = 0; call < 400; ++call) {
        penStep(64.0f);
    }
    int nearCentre = 0;
    int nearBottom = 0;
    for (int i = 0; i < 1600; ++i) {
        const float dx = particleField.dots[i].x - 320.0f;
        const float dy = particleField.dots[i].y - 240.0f;
        EXPECT_LE(std::hypot(dx, dy), 64.001f);
        nearCentre += std::hypot(dx, dy) < 0.6f;
        nearBottom += std::hypot(dx, dy + 64.0f) < 0.6f;
    }
    EXPECT_GE(nearCentre, 1);
    EXPECT_GE(nearBottom, 2) << "the outer circle and the S both pass through the bottom";
    EXPECT_NEAR(particleField.dots[1599].x, 320.0f, 0.2f) << "the lower eye closes at its start";
    EXPECT_NEAR(particleField.dots[1599].y, 200.0f, 0.2f);
    // The pen turns left along the outer circle and the upper half of the S, right along the
    // lower half and both eyes: the sum of the turns between consecutive dots of each piece.
    const int pieces[5][2] = {{2, 396}, {402, 596}, {602, 796}, {802, 1196}, {1202, 1596}};
    const int turn[5] = {1, 1, -1, -1, -1};
    for (int p = 0; p < 5; ++p) {
        double sum = 0.0;
        for (int i = pieces[p][0]; i < pieces[p][1]; ++i) {
            const Particle* d = &particleField.dots[i];
            const double ax = double(d[1].x) - d[0].x, ay = double(d[1].y) - d[0].y;
            sum += ax * (double(d[2].y) - d[1].y) - ay * (double(d[2].x) - d[1].x);
        }
        EXPECT_EQ(sum > 0.0 ? 1 : -1, turn[p]) << "piece " << p;
    }
}

TEST_F(Particles, SparksTakeTwoRandDrawsEachAndAreMovedInTheStepThatMakesThem)
{
    std::srand(42);
    int draws[17];
    for (int& d : draws) {
        d = std::rand();
    }
    std::srand(42);
    EXPECT_EQ(particlesStep(), 0);
    EXPECT_EQ(std::rand(), draws[16]) << "8 sparks, 2 draws each, none for the dots";
    const float vx = static_cast<float>(draws[0] % 30) / 100.0f - 0.15f;
    const float vy = static_cast<float>(draws[1] % 100) / 100.0f;
    EXPECT_EQ(particleField.sparks[0].x, particleField.dots[0].x + vx);
    EXPECT_EQ(particleField.sparks[0].y, particleField.dots[0].y + vy);
    EXPECT_EQ(particleField.sparks[0].vy, vy - 0.05f);
    EXPECT_EQ(particleField.sparks[0].b, 0.95f);
    EXPECT_EQ(particleField.sparks[0].g, 1.0f);
    EXPECT_EQ(alive(particleField.sparks, SPARK_POOL_SIZE), 8);
    EXPECT_EQ(particleField.dots[0].r, 0.5f) << "grey 128 is exactly half";
}

TEST_F(Particles, SparkCoolsOneChannelPerStepThenStaysBlack)
{
    finishFigure();
    particleField.sparks[0] = spark(1.0e7f, 0.0f, 0.0f);
    const int expectedSteps[3] = {20, 51, 51};
    float* channels[3] = {&particleField.sparks[0].b, &particleField.sparks[0].g, &particleField.sparks[0].r};
    for (int c = 0; c < 3; ++c) {
        int steps = 0;
        while (*channels[c] > 0.0f) {
            particlesStep();
            ++steps;
        }
        EXPECT_EQ(steps, expectedSteps[c]) << "channel " << c;
    }
    const Particle black = particleField.sparks[0];
    particlesStep();
    EXPECT_EQ(particleField.sparks[0].r, black.r);
    EXPECT_EQ(particleField.sparks[0].alive, 1);
}

TEST_F(Particles, DragPullsVxTowardsZeroAndLeavesExactZeroAlone)
{
    finishFigure();
    particleField.sparks[0] = spark(1.0e7f, 0.00025f, 0.0f);
    particleField.sparks[1] = spark(1.0e7f, 0.0f, 0.0f);
    particleField.sparks[2] = spark(1.0e7f, -0.14f, 0.0f);
    particlesStep();
    EXPECT_EQ(particleField.sparks[0].vx, 0.00025f - 0.0001f);
    EXPECT_EQ(particleField.sparks[2].vx, -0.14f + 0.0001f);
    particlesStep();
    particlesStep();
    EXPECT_LT(particleField.sparks[0].vx, 0.0f);
    EXPECT_GT(particleField.sparks[0].vx, -0.0001f) << "overshoots zero by less than one step";
    EXPECT_EQ(particleField.sparks[1].vx, 0.0f);
}

TEST_F(Particles, SparkDiesOnlyBelowZeroAndFreedRecordsAreTakenLowestFirst)
{
    finishFigure();
    particleField.sparks[0] = spark(0.5f, 0.0f, -1.0f);     // to -0.5: dies
    particleField.sparks[1] = spark(0.05f, 0.0f, -0.05f);   // to exactly 0: lives
    particleField.sparks[2] = spark(50.0f, 0.0f, 0.0f);
    particlesStep();
    EXPECT_EQ(particleField.sparks[0].alive, 0);
    EXPECT_EQ(particleField.sparks[1].alive, 1);
    particlesStep();
    EXPECT_EQ(particleField.sparks[1].alive, 0);

    particleField.dots[0].alive = 1;
    particleField.dots[2].alive = 1;
    emitParticles(7.0f, 8.0f, 128, 128, 128);
    EXPECT_EQ(particleField.sparks[0].x, 7.0f);
    EXPECT_EQ(particleField.sparks[1].x, 7.0f);
    EXPECT_EQ(particleField.sparks[3].alive, 0);
    EXPECT_EQ(particleField.dots[1].x, 7.0f);
    EXPECT_EQ(particleField.dots[3].alive, 0);
}

TEST_F(Particles, FullPoolsMakeFewerParticlesAndNothingElseChanges)
{
    for (Particle& s : particleField.sparks) {
        s = spark(1.0f, 0.0f, 0.0f);
    }
    particleField.sparks[999].alive = 0;
    emitParticles(50.0f, 60.0f, 255, 0, 64);
    EXPECT_EQ(particleField.sparks[999].x, 50.0f) << "one free record makes one spark";
    EXPECT_EQ(particleField.dots[0].r, 0.99609375f);
    EXPECT_EQ(particleField.dots[0].b, 0.25f);
    emitParticles(50.0f, 60.0f, 128, 128, 128);
    EXPECT_EQ(alive(particleField.dots, DOT_POOL_SIZE), 2) << "a full spark pool still makes the dot";

    particlesInit();
    for (Particle& dot : particleField.dots) {
        dot.alive = 1;
    }
    emitParticles(50.0f, 60.0f, 128, 128, 128);
    EXPECT_EQ(alive(particleField.sparks, SPARK_POOL_SIZE), 2) << "a full dot pool still makes the sparks";
    EXPECT_EQ(particleField.dots[0].x, 0.0f);
}

TEST_F(Particles, LayerIsLiftedWithDotsBehindAndSparksAsPlusSigns)
{
    particleField.dots[5] = Particle{30.0f, 40.0f, 0.0f, 0.0f, 0.25f, 0.5f, 0.75f, 1};
    particleField.sparks[2] = Particle{100.0f, 200.0f, 0.1f, 0.1f, 1.0f, 0.5f, 0.0f, 1};
    particlesDraw();
    EXPECT_EQ(glCallNames(), (std::vector<std::string>{"glTranslatef", "glBegin", "glColor3f", "glVertex3f", "glEnd",
                                                       "glBegin", "glColor3f", "glVertex2f", "glVertex2f",
                                                       "glVertex2f", "glVertex2f", "glEnd"}));
    EXPECT_EQ(glrec.calls[0].args, (std::vector<double>{0, 32, 0}));
    EXPECT_EQ(glrec.calls[1].args[0], GL_POINTS);
    EXPECT_EQ(glrec.calls[2].args, (std::vector<double>{0.25, 0.5, 0.75}));
    EXPECT_EQ(glrec.calls[3].args, (std::vector<double>{30, 40, -0.1f}));
    EXPECT_EQ(glrec.calls[5].args[0], GL_LINES);
    const double plus[4][2] = {{99, 200}, {101, 200}, {100, 199}, {100, 201}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(glrec.calls[7 + i].args, (std::vector<double>{plus[i][0], plus[i][1]}));
    }
}

}  // namespace
