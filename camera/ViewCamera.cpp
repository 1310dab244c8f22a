#include "camera/ViewCamera.h"

#include "camera/Mat3.h"

#include <cmath>

double foldAngle(double degrees)
{
    if (degrees < 0.0)
        degrees = 360.0 - std::fabs(degrees);
    return std::fmod(degrees, 360.0);
}

void ViewCamera::reset()
{
    target = Vec3{};
    scale = 1.0;
    angles = Vec3{};
}

void ViewCamera::beginDrag(int x, int y, DragMode m)
{
    lastX = x;
    lastY = y;
    mode = m;
}

bool ViewCamera::drag(int x, int y)
{
    if (mode == None)
        return false;

    // Differences of any two ints are exact in a double, where in an int
    // they could overflow.
    const double dx = static_cast<double>(x) - lastX;
    const double dy = static_cast<double>(y) - lastY;

    switch (mode) {
    case Rotate:
        angles.x = foldAngle(angles.x + dx);
        angles.y = foldAngle(angles.y + dy);
        break;
    case Translate: {
        const double k = 0.005 * scale;
        const double along = dx * k;
        const double upwards = dy * k;
        target.x = target.x - along * side.x + upwards * up.x;
        target.y = target.y - along * side.y + upwards * up.y;
        target.z = target.z - along * side.z + upwards * up.z;
        break;
    }
    case Scale:
        // Only the sign counts: a wheel message reporting several notches
        // is still one step.
        if (dy < 0.0)
            scale *= 0.9;
        else if (dy > 0.0)
            scale *= 1.1;
        break;
    case None:
        break;
    }

    lastX = x;
    lastY = y;
    update();
    return true;
}

void ViewCamera::endDrag()
{
    mode = None;
    update();
}

void ViewCamera::update()
{
    const double s = scale;
    const Vec3 offset{0.0 * s, 0.0 * s, 4.0 * s};

    const Vec3 r = degreesToRadians(angles);
    const Mat3 rotation = multiply(rotationY(r.x), rotationX(r.y));

    up = transform(rotation, Vec3{0.0, 1.0, 0.0});
    side = transform(rotation, Vec3{1.0, 0.0, 0.0});

    const Vec3 arm = transform(rotation, offset);
    eye = Vec3{target.x + arm.x, target.y + arm.y, target.z + arm.z};

    direction = Vec3{target.x - eye.x, target.y - eye.y, target.z - eye.z};
    normalize(direction);
}

void ViewCamera::stereoEye(bool rightEye, double offset, Vec3& eyeOut, Vec3& centerOut) const
{
    const double a = rightEye ? offset : -offset;
    eyeOut = Vec3{eye.x + a * side.x, eye.y + a * side.y, eye.z + a * side.z};

    const double l = length(eyeOut);
    centerOut = Vec3{eye.x + l * direction.x, eye.y + l * direction.y, eye.z + l * direction.z};
}

double ViewCamera::aspectRatio() const
{
    if (viewportWidth <= 0.0 || viewportHeight <= 0.0)
        return 1.0;
    return viewportWidth / viewportHeight;
}
