#include "camera/Vec3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Vec3, NormalizeKeepsZeroAndScalesOthers)
{
    Vec3 zero{};
    const Vec3 z = normalize(zero);
    EXPECT_EQ(0.0, z.x);
    EXPECT_EQ(0.0, z.y);
    EXPECT_EQ(0.0, z.z);

    Vec3 v{3, 0, 4};
    const Vec3 r = normalize(v);
    EXPECT_DOUBLE_EQ(0.6, v.x);
    EXPECT_DOUBLE_EQ(0.8, v.z);
    EXPECT_EQ(v.x, r.x);
}

TEST(Vec3, NormalizeOfNanStaysNan)
{
    Vec3 v{std::numeric_limits<double>::quiet_NaN(), 1, 1};
    normalize(v);
    EXPECT_TRUE(std::isnan(v.x));
    EXPECT_TRUE(std::isnan(v.y));
}

TEST(Vec3, CrossIsRightHanded)
{
    const Vec3 c = cross(Vec3{1, 0, 0}, Vec3{0, 1, 0});
    EXPECT_EQ(0.0, c.x);
    EXPECT_EQ(0.0, c.y);
    EXPECT_EQ(1.0, c.z);
    Vec3 parallel = cross(Vec3{1, 2, 3}, Vec3{2, 4, 6});
    normalize(parallel);
    EXPECT_EQ(0.0, length(parallel));
}

TEST(Vec3, DivideOrZero)
{
    const Vec3 zero = divideOrZero(Vec3{1, 2, 3}, 0.0);
    EXPECT_EQ(0.0, zero.x + zero.y + zero.z);
    const Vec3 half = divideOrZero(Vec3{1, 2, 3}, 2.0);
    EXPECT_EQ(0.5, half.x);
    EXPECT_EQ(1.5, half.z);
}
