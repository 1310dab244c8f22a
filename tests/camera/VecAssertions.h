#pragma once

#include "camera/Vec3.h"

#include <gtest/gtest.h>

#include <cmath>

// EXPECT_TRUE(vecNear(want, got)) reports both vectors when any component
// is further off than tolerance.
inline ::testing::AssertionResult vecNear(const Vec3& want, const Vec3& got, double tolerance = 1e-12)
{
    if (std::fabs(want.x - got.x) <= tolerance && std::fabs(want.y - got.y) <= tolerance &&
        std::fabs(want.z - got.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "want (" << want.x << ", " << want.y << ", " << want.z << "), got ("
                                         << got.x << ", " << got.y << ", " << got.z << ")";
}
