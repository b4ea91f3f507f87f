// The knot curve, the ring frame and the camera placement, to float32 exactness where the
// values are known.
#include <gtest/gtest.h>

#include <cmath>

#include "math/knot_math.h"
#include "tests/fakes/gl_recorder.h"

namespace {

Vec3 curve(int i)
{
    Vec3 c{};
    knotPoint(6.0f, 7.0f, &c.x, &c.y, &c.z, static_cast<float>(i) / 180.0f);
    return c;
}

float length(Vec3 v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST(KnotPoint, StartsAtOneOneZero)
{
    Vec3 c = curve(0);
    EXPECT_EQ(c.x, 1.0f);
    EXPECT_EQ(c.y, 1.0f);
    EXPECT_EQ(c.z, 0.0f);
}

TEST(KnotPoint, FirstStepHasHeightFromCosineAndRadiusFromSineOfSevenPhi)
{
    Vec3 c = curve(1);
    EXPECT_FLOAT_EQ(c.x, 1.0964638f);
    EXPECT_FLOAT_EQ(c.y, 1.0876625f);
    EXPECT_FLOAT_EQ(c.z, 0.2330550f);
}

// 6*phi at t = 0.5 falls next to 6*pi, so z shows whether the angle was formed in double
// (-0.0004416) or rounded to float first (-0.0004426); T not being 2*pi shows in all three.
TEST(KnotPoint, HalfwayMissesOneMinusOneZeroBecauseTIsNotTwoPi)
{
    float x = 0, y = 0, z = 0;
    knotPoint(6.0f, 7.0f, &x, &y, &z, 0.5f);
    EXPECT_FLOAT_EQ(x, 1.0002574f);
    EXPECT_FLOAT_EQ(y, -1.0002574f);
    EXPECT_NEAR(z, -0.0004416f, 2e-8f);
    EXPECT_EQ(FULL_TURN, 6.283038f);
}

TEST(KnotPoint, TheOneHundredAndEightySamplesStayInBoundsAndEvenlySpaced)
{
    for (int i = 0; i < 180; ++i) {
        Vec3 c = curve(i);
        EXPECT_LE(std::fabs(c.x), 1.5f) << i;
        EXPECT_LE(std::fabs(c.z), 1.49f) << i;
        EXPECT_LE(std::fabs(c.y), 1.101f) << i;
        float gap = length(vec3Sub(curve((i + 1) % 180), c));
        EXPECT_GE(gap, 0.16f) << i;
        EXPECT_LE(gap, 0.49f) << i;
    }
}

TEST(TubeRingPoint, WorkedExampleMovesOutwardsAndAcrossThePlane)
{
    Vec3 v{0.5f, 0.25f, 123.0f};
    tubeRingPoint(Vec3{1, 0, 0}, Vec3{1, 1, 0}, &v);
    EXPECT_EQ(v.x, 1.5f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, -0.25f);
}

// The frame is made from W = D x S; if it ever shrank towards zero the ring would collapse.
// B must point away from the origin and be perpendicular to the segment.
TEST(TubeRingPoint, FrameNeverDegeneratesOnTheKnotAndPointsOutwards)
{
    for (int k = 0; k < 180; ++k) {
        Vec3 p = curve(k);
        Vec3 q = curve((k + 1) % 180);
        Vec3 d = vec3Sub(q, p);
        Vec3 w = vec3Cross(d, vec3Add(q, p));
        EXPECT_GE(length(w), 0.16f) << k;
        Vec3 outward{1, 0, 0};
        tubeRingPoint(p, q, &outward);
        Vec3 b = vec3Sub(outward, p);
        EXPECT_NEAR(length(b), 1.0f, 1e-5f) << k;
        EXPECT_GT(b.x * p.x + b.y * p.y + b.z * p.z, 0.0f) << k;
        EXPECT_NEAR(b.x * d.x + b.y * d.y + b.z * d.z, 0.0f, 1e-5f) << k;
    }
}

TEST(PlaceCamera, RotatesXThenYThenZAndTranslatesLastWithNegatedArguments)
{
    glRecorderReset();
    placeCamera(1, 2, 3, 10, 20, 30);
    ASSERT_EQ(glCallNames(), (std::vector<std::string>{"glRotatef", "glRotatef", "glRotatef", "glTranslatef"}));
    EXPECT_EQ(glrec.calls[0].args, (std::vector<double>{-10, 1, 0, 0}));
    EXPECT_EQ(glrec.calls[1].args, (std::vector<double>{-20, 0, 1, 0}));
    EXPECT_EQ(glrec.calls[2].args, (std::vector<double>{-30, 0, 0, 1}));
    EXPECT_EQ(glrec.calls[3].args, (std::vector<double>{-1, -2, -3}));
}

TEST(PlaceCamera, AllZeroLeavesTheMatrixAsItWasWithoutLoadingOrPushing)
{
    glRecorderReset();
    glTranslatef(4, 5, 6);
    Mat4 before = glrec.modelview.back();
    placeCamera(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(glrec.modelview.back(), before);
    EXPECT_EQ(glrec.modelview.size(), 1u);
}

// The knot camera at orbit angle 0: at (5, 3.5, 0), turned to face -x, tilted down 35 degrees.
TEST(PlaceCamera, KnotCameraAtOrbitZeroLooksThroughTheOrigin)
{
    glRecorderReset();
    placeCamera(5.0f, 3.5f, 0.0f, -35.0f, 90.0f, 0.0f);
    auto origin = mat4Apply(glrec.modelview.back(), 0, 0, 0);
    EXPECT_NEAR(origin[0], 0.0, 1e-3);
    EXPECT_NEAR(origin[1], 0.0, 2e-3);
    EXPECT_NEAR(origin[2], -std::sqrt(5.0 * 5.0 + 3.5 * 3.5), 1e-3);
    auto eye = mat4Apply(glrec.modelview.back(), 5, 3.5, 0);
    EXPECT_NEAR(eye[0], 0.0, 1e-6);
    EXPECT_NEAR(eye[1], 0.0, 1e-6);
    EXPECT_NEAR(eye[2], 0.0, 1e-6);
}

}  // namespace
