// Vec3: operand order, the cross product's handedness, normalisation.
#include <gtest/gtest.h>

#include <cmath>

#include "math/vec3.h"

namespace {

TEST(Vec3, SubtractTakesTheSecondOperandFromTheFirst)
{
    Vec3 d = vec3Sub(Vec3{1, 2, 3}, Vec3{0.5f, 0.5f, 0.5f});
    EXPECT_EQ(d.x, 0.5f);
    EXPECT_EQ(d.y, 1.5f);
    EXPECT_EQ(d.z, 2.5f);
    Vec3 s = vec3Add(Vec3{1, 2, 3}, Vec3{0.5f, -4, 0});
    EXPECT_EQ(s.x, 1.5f);
    EXPECT_EQ(s.y, -2.0f);
    EXPECT_EQ(s.z, 3.0f);
}

TEST(Vec3, CrossProductIsRightHandedAndAntisymmetric)
{
    Vec3 z = vec3Cross(Vec3{1, 0, 0}, Vec3{0, 1, 0});
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 1.0f);
    Vec3 a{1, 2, 3}, b{-2, 0.5f, 4};
    Vec3 ab = vec3Cross(a, b);
    Vec3 ba = vec3Cross(b, a);
    EXPECT_EQ(ab.x, 2 * 4 - 3 * 0.5f);
    EXPECT_EQ(ab.y, 3 * -2 - 1 * 4.0f);
    EXPECT_EQ(ab.z, 1 * 0.5f - 2 * -2.0f);
    EXPECT_EQ(ab.x, -ba.x);
    EXPECT_EQ(ab.y, -ba.y);
    EXPECT_EQ(ab.z, -ba.z);
}

TEST(Vec3, NormaliseScalesInPlaceToUnitLengthKeepingDirection)
{
    Vec3 v{3, 0, -4};
    vec3Normalize(&v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_FLOAT_EQ(v.z, -0.8f);
    Vec3 w{1e-3f, 2e-3f, -2e-3f};
    vec3Normalize(&w);
    EXPECT_NEAR(std::sqrt(w.x * w.x + w.y * w.y + w.z * w.z), 1.0f, 1e-6f);
}

TEST(Vec3, NormalisingAZeroVectorLeavesItZeroInsteadOfNaN)
{
    Vec3 v{0, 0, 0};
    vec3Normalize(&v);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 0.0f);
}

}  // namespace
