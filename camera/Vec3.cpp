#include "camera/Vec3.h"

#include <cmath>

double length(const Vec3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

Vec3 normalize(Vec3& v)
{
    const double l = length(v);
    if (l == 0.0) {
        v = Vec3{};
        return v;
    }
    const double r = 1.0 / l;
    v.x *= r;
    v.y *= r;
    v.z *= r;
    return v;
}

Vec3 cross(const Vec3& a, const Vec3& b)
{
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 divideOrZero(const Vec3& v, double s)
{
    if (s == 0.0)
        return Vec3{};
    const double r = 1.0 / s;
    return Vec3{v.x * r, v.y * r, v.z * r};
}
