#pragma once

// Double-precision three-vector and the few operations the camera and the
// mesh reader need. Sums and scalar multiples are written out by callers.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

double length(const Vec3& v);

// Makes v unit length in place (one reciprocal, three products) and returns
// the new value; a vector of length exactly 0 becomes (0, 0, 0).
Vec3 normalize(Vec3& v);

// Right-handed product a x b.
Vec3 cross(const Vec3& a, const Vec3& b);

// v / s through one reciprocal; (0, 0, 0) when s is exactly 0.
Vec3 divideOrZero(const Vec3& v, double s);
