#include "camera/Mat3.h"

#include <cmath>

Mat3 multiply(const Mat3& a, const Mat3& b)
{
    Mat3 p;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            p.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    }
    return p;
}

Vec3 transform(const Mat3& m, const Vec3& v)
{
    return Vec3{m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z,
                m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z,
                m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z};
}

Mat3 rotationX(double t)
{
    const double c = std::cos(t);
    const double s = std::sin(t);
    return Mat3{{{1.0, 0.0, 0.0}, {0.0, c, -s}, {0.0, s, c}}};
}

Mat3 rotationY(double t)
{
    const double c = std::cos(t);
    const double s = std::sin(t);
    return Mat3{{{c, 0.0, s}, {0.0, 1.0, 0.0}, {-s, 0.0, c}}};
}

Vec3 degreesToRadians(const Vec3& degrees)
{
    const double pi = 3.141592653589793;
    return divideOrZero(Vec3{degrees.x * pi, degrees.y * pi, degrees.z * pi}, 180.0);
}
