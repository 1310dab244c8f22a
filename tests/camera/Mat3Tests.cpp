#include "camera/Mat3.h"

#include "VecAssertions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kPi = 3.141592653589793;

const Mat3 kA{{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}};
const Mat3 kB{{{9, 8, 7}, {6, 5, 4}, {3, 2, 1}}};

void expectMatNear(const Mat3& want, const Mat3& got, double tolerance)
{
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(want.m[i][j], got.m[i][j], tolerance) << "element (" << i << ", " << j << ")";
    }
}

} // namespace

TEST(Mat3, MultiplyIsTheFullRowByColumnProduct)
{
    // Every entry is checked, and A B differs from B A, so a transposed or
    // swapped product or a shortcut for rotation-shaped rows shows.
    expectMatNear(Mat3{{{30, 24, 18}, {84, 69, 54}, {138, 114, 90}}}, multiply(kA, kB), 0.0);
    expectMatNear(Mat3{{{90, 114, 138}, {54, 69, 84}, {18, 24, 30}}}, multiply(kB, kA), 0.0);
}

TEST(Mat3, TransformTakesColumnVectors)
{
    // The transpose would give (11, 13, 15).
    EXPECT_TRUE(vecNear(Vec3{5, 11, 17}, transform(kA, Vec3{1, -1, 2}), 0.0));
}

TEST(Mat3, RotationsTurnCounterClockwiseSeenFromThePositiveAxis)
{
    EXPECT_TRUE(vecNear(Vec3{0, 0, 1}, transform(rotationX(kPi / 2), Vec3{0, 1, 0}), 1e-15));
    EXPECT_TRUE(vecNear(Vec3{1, 0, 0}, transform(rotationY(kPi / 2), Vec3{0, 0, 1}), 1e-15));
    EXPECT_TRUE(vecNear(Vec3{0, 0, -1}, transform(rotationY(kPi / 2), Vec3{1, 0, 0}), 1e-15));
}

TEST(Mat3, TurnAfterTiltHasTheClosedForm)
{
    const double angles[][2] = {{0.3, 1.1}, {-2.0, 0.7}, {3.0, -1.4}, {kPi, kPi / 2}};
    for (const auto& a : angles) {
        const double t = a[0];
        const double s = a[1];
        SCOPED_TRACE(testing::Message() << "turn " << t << ", tilt " << s);
        const double cy = std::cos(t), sy = std::sin(t), cp = std::cos(s), sp = std::sin(s);
        const Mat3 r = multiply(rotationY(t), rotationX(s));
        expectMatNear(Mat3{{{cy, sy * sp, sy * cp}, {0, cp, -sp}, {-sy, cy * sp, cy * cp}}}, r, 1e-15);
        // The x axis is untouched by the tilt, so only the turn moves it.
        EXPECT_TRUE(vecNear(Vec3{cy, 0, -sy}, transform(r, Vec3{1, 0, 0}), 1e-15));
    }
}

TEST(Mat3, DegreesToRadians)
{
    const Vec3 r = degreesToRadians(Vec3{180, 90, 0});
    EXPECT_DOUBLE_EQ(kPi, r.x);
    EXPECT_DOUBLE_EQ(kPi / 2, r.y);
    EXPECT_EQ(0.0, r.z);

    const Vec3 other = degreesToRadians(Vec3{-45, 720, 1});
    EXPECT_DOUBLE_EQ(-kPi / 4, other.x);
    EXPECT_DOUBLE_EQ(4 * kPi, other.y);
    EXPECT_DOUBLE_EQ(kPi / 180, other.z);
}
