#pragma once

#include "camera/Vec3.h"

// Row-major 3x3 matrix: m[i][j] is row i, column j. It multiplies column
// vectors from the left. Only the camera's frame update uses it.
struct Mat3 {
    double m[3][3];
};

// The full product A B.
Mat3 multiply(const Mat3& a, const Mat3& b);

// M v, with v as a column vector.
Vec3 transform(const Mat3& m, const Vec3& v);

// Right-handed rotations by t radians about the x and the y axis.
Mat3 rotationX(double t);
Mat3 rotationY(double t);

// Each component times pi, then divided by 180 (through divideOrZero, so
// the rounding matches the rest of the camera arithmetic).
Vec3 degreesToRadians(const Vec3& degrees);
